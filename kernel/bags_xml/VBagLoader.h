#pragma once

#include "core/VObject.h"
#include "core/VUUID.h"

#include <map>

namespace qirn {

class VValueBag;

// The state of loading objects from bags: with regeneration, every
// identifier read from a bag gets a new one, the same for every bag that
// carried the same old one, so that copies keep their links to each other.
class VBagLoader : public VObject {
public:
	VBagLoader(bool inRegenerateUUIDs, bool inWithReferences);

	bool IsRegenerateUUIDs() const { return fRegenerateUUIDs; }
	bool IsWithReferences() const { return fWithReferences; }

	// The identifier of the bag's "uuid" attribute (remapped when
	// regenerating); see the source for what each case answers.
	bool GetUUID(const VValueBag& inBag, VUUID& outUUID);
	// With regeneration, the new identifier of an old one; false when unknown.
	bool ResolveUUID(VUUID& ioUUID) const;

private:
	bool fRegenerateUUIDs;
	bool fWithReferences;
	bool fUnusedFlag1 = true;
	bool fUnusedFlag2 = true;
	std::map<VUUID, VUUID> fUUIDs;
};

} // namespace qirn
