#include "bags_xml/IXMLHandler.h"

#include "bags_xml/VXMLParser.h"
#include "files/VFolder.h"

#include <xercesc/util/XMLChar.hpp>

namespace qirn {

IXMLHandler::~IXMLHandler()
{
	if (fEntitiesFolder != nullptr)
		fEntitiesFolder->Release();
}

void IXMLHandler::SetEntitiesLocalFolder(const VString& inPath, VFolder* inFolder)
{
	if (inFolder != fEntitiesFolder) {
		if (inFolder != nullptr)
			inFolder->Retain();
		if (fEntitiesFolder != nullptr)
			fEntitiesFolder->Release();
		fEntitiesFolder = inFolder;
	}
	fEntitiesPath = inPath;
}

VFile* IXMLHandler::ResolveEntity(const VString& inSystemID)
{
	return VXMLParser::ResolveEntityFromFolder(fEntitiesPath, fEntitiesFolder, inSystemID);
}

IXMLHandler* IXMLHandler::StartElement(const VString&)
{
	return nullptr;
}

void IXMLHandler::EndElement(const VString&) {}
void IXMLHandler::SetAttribute(const VString&, const VString&) {}
void IXMLHandler::SetText(const VString&) {}
void IXMLHandler::StartStyleSheet() {}
void IXMLHandler::SetStyleSheetAttribute(const VString&, const VString&) {}
void IXMLHandler::EndStyleSheet() {}

bool IXMLHandler::WCharIsSpace(UniChar inChar)
{
	return inChar == 0x20 || inChar == 0x09 || inChar == 0x0A || inChar == 0x0C || inChar == 0x0D;
}

bool IXMLHandler::IsXMLChar(UniChar inChar)
{
	// A static table: no set-up needed.
	return xercesc::XMLChar1_0::isXMLChar(inChar);
}

namespace {

// A value without surrounding quotation marks (the same one at both ends)
// and then without surrounding white space.
VString _StyleSheetValue(const VString& inToken)
{
	VIndex begin = 0;
	VIndex end = inToken.GetLength();
	const UniChar* p = inToken.GetCPointer();
	if (end >= 2 && (p[0] == u'"' || p[0] == u'\'') && p[end - 1] == p[0]) {
		++begin;
		--end;
	}
	while (begin < end && IXMLHandler::WCharIsSpace(p[begin]))
		++begin;
	while (end > begin && IXMLHandler::WCharIsSpace(p[end - 1]))
		--end;
	return VString(p + begin, end - begin);
}

} // namespace

void IXMLHandler::processingInstruction(const VString& inTarget, const VString& inData)
{
	if (!inTarget.EqualToString(VString("xml-stylesheet"), true))
		return;
	StartStyleSheet();
	VString name;
	VString token;
	bool afterEquals = false;
	auto endToken = [&]() {
		if (token.IsEmpty())
			return;
		if (afterEquals) {
			if (!name.IsEmpty())
				SetStyleSheetAttribute(name, _StyleSheetValue(token));
			name.Clear();
			afterEquals = false;
		} else {
			name = token;
		}
		token.Clear();
	};
	const UniChar* p = inData.GetCPointer();
	for (VIndex i = 0; i < inData.GetLength(); ++i) {
		if (WCharIsSpace(p[i])) {
			endToken();
		} else if (p[i] == u'=') {
			endToken();
			afterEquals = true;
		} else {
			token.AppendUniChar(p[i]);
		}
	}
	endToken();
	EndStyleSheet();
}

IXMLHandler* VNullXMLHandler::StartElement(const VString&)
{
	Retain();
	return this;
}

} // namespace qirn
