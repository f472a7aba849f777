#pragma once

#include "core/VArrayOf.h"
#include "core/VIteratorOf.h"

namespace qirn {

// Walks a VArrayOf by a 1-based position; T{} past either end. The array is
// read at each step, so values added or removed while walking are seen at
// the positions they then have.
template <class T>
class VArrayIteratorOf : public VIteratorOf<T> {
public:
	// Starts before the first value (0), or at a given position.
	explicit VArrayIteratorOf(const VArrayOf<T>& inArray, sLONG inPos = 0) : fArray(inArray) { SetPos(inPos); }

	T Next() override
	{
		if (fPos <= fArray.GetCount())
			++fPos;
		return Current();
	}
	T Previous() override
	{
		if (fPos > fArray.GetCount())
			fPos = fArray.GetCount();
		else if (fPos > 0)
			--fPos;
		return Current();
	}
	T Current() const override { return fArray.GetNth(fPos); }
	T First() override
	{
		fPos = 1;
		return Current();
	}
	T Last() override
	{
		fPos = fArray.GetCount();
		return Current();
	}
	void SetPos(sLONG inPos) override
	{
		const sLONG end = fArray.GetCount() + 1;
		fPos = inPos < 0 ? 0 : (inPos > end ? end : inPos);
	}
	sLONG GetPos() const override { return fPos; }

private:
	const VArrayOf<T>& fArray;
	sLONG fPos = 0;
};

} // namespace qirn
