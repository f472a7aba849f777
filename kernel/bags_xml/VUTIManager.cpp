#include "bags_xml/VUTIManager.h"

#include "bags_xml/VLocalizationManager.h"
#include "bags_xml/VUTIManagerXMLHandlers.h"
#include "bags_xml/VXMLParser.h"
#include "core/VMemoryBuffer.h"
#include "files/VFile.h"
#include "files/VFileKindManager.h"
#include "host/HostPropertyList.h"
#include "runtime/VErrorContext.h"

#include <algorithm>
#include <atomic>
#include <string>

namespace qirn {

const char* const kUTTagClassFilenameExtension = "public.filename-extension";
const char* const kUTTagClassOSType = "com.apple.ostype";
const char* const kUTTagClassMIMEType = "public.mime-type";

std::atomic<VUTIManager*> VUTIManager::fSingleton{nullptr};

VUTIManager* VUTIManager::GetUTIManager()
{
	VUTIManager* manager = fSingleton.load(std::memory_order_acquire);
	if (manager != nullptr)
		return manager;
	VUTIManager* created = new VUTIManager;
	if (fSingleton.compare_exchange_strong(manager, created, std::memory_order_acq_rel))
		return created;
	// Another task made it first.
	created->Release();
	return manager;
}

bool VUTIManager::DeInit()
{
	VUTIManager* manager = fSingleton.exchange(nullptr, std::memory_order_acq_rel);
	if (manager != nullptr)
		manager->Release();
	return true;
}

VUTIManager::VUTIManager() : fParser(std::make_unique<VXMLParser>()), fHandler(new VUTIManagerXMLHandler(this)) {}

VUTIManager::~VUTIManager()
{
	fHandler->Release();
	fParser.reset();
	// Parents and children retain each other: unlinked first, every type
	// then goes with its last reference.
	for (auto& [identifier, uti] : fUTIs)
		uti->_Detach();
	fUTIs.clear();
}

bool VUTIManager::AddNewUTI(VUTI* inUTI)
{
	if (inUTI == nullptr || inUTI->GetIdentifier().IsEmpty())
		return false;
	return fUTIs.try_emplace(inUTI->GetIdentifier(), inUTI).second;
}

VUTI* VUTIManager::RetainUTI(const VString& inIdentifier) const
{
	VUTI::UTIMap::const_iterator found = fUTIs.find(inIdentifier);
	return found != fUTIs.end() ? found->second.Retain() : nullptr;
}

bool VUTIManager::UTTypeEqual(const VString& inA, const VString& inB)
{
	return inA.EqualToString(inB, false);
}

void VUTIManager::_Parse(const VFile* inFile)
{
	// Declarations are read for what they give: a malformed list leaves no
	// error behind.
	StErrorContextInstaller quiet(false);
	VMemoryBuffer<> content;
	if (inFile->GetContent(content) != VE_OK)
		return;
	if (host::IsBinaryPropertyList(content.GetDataPtr(), content.GetDataSize())) {
		std::string xml;
		if (host::CopyBinaryPropertyListAsXML(content.GetDataPtr(), content.GetDataSize(), xml))
			fParser->Parse(xml.data(), xml.size(), fHandler, XML_VALIDATE_NEVER);
		return;
	}
	fParser->Parse(content.GetDataPtr(), content.GetDataSize(), fHandler, XML_VALIDATE_NEVER);
}

bool VUTIManager::LoadXMLFile(const VFile* inFile)
{
	if (inFile == nullptr || !inFile->Exists())
		return false;
	_Parse(inFile);
	ProcessExtractedUTIs();
	return true;
}

sLONG VUTIManager::AnalyzeXMLFile(const VFile* inFile)
{
	if (inFile != nullptr && inFile->Exists())
		_Parse(inFile);
	return 0;
}

void VUTIManager::ProcessExtractedUTIs()
{
	for (auto& [identifier, uti] : fUTIs) {
		for (const auto& [parentIdentifier, parent] : uti->GetParentUTIsMap()) {
			if (!parent->IsTemporary())
				continue;
			VUTI::UTIMap::iterator real = fUTIs.find(parentIdentifier);
			if (real == fUTIs.end())
				continue;
			VUTI* resolved = real->second.Get();
			// A link that would make a type its own ancestor is refused.
			if (resolved == uti.Get() || resolved->IsParent(uti.Get()))
				continue;
			uti->RemoveTemporaryUTI(parentIdentifier);
			resolved->AddChildUTI(uti.Get());
			uti->AddParentUTI(resolved);
		}
	}

	VFileKindManager* kinds = VFileKindManager::Get();
	if (kinds == nullptr)
		return;
	for (const auto& [identifier, uti] : fUTIs) {
		VString description;
		if (fLocalizationManager == nullptr ||
			!fLocalizationManager->LocalizeStringWithDotStringsKey(uti->GetDescription(), description))
			description = uti->GetDescription();
		std::vector<VString> parents;
		for (const auto& [parentIdentifier, parent] : uti->GetParentUTIsMap())
			parents.push_back(parentIdentifier);
		kinds->RegisterPrivateFileKind(identifier, uti->GetOSTypesVector(), description, uti->GetExtensionsVector(),
									   parents);
	}
}

namespace {

enum class TagClass { kNone, kExtension, kOSType, kMIMEType };

TagClass TagClassOf(const VString& inTagClass)
{
	if (VUTIManager::UTTypeEqual(inTagClass, VString(kUTTagClassFilenameExtension)))
		return TagClass::kExtension;
	if (VUTIManager::UTTypeEqual(inTagClass, VString(kUTTagClassOSType)))
		return TagClass::kOSType;
	if (VUTIManager::UTTypeEqual(inTagClass, VString(kUTTagClassMIMEType)))
		return TagClass::kMIMEType;
	return TagClass::kNone;
}

bool HasTag(const VUTI& inUTI, TagClass inClass, const VString& inTag)
{
	switch (inClass) {
	case TagClass::kExtension:
		return inUTI.ConformsToExtension(inTag);
	case TagClass::kOSType:
		return inUTI.ConformsToOSType(inTag);
	case TagClass::kMIMEType:
		return inUTI.ConformsToMIMEType(inTag);
	case TagClass::kNone:
		break;
	}
	return false;
}

VUTI* RetainTagHolder(VUTI& inUTI, TagClass inClass, const VString& inTag)
{
	switch (inClass) {
	case TagClass::kExtension:
		return inUTI.GetHighestParentThatConformsToExtension(inTag);
	case TagClass::kOSType:
		return inUTI.GetHighestParentThatConformsToOSType(inTag);
	case TagClass::kMIMEType:
		return inUTI.GetHighestParentThatConformsToMIMEType(inTag);
	case TagClass::kNone:
		break;
	}
	return nullptr;
}

} // namespace

std::vector<VUTI*>* VUTIManager::UTTypeCreateAllIdentifiersForTag(const VString& inTagClass, const VString& inTag,
																	const VString&) const
{
	if (inTagClass.IsEmpty() || inTag.IsEmpty())
		return nullptr;
	TagClass tagClass = TagClassOf(inTagClass);
	auto* found = new std::vector<VUTI*>;
	for (const auto& [identifier, uti] : fUTIs) {
		if (HasTag(*uti, tagClass, inTag))
			found->push_back(uti.Retain());
	}
	return found;
}

VUTI* VUTIManager::UTTypeCreatePreferredIdentifierForTag(const VString& inTagClass, const VString& inTag,
														 const VString& inConformingToUTI) const
{
	if (inTagClass.IsEmpty() || inTag.IsEmpty() || fUTIs.empty())
		return nullptr;
	TagClass tagClass = TagClassOf(inTagClass);
	std::vector<VRefPtr<VUTI>> candidates;
	for (const auto& [identifier, uti] : fUTIs) {
		VRefPtr<VUTI> candidate = VRefPtr<VUTI>::Adopt(RetainTagHolder(*uti, tagClass, inTag));
		if (candidate == nullptr)
			continue;
		if (!inConformingToUTI.IsEmpty() && !candidate->ConformsToIdentifier(inConformingToUTI))
			continue;
		if (std::find(candidates.begin(), candidates.end(), candidate) == candidates.end())
			candidates.push_back(candidate);
	}
	if (candidates.empty())
		return nullptr;
	// A public type is the one the system means by a tag: when both kinds
	// claim it, the private ones give way.
	bool anyPublic = std::any_of(candidates.begin(), candidates.end(),
								 [](const VRefPtr<VUTI>& inUTI) { return inUTI->IsPublic(); });
	if (anyPublic) {
		for (const VRefPtr<VUTI>& candidate : candidates) {
			if (candidate->IsPublic())
				return candidate.Retain();
		}
	}
	return candidates.front().Retain();
}

VUTI* VUTIManager::ChooseFileUTI(VUTI* inByExtension, VUTI* inByOSType)
{
	if (inByExtension == nullptr || inByOSType == nullptr)
		return inByExtension != nullptr ? inByExtension : inByOSType;
	if (UTTypeEqual(inByExtension->GetIdentifier(), inByOSType->GetIdentifier()) ||
		!inByOSType->IsParent(inByExtension))
		return inByExtension;
	return inByOSType;
}

bool VUTIManager::UTTypeConformsTo(const VFile* inFile, const VString& inIdentifier) const
{
	if (inFile == nullptr || inIdentifier.IsEmpty() || !inFile->Exists())
		return false;
	VRefPtr<VUTI> byExtension;
	VString extension;
	inFile->GetExtension(extension);
	if (!extension.IsEmpty())
		byExtension = VRefPtr<VUTI>::Adopt(
			UTTypeCreatePreferredIdentifierForTag(VString(kUTTagClassFilenameExtension), extension, VString()));
	// Files here carry no OS type: MAC_GetKind answers 0, which names none.
	VRefPtr<VUTI> byOSType;
	uint32 kind = 0;
	if (inFile->MAC_GetKind(&kind) == VE_OK && kind != 0) {
		VString osType;
		osType.FromOsType(kind);
		byOSType = VRefPtr<VUTI>::Adopt(
			UTTypeCreatePreferredIdentifierForTag(VString(kUTTagClassOSType), osType, VString()));
	}
	VUTI* chosen = ChooseFileUTI(byExtension.Get(), byOSType.Get());
	return chosen != nullptr && chosen->ConformsToIdentifier(inIdentifier);
}

} // namespace qirn
