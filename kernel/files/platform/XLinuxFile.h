#pragma once

#include "core/VObject.h"

namespace qirn {

class VFileKind;
class VString;

// The Linux file layer.
class XLinuxFile : public VObject {
public:
	// File kinds. Linux has no system type database: there are no public
	// kinds, and kinds conform through the parent identifiers of the kinds
	// the manager knows.
	[[nodiscard]] static VFileKind* CreatePublicFileKind(const VString& inIdentifier);
	[[nodiscard]] static VFileKind* CreatePublicFileKindFromOsKind(const VString& inOsKind);
	[[nodiscard]] static VFileKind* CreatePublicFileKindFromExtension(const VString& inExtension);
	static bool IsFileKindConformsTo(const VFileKind& inKind, const VFileKind& inParentKind);
};

} // namespace qirn
