#include "bags_xml/VUTIManagerXMLHandlers.h"

#include "bags_xml/VUTI.h"
#include "bags_xml/VUTIManager.h"

namespace qirn {

namespace {

const VString kKey("key");
const VString kString("string");
const VString kArray("array");
const VString kDict("dict");

const VString kExportedDeclarations("UTExportedTypeDeclarations");
const VString kImportedDeclarations("UTImportedTypeDeclarations");
const VString kIdentifierKey("UTTypeIdentifier");
const VString kDescriptionKey("UTTypeDescription");
const VString kConformsToKey("UTTypeConformsTo");
const VString kTagSpecificationKey("UTTypeTagSpecification");
const VString kExtensionTag(kUTTagClassFilenameExtension);
const VString kOSTypeTag(kUTTagClassOSType);
const VString kMIMETypeTag(kUTTagClassMIMEType);

bool Is(const VString& inText, const VString& inName)
{
	return inText.EqualToString(inName, false);
}

bool IsTagKey(const VString& inKey)
{
	return Is(inKey, kExtensionTag) || Is(inKey, kOSTypeTag) || Is(inKey, kMIMETypeTag);
}

IXMLHandler* RetainSelf(IXMLHandler* inHandler)
{
	inHandler->Retain();
	return inHandler;
}

} // namespace

// ---------------------------------------------------------------------------
// The document

IXMLHandler* VUTIManagerXMLHandler::StartElement(const VString& inElementName)
{
	if ((Is(fKeyText, kExportedDeclarations) || Is(fKeyText, kImportedDeclarations)) && Is(inElementName, kArray)) {
		fKeyText.Clear();
		return new VUTIManagerArrayHandler(fManager);
	}
	fTakeText = Is(inElementName, kKey);
	fCurrentElement = inElementName;
	fKeyText.Clear();
	return RetainSelf(this);
}

void VUTIManagerXMLHandler::EndElement(const VString&)
{
	fTakeText = false;
}

void VUTIManagerXMLHandler::SetText(const VString& inText)
{
	if (fTakeText && Is(fCurrentElement, kKey))
		fKeyText.AppendString(inText);
}

IXMLHandler* VUTIManagerArrayHandler::StartElement(const VString& inElementName)
{
	if (Is(inElementName, kDict))
		return new VUTIManagerUTIHandler(fManager);
	return nullptr;
}

// ---------------------------------------------------------------------------
// One type

VUTIManagerUTIHandler::VUTIManagerUTIHandler(VUTIManager* inManager)
	: fManager(inManager), fUTI(VRefPtr<VUTI>::Adopt(new VUTI))
{
}

VUTIManagerUTIHandler::~VUTIManagerUTIHandler() = default;

IXMLHandler* VUTIManagerUTIHandler::StartElement(const VString& inElementName)
{
	fElements.push_back(inElementName);
	fCurrentElement = inElementName;
	// Only the dictionary's own keys and values describe the type: the keys
	// of a value nested under another key name nothing of it.
	bool ownValue = fElements.size() == 1;
	IXMLHandler* handler = nullptr;
	if (!fKeyText.IsEmpty() && ownValue) {
		if (Is(inElementName, kString) && (Is(fKeyText, kIdentifierKey) || Is(fKeyText, kDescriptionKey))) {
			fValueKey = fKeyText;
		} else if (Is(inElementName, kArray) && Is(fKeyText, kConformsToKey)) {
			fElements.pop_back();
			handler = new VUTIManagerUTIKeyArrayStringHandler(fUTI.Get(), kConformsToKey);
		} else if (Is(inElementName, kDict) && Is(fKeyText, kTagSpecificationKey)) {
			fElements.pop_back();
			handler = new VUTIManagerUTIKeyUTISpecificationHandler(fManager, fUTI.Get());
		} else {
			fValueKey.Clear();
		}
	} else {
		fValueKey.Clear();
	}
	if (Is(inElementName, kKey) || Is(inElementName, kString))
		fTakeText = true;
	fKeyText.Clear();
	return handler != nullptr ? handler : RetainSelf(this);
}

void VUTIManagerUTIHandler::SetText(const VString& inText)
{
	if (!fTakeText || inText.IsEmpty())
		return;
	if (Is(fCurrentElement, kKey)) {
		if (fElements.size() == 1)
			fKeyText.AppendString(inText);
	} else if (Is(fCurrentElement, kString)) {
		if (Is(fValueKey, kIdentifierKey)) {
			VString identifier = fUTI->GetIdentifier();
			identifier.AppendString(inText);
			fUTI->SetIdentifier(identifier);
		} else if (Is(fValueKey, kDescriptionKey)) {
			VString description = fUTI->GetDescription();
			description.AppendString(inText);
			fUTI->SetDescription(description);
		}
	}
}

void VUTIManagerUTIHandler::EndElement(const VString&)
{
	if (fElements.empty()) {
		// The end of the type's own dictionary.
		fManager->AddNewUTI(fUTI.Get());
	} else {
		fElements.pop_back();
	}
	fTakeText = false;
}

// ---------------------------------------------------------------------------
// Tag specification

VUTIManagerUTIKeyUTISpecificationHandler::VUTIManagerUTIKeyUTISpecificationHandler(VUTIManager* inManager,
																				   VUTI* inUTI)
	: fManager(inManager), fUTI(inUTI)
{
}

IXMLHandler* VUTIManagerUTIKeyUTISpecificationHandler::StartElement(const VString& inElementName)
{
	fCurrentElement = inElementName;
	fTakeText = Is(inElementName, kKey) || Is(inElementName, kString);
	IXMLHandler* handler = nullptr;
	if (Is(inElementName, kString)) {
		// A string belongs to the tag class just named; one after any other
		// key (or after no key) is no tag, and must not be taken for one of
		// the class named before.
		if (IsTagKey(fKeyText))
			fTagKey = fKeyText;
		else
			fTagKey.Clear();
	} else if (Is(inElementName, kArray) && !fKeyText.IsEmpty()) {
		handler = new VUTIManagerUTIKeyArrayStringHandler(fUTI.Get(), fKeyText);
	}
	fKeyText.Clear();
	return handler != nullptr ? handler : RetainSelf(this);
}

void VUTIManagerUTIKeyUTISpecificationHandler::SetText(const VString& inText)
{
	if (!fTakeText)
		return;
	if (Is(fCurrentElement, kKey)) {
		fKeyText.AppendString(inText);
	} else if (Is(fCurrentElement, kString)) {
		if (Is(fTagKey, kExtensionTag))
			fExtension.AppendString(inText);
		else if (Is(fTagKey, kOSTypeTag))
			fOSType.AppendString(inText);
		else if (Is(fTagKey, kMIMETypeTag))
			fMIMEType.AppendString(inText);
	}
}

void VUTIManagerUTIKeyUTISpecificationHandler::EndElement(const VString&)
{
	if (!fExtension.IsEmpty())
		fUTI->AddExtension(fExtension);
	else if (!fOSType.IsEmpty())
		fUTI->AddOSType(fOSType);
	else if (!fMIMEType.IsEmpty())
		fUTI->AddMIMEType(fMIMEType);
	fTakeText = false;
	fExtension.Clear();
	fOSType.Clear();
	fMIMEType.Clear();
}

// ---------------------------------------------------------------------------
// Array of strings

VUTIManagerUTIKeyArrayStringHandler::VUTIManagerUTIKeyArrayStringHandler(VUTI* inUTI, const VString& inKey)
	: fUTI(inUTI), fKey(inKey)
{
}

IXMLHandler* VUTIManagerUTIKeyArrayStringHandler::StartElement(const VString& inElementName)
{
	// Only strings are read; anything else in the array is passed over whole.
	if (!Is(inElementName, kString))
		return nullptr;
	fCurrentElement = inElementName;
	fTakeText = true;
	return RetainSelf(this);
}

void VUTIManagerUTIKeyArrayStringHandler::SetText(const VString& inText)
{
	if (!fTakeText || !Is(fCurrentElement, kString))
		return;
	if (Is(fKey, kConformsToKey))
		fConformsTo.AppendString(inText);
	else if (Is(fKey, kExtensionTag))
		fExtension.AppendString(inText);
	else if (Is(fKey, kOSTypeTag))
		fOSType.AppendString(inText);
	else if (Is(fKey, kMIMETypeTag))
		fMIMEType.AppendString(inText);
}

void VUTIManagerUTIKeyArrayStringHandler::EndElement(const VString& inElementName)
{
	if (Is(inElementName, kString)) {
		if (!fConformsTo.IsEmpty()) {
			VRefPtr<VUTI> parent = VRefPtr<VUTI>::Adopt(new VUTI(fConformsTo));
			parent->SetTemporary(true);
			fUTI->AddParentUTI(parent.Get());
		}
		if (!fExtension.IsEmpty())
			fUTI->AddExtension(fExtension);
		if (!fOSType.IsEmpty())
			fUTI->AddOSType(fOSType);
		if (!fMIMEType.IsEmpty())
			fUTI->AddMIMEType(fMIMEType);
	}
	fTakeText = false;
	fConformsTo.Clear();
	fExtension.Clear();
	fOSType.Clear();
	fMIMEType.Clear();
}

} // namespace qirn
