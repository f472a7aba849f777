#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"

#include <atomic>
#include <set>
#include <vector>

namespace qirn {

class VJSONArray;
class VJSONContainer;
class VJSONObject;
class VJSONValue;

// Groups every object and array linked through property values or array
// elements, counts the references held from inside the group and from
// outside, and breaks the group's cycles when the last outside reference
// goes. Callers hold the graph section (StGraphLocker) whenever a party is
// shared.
class VJSONGraph : public VObject, public IRefCountable {
public:
	VJSONGraph() = default;
	~VJSONGraph() override;

	VJSONGraph(const VJSONGraph&) = delete;
	VJSONGraph& operator=(const VJSONGraph&) = delete;

	// A container now holds a value container (the value is already stored).
	static void Connect(VJSONGraph** ioContainerGraph, VJSONGraph** ioValueGraph, const VJSONObject* inContainerObject,
						const VJSONArray* inContainerArray, const VJSONObject* inValueObject,
						const VJSONArray* inValueArray);
	static void Connect(VJSONGraph** ioContainerGraph, const VJSONValue& inValue, const VJSONObject* inContainerObject,
						const VJSONArray* inContainerArray);
	static void Connect(VJSONContainer* inContainer, const VJSONValue& inValue);
	// A container drops an object or array value it still holds: the link's
	// counts go and, when the value is then held only from outside, the
	// cycles below it are broken.
	static void Disconnect(VJSONGraph* inGraph, const VJSONValue& inValue);

	// Whole-graph collection, when the reference being released is the only
	// one from outside the graph. Answers whether it broke the graph.
	static bool ReleaseGraphDependenciesIfNecessary(IRefCountable* inGraph);
	static void ReleaseObjectDependenciesIfNecessary(VJSONObject* inObject);
	static void ReleaseArrayDependenciesIfNecessary(VJSONArray* inArray);
	static void ReleaseDependenciesIfNecessary(IRefCountable* inGraph, const std::vector<VJSONObject*>& inObjects,
											   const std::vector<VJSONArray*>& inArrays, int32 inVisits);

	bool HasCycle() const { return fHasCycle; }
	bool IsShared() const { return fShared.load(std::memory_order_acquire); }
	void SetShared() { fShared.store(true, std::memory_order_release); }
	int32 GetTotalReferences() const { return fTotalRefs.load(std::memory_order_relaxed); }
	uint32 GetInternalReferences() const { return fInternalRefs; }
	size_t GetMemberCount() const { return fMemberCount; }

	void _AddTotal(int32 inDelta) { fTotalRefs.fetch_add(inDelta, std::memory_order_relaxed); }
	void _LowerInternal(uint32 inCount) { fInternalRefs -= inCount; }
	void _RemoveMember(VJSONContainer* inMember);

private:
	static void _ReleaseMemberDependenciesIfNecessary(VJSONContainer* inMember);
	// Links a container into the members; false when it is one already. A
	// container listed by another graph leaves that list first.
	bool _AddMember(VJSONContainer* inMember);
	// Unlinks every member, objects and arrays apart.
	void _TakeMembers(std::vector<VJSONObject*>& outObjects, std::vector<VJSONArray*>& outArrays);
	// Inserts a container and everything below it, with their counts.
	void _Collect(VJSONContainer* inContainer);
	static void _Walk(VJSONContainer* inContainer, std::vector<VJSONObject*>& ioObjects,
					  std::vector<VJSONArray*>& ioArrays, std::set<VJSONContainer*>& ioSeen, int32& ioVisits,
					  bool& ioRepeat);
	// Takes the members out of the graph and empties them.
	static void _Dissolve(const std::vector<VJSONObject*>& inObjects, const std::vector<VJSONArray*>& inArrays);
	static void _Break(VJSONGraph* inGraph, const std::vector<VJSONObject*>& inObjects,
					   const std::vector<VJSONArray*>& inArrays);

	bool fHasCycle = false;
	std::atomic<bool> fShared{false};
	std::atomic<int32> fTotalRefs{0};
	uint32 fInternalRefs = 0;
	VJSONContainer* fFirstMember = nullptr;
	size_t fMemberCount = 0;
};

} // namespace qirn
