#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

class VBagLoader;
class VString;
class VValueBag;

// Objects that save themselves into a bag and load themselves from one.
class IBaggable {
public:
	virtual ~IBaggable() = default;

	// Loading through a loader (identifier remapping) defaults to a plain load.
	virtual VError LoadFromBagWithLoader(const VValueBag& inBag, VBagLoader* inLoader, void* inContext = nullptr);
	virtual VError LoadFromBag(const VValueBag& inBag);
	// Fills the bag and names the element kind it is to be stored under.
	virtual VError SaveToBag(VValueBag& ioBag, VString& outKind) const = 0;
};

} // namespace qirn
