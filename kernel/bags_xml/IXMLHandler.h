#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"

namespace qirn {

class VFile;
class VFolder;

// One element's receiver during an XML parse. StartElement names the
// handler of a nested element's content: one reference for the caller, or
// null to ignore the element and all inside it. Every default does nothing.
class IXMLHandler : public IRefCountable {
public:
	IXMLHandler() = default;
	~IXMLHandler() override;
	IXMLHandler(const IXMLHandler&) = delete;
	IXMLHandler& operator=(const IXMLHandler&) = delete;

	virtual IXMLHandler* StartElement(const VString& inElementName);
	virtual void EndElement(const VString& inElementName);
	virtual void SetAttribute(const VString& inName, const VString& inValue);
	virtual void SetText(const VString& inText);
	// The local file of an external entity or DTD (one reference for the
	// caller), or null; by default looked up in the entities folder.
	virtual VFile* ResolveEntity(const VString& inSystemID);
	// "xml-stylesheet" is cut into its pseudo-attributes, passed between
	// StartStyleSheet and EndStyleSheet; other targets are dropped.
	virtual void processingInstruction(const VString& inTarget, const VString& inData);
	virtual void StartStyleSheet();
	virtual void SetStyleSheetAttribute(const VString& inName, const VString& inValue);
	virtual void EndStyleSheet();

	// System identifiers that begin with inPath are looked up in inFolder
	// (retained); a null folder looks nothing up.
	void SetEntitiesLocalFolder(const VString& inPath, VFolder* inFolder);

	// XML white space.
	static bool WCharIsSpace(UniChar inChar);
	// A character that XML 1.0 allows in a document.
	static bool IsXMLChar(UniChar inChar);

private:
	VString fEntitiesPath;
	VFolder* fEntitiesFolder = nullptr;
};

// Takes a whole subtree and keeps nothing.
class VNullXMLHandler : public VObject, public IXMLHandler {
public:
	IXMLHandler* StartElement(const VString& inElementName) override;
};

} // namespace qirn
