#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "json/VJSONValue.h"

#include <atomic>

namespace qirn {

class VJSONArray;
class VJSONGraph;
class VJSONObject;
class VJSONStamp;
class VJSONValue;
class VStorageLocker;

// What objects and arrays have in common: their reference counting tied to
// the graph that collects their cycles, their storage locker when shared,
// and their change stamp.
class VJSONContainer : public VObject, public IRefCountable {
public:
	VJSONContainer(const VJSONContainer&) = delete;
	VJSONContainer& operator=(const VJSONContainer&) = delete;

	// The debugging text is ignored.
	uint32 Retain(const char* inDebugInfo = nullptr) const override;
	uint32 Release(const char* inDebugInfo = nullptr) const override;

	// The locker, retained; read under the graph section.
	VRefPtr<VStorageLocker> GetStorageLocker() const;
	// Replaces the locker, under the graph section when shared.
	void SetStorageLocker(VStorageLocker* inLocker);
	void _SetStorageLocker(VStorageLocker* inLocker);
	VStorageLocker* _GetStorageLocker() const { return fLocker.load(std::memory_order_acquire); }
	// The locker on this container and on every container below it.
	void _SetStorageLockerDeep(VStorageLocker* inLocker);
	// Whether this subtree may go under inLocker.
	bool _CanMakeShared(VStorageLocker* inLocker) const;
	// Puts an object or array value and its subtree under this container's
	// locker when it can go there; the locker is no longer fresh after.
	void MakeValueSharedIfNecessary(VJSONValue& ioValue);

	// True with a locker or when the graph is shared.
	bool IsSharedGraph() const;
	void MakeGraphShared();
	// 0 without a locker; else the locker's id, negated when the locker is
	// containers-only or fresh.
	int32 GetSharedID() const;

	VJSONStamp* GetJSONStamp() const { return fStamp; }
	void SetJSONStamp(VJSONStamp* inStamp);
	// The stamp's counter, giving the container a new stamp (counter 0) when
	// it has none.
	uint32 _GetStampCounterMakingStamp();

	VJSONGraph* _GetGraph() const { return fGraph.load(std::memory_order_acquire); }
	uint32 _GetContainerRefs() const { return fContainerRefs; }
	void _DropContainerRef() { --fContainerRefs; }
	bool _IsArray() const { return fIsArray; }
	// Shared (a locker) or, for objects, with an implementation that is sharable.
	virtual bool _IsSharedOrSharable() const;

	// Lowers the container references of the held containers and the graph's
	// internal count by their number; nothing is removed.
	void _DisconnectAll();
	// Drops the links and every value, once a cycle is broken.
	virtual void ClearFromGraph() = 0;
	// Removes every value, each leaving the graph as a removed property does
	// (so that a cycle only it reached is broken) before it is released.
	virtual void _DropValuesFromGraph() = 0;
	// The values this container holds, for the graph walks.
	virtual void _GetChildValues(void (*inFn)(const VJSONValue&, void*), void* inContext) const = 0;

	static VJSONContainer* FromValue(const VJSONValue& inValue);

	// Whether a deep comparison with inOther is settled before the contents
	// are read (the same container, none, or a pair already under comparison,
	// met again through a cycle and taken as equal), with its answer.
	bool _DeepEqualSettled(const VJSONContainer* inOther, VJSONDeepEqualPairs& ioPairs, bool& outEqual) const;

protected:
	explicit VJSONContainer(bool inIsArray) : fIsArray(inIsArray) {}
	~VJSONContainer() override;

	// Tells the graph this container is gone: links dropped, membership and
	// graph reference released. Called first thing by the destructors.
	void _LeaveGraph();
	void _SetGraph(VJSONGraph* inGraph);
	virtual void _StampChanged(VJSONStamp* /*inStamp*/) {}
	bool _MustLockGraphForChange(const VJSONValue* inValue) const;

	friend class VJSONGraph;

	std::atomic<VJSONGraph*> fGraph{nullptr};
	// The graph's list of members this container is linked in, if any: a
	// membership that costs no allocation and no search.
	VJSONGraph* fMemberOf = nullptr;
	VJSONContainer* fPreviousMember = nullptr;
	VJSONContainer* fNextMember = nullptr;
	uint32 fContainerRefs = 0;
	std::atomic<VStorageLocker*> fLocker{nullptr};
	VJSONStamp* fStamp = nullptr;
	const bool fIsArray;
};

} // namespace qirn
