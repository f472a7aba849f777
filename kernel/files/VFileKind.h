#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"

#include <vector>

namespace qirn {

// One type of document: its type identifier, a description, the
// four-character OS kinds and the name extensions (without the '.') that
// mark it, and the identifiers of the kinds it conforms to. A kind never
// changes once made, so tasks share it freely.
class VFileKind : public VObject, public IRefCountable {
public:
	// A new kind, with one reference for the caller. Public kinds come from
	// the platform's type database, private ones from the application.
	[[nodiscard]] static VFileKind* Create(const VString& inIdentifier, const std::vector<VString>& inOsKinds,
										   const VString& inDescription, const std::vector<VString>& inExtensions,
										   const std::vector<VString>& inParentIdentifiers, bool inPublic);

	VFileKind(const VFileKind&) = delete;
	VFileKind& operator=(const VFileKind&) = delete;

	const VString& GetIdentifier() const { return fIdentifier; }
	const VString& GetDescription() const { return fDescription; }
	bool IsPublic() const { return fPublic; }

	// Extensions are matched as a person types them (accents and case do
	// not count); OS kinds exactly.
	bool MatchExtension(const VString& inExtension) const;
	bool MatchOsKind(const VString& inOsKind) const;

	// The first of the list; false, the text cleared, when the list is empty.
	bool GetPreferredExtension(VString& outExtension) const;
	bool GetPreferredOsKind(VString& outOsKind) const;

	void GetParentIDs(std::vector<VString>& outIdentifiers) const { outIdentifiers = fParentIdentifiers; }

	// Whether this kind conforms to the other, as the platform layer sees it.
	bool ConformsTo(const VFileKind& inKind) const;
	// The same for the kind the manager knows by that identifier; false when
	// no kind has it.
	bool ConformsTo(const VString& inIdentifier) const;

private:
	VFileKind(const VString& inIdentifier, const std::vector<VString>& inOsKinds, const VString& inDescription,
			  const std::vector<VString>& inExtensions, const std::vector<VString>& inParentIdentifiers, bool inPublic);
	~VFileKind() override = default;

	VString fDescription;
	VString fIdentifier;
	std::vector<VString> fOsKinds;
	std::vector<VString> fExtensions;
	std::vector<VString> fParentIdentifiers;
	bool fPublic;
};

} // namespace qirn
