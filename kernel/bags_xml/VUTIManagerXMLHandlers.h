#pragma once

#include "bags_xml/IXMLHandler.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"

#include <vector>

namespace qirn {

class VUTI;
class VUTIManager;

// The handlers that read type declarations out of a property list's XML.
// Each hands what it reads to the type being built or to the manager;
// attributes are ignored. Element names and keys compare as a person reads
// them (accents and case not counting).

// The document: finds the arrays of type declarations.
class VUTIManagerXMLHandler : public VObject, public IXMLHandler {
public:
	explicit VUTIManagerXMLHandler(VUTIManager* inManager) : fManager(inManager) {}

	IXMLHandler* StartElement(const VString& inElementName) override;
	void EndElement(const VString& inElementName) override;
	void SetText(const VString& inText) override;

private:
	VUTIManager* fManager;
	VString fCurrentElement;
	VString fKeyText;
	bool fTakeText = false;
};

// An array of type declarations: one dictionary per type.
class VUTIManagerArrayHandler : public VObject, public IXMLHandler {
public:
	explicit VUTIManagerArrayHandler(VUTIManager* inManager) : fManager(inManager) {}

	IXMLHandler* StartElement(const VString& inElementName) override;

private:
	VUTIManager* fManager;
};

// One type's dictionary. At its end the type goes to the manager.
class VUTIManagerUTIHandler : public VObject, public IXMLHandler {
public:
	explicit VUTIManagerUTIHandler(VUTIManager* inManager);
	~VUTIManagerUTIHandler() override;

	IXMLHandler* StartElement(const VString& inElementName) override;
	void EndElement(const VString& inElementName) override;
	void SetText(const VString& inText) override;

private:
	VUTIManager* fManager;
	VString fCurrentElement;
	VString fKeyText;
	VString fValueKey;
	VRefPtr<VUTI> fUTI;
	bool fTakeText = false;
	// The elements open inside the type's own dictionary.
	std::vector<VString> fElements;
};

// A type's tag specification: a dictionary of tag classes, each followed by
// one string or an array of strings.
class VUTIManagerUTIKeyUTISpecificationHandler : public VObject, public IXMLHandler {
public:
	VUTIManagerUTIKeyUTISpecificationHandler(VUTIManager* inManager, VUTI* inUTI);

	IXMLHandler* StartElement(const VString& inElementName) override;
	void EndElement(const VString& inElementName) override;
	void SetText(const VString& inText) override;

private:
	[[maybe_unused]] VUTIManager* fManager;
	VRefPtr<VUTI> fUTI;
	VString fCurrentElement;
	VString fKeyText;
	VString fTagKey;
	bool fTakeText = false;
	VString fExtension;
	VString fOSType;
	VString fMIMEType;
};

// An array of strings after a key: the parents a type conforms to, or the
// tags of one class.
class VUTIManagerUTIKeyArrayStringHandler : public VObject, public IXMLHandler {
public:
	VUTIManagerUTIKeyArrayStringHandler(VUTI* inUTI, const VString& inKey);

	IXMLHandler* StartElement(const VString& inElementName) override;
	void EndElement(const VString& inElementName) override;
	void SetText(const VString& inText) override;

private:
	VRefPtr<VUTI> fUTI;
	VString fKey;
	VString fCurrentElement;
	bool fTakeText = false;
	VString fConformsTo;
	VString fExtension;
	VString fOSType;
	VString fMIMEType;
};

} // namespace qirn
