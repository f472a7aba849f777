#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "runtime/VCriticalSection.h"

#include <atomic>
#include <set>
#include <variant>

namespace qirn {

class VJSONArray;
class VJSONObject;
class VJSONValue;
class VSyncEvent;

// The one process-wide section of JSON graph bookkeeping. It is always taken
// before any storage locker's own section, never after.
class StGraphLocker {
public:
	explicit StGraphLocker(bool inLock) : fLocked(inLock)
	{
		if (fLocked)
			sMutex.Lock();
	}
	~StGraphLocker()
	{
		if (fLocked)
			sMutex.Unlock();
	}
	StGraphLocker(const StGraphLocker&) = delete;
	StGraphLocker& operator=(const StGraphLocker&) = delete;

	static VCriticalSection sMutex;

private:
	bool fLocked;
};

// Takes the graph mutex, then a lock of its own guarding shared containers
// (a class store's, a document cache's): copying or dropping a shared
// container there retains or releases it under the graph mutex, and code
// that runs under the graph mutex (a constructor, a getter) reaches those
// locks too. The graph mutex always comes first.
class StGraphThenLock {
public:
	explicit StGraphThenLock(VCriticalSection& inLock) : fLock(inLock) {}

private:
	StGraphLocker fGraph{true};
	StLocker<VCriticalSection> fLock;
};

// Makes a subtree of objects and arrays shareable between tasks. Every member
// of the subtree holds the same locker; its section guards their contents,
// and a task must use it (a re-entrant claim, the others waiting) before it
// may change them.
class VStorageLocker : public VObject, public IRefCountable {
public:
	using Container = std::variant<VJSONObject*, VJSONArray*>;

	explicit VStorageLocker(bool inContainersOnly = false, bool inFresh = false);
	~VStorageLocker() override;

	VStorageLocker(const VStorageLocker&) = delete;
	VStorageLocker& operator=(const VStorageLocker&) = delete;

	// Claims the use for the current task, waiting while another task holds
	// it; false only when the waiting task is dying.
	bool Use();
	// Claims the use only when nobody else holds the section or the use.
	bool TryToUse();
	void EndUse();
	bool IsUsedByCurrentTask() const;
	bool IsUsedByOtherTask() const;

	void Lock() { fSection.Lock(); }
	void Unlock() { fSection.Unlock(); }

	int32 GetID() const { return fID; }
	bool IsContainersOnly() const { return fContainersOnly; }
	bool IsFresh() const { return fFresh.load(std::memory_order_relaxed); }
	void SetFresh(bool inFresh) { fFresh.store(inFresh, std::memory_order_relaxed); }
	// The id, negated for a containers-only or a fresh locker.
	int32 GetSharedID() const { return (fContainersOnly || IsFresh()) ? -fID : fID; }

	// Called before an object or array value is stored into a container that
	// may be shared: answers whether it may be, moving the one or the other
	// under a common locker when one of them is fresh.
	static bool Assign(const Container& inTarget, VStorageLocker* inTargetLocker, const Container& inValue,
					   VStorageLocker* inValueLocker);
	static bool Assign(const Container& inTarget, VStorageLocker* inTargetLocker, const VJSONValue& inValue);

	static std::atomic<int32> sNextID;

private:
	bool _TakeUse(int32 inTask);

	std::set<int32> fWaitingTasks;
	mutable VCriticalSection fSection;
	int32 fOwner = 0;
	int32 fUseCount = 0;
	int32 fID;
	bool fContainersOnly;
	std::atomic<bool> fFresh;
	// Set when the use is given up while threads that are no task wait.
	VSyncEvent* fFreed;
};

// Reads a shared container: the graph section, then the locker's.
class VJSONReadLock {
public:
	// Unshared containers take no lock: the test stays inline.
	explicit VJSONReadLock(VStorageLocker* inLocker) : fLocker(inLocker)
	{
		if (fLocker != nullptr)
			_Lock();
	}
	~VJSONReadLock()
	{
		if (fLocker != nullptr)
			_Unlock();
	}
	VJSONReadLock(const VJSONReadLock&) = delete;
	VJSONReadLock& operator=(const VJSONReadLock&) = delete;

private:
	void _Lock();
	void _Unlock();

	VStorageLocker* fLocker;
};

// Changes a container: the graph section when asked, then the locker's when
// there is one.
class VJSONReadWriteLock {
public:
	VJSONReadWriteLock(VStorageLocker* inLocker, bool inWithGraph);
	~VJSONReadWriteLock();
	VJSONReadWriteLock(const VJSONReadWriteLock&) = delete;
	VJSONReadWriteLock& operator=(const VJSONReadWriteLock&) = delete;

private:
	VStorageLocker* fLocker;
	bool fWithGraph;
};

// One locker's section for a scope.
class VSharedObjectLocker {
public:
	explicit VSharedObjectLocker(VStorageLocker* inLocker) : fLocker(inLocker)
	{
		if (fLocker != nullptr)
			fLocker->Lock();
	}
	~VSharedObjectLocker()
	{
		if (fLocker != nullptr)
			fLocker->Unlock();
	}
	VSharedObjectLocker(const VSharedObjectLocker&) = delete;
	VSharedObjectLocker& operator=(const VSharedObjectLocker&) = delete;

private:
	VStorageLocker* fLocker;
};

// Uses a container's locker for a scope. A container without locker counts
// as used.
class VJSONUser : public VObject {
public:
	VJSONUser(const VJSONObject* inObject, bool inTryOnly);
	VJSONUser(const VJSONArray* inArray, bool inTryOnly);
	VJSONUser(const VJSONValue& inValue, bool inTryOnly);
	VJSONUser(VRefPtr<VStorageLocker>&& inLocker, bool inTryOnly);
	~VJSONUser() override;

	VJSONUser(const VJSONUser&) = delete;
	VJSONUser& operator=(const VJSONUser&) = delete;

	bool IsUsing() const { return fUsing; }

private:
	void _Use(bool inTryOnly);

	VRefPtr<VStorageLocker> fLocker;
	bool fUsing = false;
};

} // namespace qirn
