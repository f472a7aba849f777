#include "core/IRefCountable.h"

namespace qirn {

uint32 IRefCountable::Retain(const char*) const
{
	return fRefCount.fetch_add(1, std::memory_order_seq_cst) + 1;
}

bool IRefCountable::RetainIfAlive() const
{
	uint32 count = fRefCount.load(std::memory_order_relaxed);
	while (count != 0) {
		if (fRefCount.compare_exchange_weak(count, count + 1, std::memory_order_seq_cst, std::memory_order_relaxed))
			return true;
	}
	return false;
}

uint32 IRefCountable::Release(const char*) const
{
	// Read nothing of the object after the decrement: another thread's
	// Release may delete it as soon as the count moves.
	uint32 before = fRefCount.fetch_sub(1, std::memory_order_acq_rel);
	if (before == 1)
		const_cast<IRefCountable*>(this)->DoOnRefCountZero();
	return before - 1;
}

void IRefCountable::DoOnRefCountZero()
{
	delete this;
}

} // namespace qirn
