#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VFilePath.h"

#include <map>
#include <set>
#include <vector>

namespace qirn {

// One uniform type identifier as the type-identifier manager knows it: its
// identifier, description, reference and icon, its own tags (name
// extensions, four-character OS types, MIME types) and its links to the
// types it conforms to (parents) and to those that conform to it
// (children).
//
// Parents and children retain each other, so whoever links types detaches
// them (_Detach) before letting them go. The setters can make a type its
// own ancestor: every walk keeps the types it has visited, so a cycle ends.
// A type is not locked: it is filled by one task and then only read.
class VUTI : public VObject, public IRefCountable {
public:
	// Identifiers ordered as a person reads them, accents not counting.
	struct IdentifierLess {
		bool operator()(const VString& inA, const VString& inB) const;
	};
	using UTIMap = std::map<VString, VRefPtr<VUTI>, IdentifierLess>;
	using StringVector = std::vector<VString>;

	VUTI() = default;
	explicit VUTI(const VString& inIdentifier) : fIdentifier(inIdentifier) {}
	VUTI(const VUTI&) = delete;
	VUTI& operator=(const VUTI&) = delete;

	const VString& GetIdentifier() const { return fIdentifier; }
	void SetIdentifier(const VString& inIdentifier) { fIdentifier = inIdentifier; }
	const VString& GetDescription() const { return fDescription; }
	void SetDescription(const VString& inDescription) { fDescription = inDescription; }
	const VString& GetReference() const { return fReference; }
	void SetReference(const VString& inReference) { fReference = inReference; }
	const VFilePath& GetImagePath() const { return fImagePath; }
	void SetImagePath(const VFilePath& inPath) { fImagePath = inPath; }

	// The getters give copies; the setters take the vectors as they are.
	StringVector GetExtensionsVector() const { return fExtensions; }
	void SetExtensionsVector(const StringVector& inExtensions) { fExtensions = inExtensions; }
	StringVector GetOSTypesVector() const { return fOSTypes; }
	void SetOSTypesVector(const StringVector& inOSTypes) { fOSTypes = inOSTypes; }
	StringVector GetMIMETypesVector() const { return fMIMETypes; }
	void SetMIMETypesVector(const StringVector& inMIMETypes) { fMIMETypes = inMIMETypes; }
	UTIMap GetParentUTIsMap() const { return fParents; }
	void SetParentUTIsMap(const UTIMap& inParents) { fParents = inParents; }
	UTIMap GetChildrenUTIsMap() const { return fChildren; }
	void SetChildrenUTIsMap(const UTIMap& inChildren) { fChildren = inChildren; }

	// A temporary type stands for a parent a declaration names but that is
	// not yet resolved to a declared type; walks pass over it.
	bool IsTemporary() const { return fTemporary; }
	void SetTemporary(bool inTemporary = true) { fTemporary = inTemporary; }
	bool IsDynamic() const { return fDynamic; }
	void SetDynamic(bool inDynamic = true) { fDynamic = inDynamic; }
	// Whether the identifier begins with "public".
	bool IsPublic() const;

	// Appended unless an equal entry (accents and case not counting) is there.
	void AddExtension(const VString& inExtension);
	void AddOSType(const VString& inOSType);
	void AddMIMEType(const VString& inMIMEType);

	// Links a type under its identifier, retained, unless that identifier is
	// linked already; none or an empty identifier is ignored.
	void AddParentUTI(VUTI* inUTI);
	void AddChildUTI(VUTI* inUTI);
	// Unlinks the parent and the child of that identifier, each only when it
	// is a temporary type.
	void RemoveTemporaryUTI(const VString& inIdentifier);
	// Unlinks every parent and child.
	void _Detach();

	// The type's own extensions, then those of its non-temporary ancestors,
	// each once, appended to the vector.
	void GetAllExtensionsVector(StringVector& ioExtensions) const;

	// Whether the type is, or conforms through non-temporary parents to,
	// the identifier; false for an empty identifier.
	bool ConformsToIdentifier(const VString& inIdentifier) const;

	// The type itself when its own tags hold the tag, else the first
	// non-temporary ancestor that does, depth first in identifier order (one
	// reference for the caller); null when none does.
	[[nodiscard]] VUTI* GetHighestParentThatConformsToExtension(const VString& inExtension);
	[[nodiscard]] VUTI* GetHighestParentThatConformsToOSType(const VString& inOSType);
	[[nodiscard]] VUTI* GetHighestParentThatConformsToMIMEType(const VString& inMIMEType);
	bool ConformsToExtension(const VString& inExtension) const;
	bool ConformsToOSType(const VString& inOSType) const;
	bool ConformsToMIMEType(const VString& inMIMEType) const;

	// Whether the type's identifier is among the non-temporary ancestors
	// (IsParent) or descendants (IsChild).
	bool IsParent(const VUTI* inUTI) const;
	bool IsChild(const VUTI* inUTI) const;
	// IsChild, or IsChildOrChildOfAParent of a non-temporary parent.
	bool IsChildOrChildOfAParent(const VUTI* inUTI) const;
	// Whether a parent, temporary ones included, is the type or has it as an
	// ancestor; CouldBeAChild the same through the children.
	bool CouldBeAParent(const VUTI* inUTI) const;
	bool CouldBeAChild(const VUTI* inUTI) const;

private:
	~VUTI() override = default;

	using Visited = std::set<const VUTI*>;
	enum class TagClass { kExtension, kOSType, kMIMEType };

	const StringVector& _Tags(TagClass inClass) const;
	bool _HasOwnTag(TagClass inClass, const VString& inTag) const;
	VUTI* _FindTagHolder(TagClass inClass, const VString& inTag, Visited& ioVisited);
	bool _ConformsTo(const VString& inIdentifier, Visited& ioVisited) const;
	bool _IsParent(const VUTI* inUTI, Visited& ioVisited) const;
	bool _IsChild(const VUTI* inUTI, Visited& ioVisited) const;
	bool _IsChildOrChildOfAParent(const VUTI* inUTI, Visited& ioVisited) const;
	void _GetAllExtensions(StringVector& ioExtensions, Visited& ioVisited) const;

	bool fTemporary = false;
	VString fIdentifier;
	VString fDescription;
	VString fReference;
	VFilePath fImagePath;
	bool fDynamic = false;
	StringVector fOSTypes;
	StringVector fExtensions;
	StringVector fMIMETypes;
	UTIMap fParents;
	UTIMap fChildren;
};

} // namespace qirn
