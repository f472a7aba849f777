#include "bags_xml/VBagLoader.h"

#include "bags_xml/StBagKeyWithDefault.h"
#include "bags_xml/VValueBag.h"
#include "core/VUUID.h"

namespace qirn {

namespace {

// The null identifier, built here rather than copied from another file's static,
// whose construction may come later.
const StBagKeyWithDefault<VUUID, VUUID> sUUIDKey("uuid", VUUID());

} // namespace

VBagLoader::VBagLoader(bool inRegenerateUUIDs, bool inWithReferences)
	: fRegenerateUUIDs(inRegenerateUUIDs), fWithReferences(inWithReferences)
{
}

bool VBagLoader::GetUUID(const VValueBag& inBag, VUUID& outUUID)
{
	if (!fRegenerateUUIDs) {
		// Without an identifier the object still needs one of its own.
		if (sUUIDKey.Get(inBag, outUUID))
			return true;
		outUUID.Regenerate();
		return false;
	}
	VUUID old;
	if (!sUUIDKey.Get(inBag, old)) {
		outUUID.Regenerate();
		return false;
	}
	if (old.IsNull()) {
		outUUID.Regenerate();
		return true;
	}
	auto found = fUUIDs.find(old);
	if (found != fUUIDs.end()) {
		outUUID = found->second;
		return true;
	}
	outUUID.Regenerate();
	fUUIDs.emplace(old, outUUID);
	return true;
}

bool VBagLoader::ResolveUUID(VUUID& ioUUID) const
{
	if (!fRegenerateUUIDs)
		return true;
	auto found = fUUIDs.find(ioUUID);
	if (found == fUUIDs.end())
		return false;
	ioUUID = found->second;
	return true;
}

} // namespace qirn
