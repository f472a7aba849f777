#include "bags_xml/BagXMLReadWrite.h"

#include "bags_xml/VValueBag.h"
#include "bags_xml/VXMLBagHandler.h"
#include "bags_xml/VXMLParser.h"
#include "core/VString.h"
#include "files/IFile.h"
#include "files/VFolder.h"
#include "files/VStream.h"
#include "runtime/VErrorContext.h"

namespace qirn {

namespace {

const VString kBagElementName("bag");

// The one body of the four loaders: a file when given, else the text.
VError _LoadBag(IFile* inFile, const VString* inText, const VString& inElementName, VValueBag& ioBag,
				unsigned inFlags, const VString* inEntitiesPath, VFolder* inEntitiesFolder)
{
	StErrorContextInstaller context(true, false);
	VXMLParser parser;
	VXMLBagHandler_UniqueElement handler(&ioBag, inElementName);
	if (inEntitiesPath != nullptr && inEntitiesFolder != nullptr && inEntitiesFolder->Exists()) {
		handler.SetEntitiesLocalFolder(*inEntitiesPath, inEntitiesFolder);
		// Entities met inside the root element are asked of the element's
		// own handler first, then of the parser.
		parser.SetEntitiesLocalFolder(*inEntitiesPath, inEntitiesFolder);
	}
	if (inFile != nullptr)
		parser.Parse(inFile, &handler, inFlags);
	else
		parser.Parse(*inText, &handler, inFlags);
	return context.GetLastError();
}

} // namespace

VError WriteBagToFileInXML(const VValueBag& inBag, const VString& inElementName, IFile* inFile, bool inIndent)
{
	if (inFile == nullptr)
		return VE_OK;
	VString text("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
	inBag.DumpXML(text, inElementName, inIndent);
	const VError error = inFile->SetContentAsString(text, VTC_UTF_8, eCRM_NONE, false);
	if (error != VE_OK)
		inFile->Delete();
	return error;
}

VError WriteBagToStreamInXML(const VValueBag& inBag, VStream* ioStream)
{
	if (ioStream == nullptr)
		return VE_OK;
	VString text("<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
	inBag.DumpXML(text, kBagElementName, false);
	ioStream->PutLong(1);
	return text.WriteToStream(ioStream);
}

VError ReadBagFromStreamInXML(VValueBag& ioBag, VStream* ioStream)
{
	if (ioStream == nullptr)
		return VE_OK;
	// Errors raised before this call are not this read's.
	StErrorContextInstaller context(true, false);
	sLONG version = 0;
	ioStream->GetLong(version);
	if (ioStream->GetLastError() != VE_OK || version != 1)
		return ioStream->GetLastError();
	VString text;
	if (const VError error = text.ReadFromStream(ioStream); error != VE_OK)
		return error;
	VXMLParser parser;
	VXMLBagHandler_UniqueElement handler(&ioBag, kBagElementName);
	parser.Parse(text, &handler, 0);
	return context.GetLastError();
}

VError LoadBagFromXML(const VString& inXMLText, const VString& inElementName, VValueBag& ioBag, unsigned inFlags)
{
	return _LoadBag(nullptr, &inXMLText, inElementName, ioBag, inFlags, nullptr, nullptr);
}

VError LoadBagFromXML(const VString& inXMLText, const VString& inElementName, VValueBag& ioBag, unsigned inFlags,
					  const VString* inEntitiesPath, VFolder* inEntitiesFolder)
{
	return _LoadBag(nullptr, &inXMLText, inElementName, ioBag, inFlags, inEntitiesPath, inEntitiesFolder);
}

VError LoadBagFromXML(IFile* inFile, const VString& inElementName, VValueBag& ioBag, unsigned inFlags)
{
	return LoadBagFromXML(inFile, inElementName, ioBag, inFlags, nullptr, nullptr);
}

VError LoadBagFromXML(IFile* inFile, const VString& inElementName, VValueBag& ioBag, unsigned inFlags,
					  const VString* inEntitiesPath, VFolder* inEntitiesFolder)
{
	// No file gives nothing to parse, as a file that cannot be read does.
	if (inFile == nullptr)
		return VE_OK;
	return _LoadBag(inFile, nullptr, inElementName, ioBag, inFlags, inEntitiesPath, inEntitiesFolder);
}

} // namespace qirn
