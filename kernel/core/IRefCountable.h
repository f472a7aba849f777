#pragma once

#include "core/VKernelTypes.h"

#include <atomic>

namespace qirn {

// Intrusive, thread-safe reference count. A new object holds one reference
// for its creator; the Release that takes the count to zero hands the object
// to DoOnRefCountZero, which deletes it unless a class recycles instances.
class IRefCountable {
public:
	IRefCountable() : fRefCount(1) {}
	IRefCountable(const IRefCountable&) : fRefCount(1) {}
	IRefCountable& operator=(const IRefCountable&) { return *this; }
	virtual ~IRefCountable() = default;

	virtual uint32 Retain(const char* inDebugInfo = nullptr) const;
	virtual uint32 Release(const char* inDebugInfo = nullptr) const;

	// Classes that hold references in cycles drop them here.
	virtual void ReleaseDependencies() {}

	uint32 GetRefCount() const { return fRefCount.load(std::memory_order_relaxed); }

	// Takes a reference only while the count is above 0, never from an
	// object whose last reference went: for registries that hold none and
	// find an object while it is being destroyed.
	bool RetainIfAlive() const;

protected:
	virtual void DoOnRefCountZero();

private:
	mutable std::atomic<uint32> fRefCount;
};

// Convenience helpers that accept null.
template <class T>
inline T* RetainRefCountable(T* inObject)
{
	if (inObject != nullptr)
		inObject->Retain();
	return inObject;
}

template <class T>
inline void ReleaseRefCountable(T** ioObject)
{
	if (*ioObject != nullptr) {
		T* object = *ioObject;
		*ioObject = nullptr;
		object->Release();
	}
}

} // namespace qirn
