#pragma once

#include "core/VKernelTypes.h"
#include "core/VObject.h"

namespace qirn {

// A walk over a series of values by a 1-based position. A null value (T{})
// answers past either end, which is how a walk ends: the series hold no null
// values worth walking to.
template <class T>
class VIteratorOf : public VObject {
public:
	// The value at the position after (before) the current one, which
	// becomes current.
	virtual T Next() = 0;
	virtual T Previous() = 0;
	virtual T Current() const = 0;
	// The first (last) value, which becomes current.
	virtual T First() = 0;
	virtual T Last() = 0;
	// 0 stands before the first value, count + 1 after the last.
	virtual void SetPos(sLONG inPos) = 0;
	virtual sLONG GetPos() const = 0;
};

} // namespace qirn
