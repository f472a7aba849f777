#include "json/VJSONGraph.h"

#include <utility>

#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VStorageLocker.h"

namespace qirn {

namespace {

// Calls inFn for every container value inContainer holds, under its locker's
// section when it has one.
template <class Fn>
void ForEachChild(const VJSONContainer* inContainer, Fn&& inFn)
{
	VSharedObjectLocker lock(inContainer->_GetStorageLocker());
	inContainer->_GetChildValues(
		[](const VJSONValue& inValue, void* inContext) {
			if (VJSONContainer* child = VJSONContainer::FromValue(inValue); child != nullptr)
				(*static_cast<Fn*>(inContext))(child);
		},
		&inFn);
}

} // namespace

VJSONGraph::~VJSONGraph()
{
	// Members still listed forget the list, so that no later graph made at
	// the same address takes them for its own.
	while (fFirstMember != nullptr)
		_RemoveMember(fFirstMember);
}

bool VJSONGraph::_AddMember(VJSONContainer* inMember)
{
	if (inMember->fMemberOf == this)
		return false;
	if (inMember->fMemberOf != nullptr)
		inMember->fMemberOf->_RemoveMember(inMember);
	inMember->fMemberOf = this;
	inMember->fPreviousMember = nullptr;
	inMember->fNextMember = fFirstMember;
	if (fFirstMember != nullptr)
		fFirstMember->fPreviousMember = inMember;
	fFirstMember = inMember;
	++fMemberCount;
	return true;
}

void VJSONGraph::_RemoveMember(VJSONContainer* inMember)
{
	if (inMember->fMemberOf != this)
		return;
	if (inMember->fPreviousMember != nullptr)
		inMember->fPreviousMember->fNextMember = inMember->fNextMember;
	else
		fFirstMember = inMember->fNextMember;
	if (inMember->fNextMember != nullptr)
		inMember->fNextMember->fPreviousMember = inMember->fPreviousMember;
	inMember->fMemberOf = nullptr;
	inMember->fPreviousMember = nullptr;
	inMember->fNextMember = nullptr;
	--fMemberCount;
}

void VJSONGraph::_TakeMembers(std::vector<VJSONObject*>& outObjects, std::vector<VJSONArray*>& outArrays)
{
	while (VJSONContainer* member = fFirstMember) {
		_RemoveMember(member);
		if (member->_IsArray())
			outArrays.push_back(static_cast<VJSONArray*>(member));
		else
			outObjects.push_back(static_cast<VJSONObject*>(member));
	}
}

void VJSONGraph::_Collect(VJSONContainer* inContainer)
{
	if (!_AddMember(inContainer))
		return;
	if (inContainer->_GetGraph() != this)
		inContainer->_SetGraph(this);
	_AddTotal(static_cast<int32>(inContainer->GetRefCount()));
	ForEachChild(inContainer, [this](VJSONContainer* inChild) {
		++fInternalRefs;
		_Collect(inChild);
	});
}

// ---------------------------------------------------------------------------
// Connecting

void VJSONGraph::Connect(VJSONGraph** ioContainerGraph, VJSONGraph** /*ioValueGraph*/,
						 const VJSONObject* inContainerObject, const VJSONArray* inContainerArray,
						 const VJSONObject* inValueObject, const VJSONArray* inValueArray)
{
	// The graph slots are the containers' own: they are reached through them.
	(void)ioContainerGraph;
	auto* container = inContainerObject != nullptr ? static_cast<const VJSONContainer*>(inContainerObject)
												   : static_cast<const VJSONContainer*>(inContainerArray);
	if (inValueObject != nullptr)
		Connect(const_cast<VJSONContainer*>(container), VJSONValue(const_cast<VJSONObject*>(inValueObject)));
	else if (inValueArray != nullptr)
		Connect(const_cast<VJSONContainer*>(container), VJSONValue(const_cast<VJSONArray*>(inValueArray)));
}

void VJSONGraph::Connect(VJSONGraph** /*ioContainerGraph*/, const VJSONValue& inValue,
						 const VJSONObject* inContainerObject, const VJSONArray* inContainerArray)
{
	auto* container = inContainerObject != nullptr ? static_cast<const VJSONContainer*>(inContainerObject)
												   : static_cast<const VJSONContainer*>(inContainerArray);
	Connect(const_cast<VJSONContainer*>(container), inValue);
}

void VJSONGraph::Connect(VJSONContainer* inContainer, const VJSONValue& inValue)
{
	VJSONContainer* value = VJSONContainer::FromValue(inValue);
	if (value == nullptr)
		return;
	++value->fContainerRefs;
	VJSONGraph* containerGraph = inContainer->_GetGraph();
	VJSONGraph* valueGraph = value->_GetGraph();

	if (inContainer == value) {
		if (containerGraph == nullptr) {
			VJSONGraph* graph = new VJSONGraph;
			graph->fHasCycle = true;
			if (value->_IsSharedOrSharable())
				graph->SetShared();
			inContainer->_SetGraph(graph);
			graph->Release();
			graph->_Collect(inContainer);
		} else {
			containerGraph->fHasCycle = true;
			++containerGraph->fInternalRefs;
		}
		return;
	}
	if (containerGraph == nullptr && valueGraph == nullptr) {
		VJSONGraph* graph = new VJSONGraph;
		if (value->_IsSharedOrSharable() || inContainer->_IsSharedOrSharable())
			graph->SetShared();
		inContainer->_SetGraph(graph);
		value->_SetGraph(graph);
		graph->Release();
		graph->_Collect(inContainer);
		graph->_Collect(value);
	} else if (containerGraph == nullptr) {
		inContainer->_SetGraph(valueGraph);
		if (inContainer->_IsSharedOrSharable())
			valueGraph->SetShared();
		valueGraph->_Collect(inContainer);
	} else if (valueGraph == nullptr) {
		value->_SetGraph(containerGraph);
		if (value->_IsSharedOrSharable())
			containerGraph->SetShared();
		++containerGraph->fInternalRefs;
		containerGraph->_Collect(value);
	} else if (containerGraph == valueGraph) {
		containerGraph->fHasCycle = true;
		++containerGraph->fInternalRefs;
	} else {
		// The larger graph takes the smaller one's members over, so that a
		// document built by linking small records into a large tree moves
		// each member a bounded number of times instead of moving the tree
		// into every new record.
		VJSONGraph* keep = containerGraph;
		VJSONGraph* other = valueGraph;
		if (other->fMemberCount > keep->fMemberCount)
			std::swap(keep, other);
		other->Retain();
		if (other->fHasCycle)
			keep->fHasCycle = true;
		if (other->IsShared())
			keep->SetShared();
		keep->_AddTotal(other->GetTotalReferences());
		keep->fInternalRefs += other->fInternalRefs;
		std::vector<VJSONObject*> objects;
		std::vector<VJSONArray*> arrays;
		other->_TakeMembers(objects, arrays);
		other->fTotalRefs.store(0, std::memory_order_relaxed);
		other->fInternalRefs = 0;
		for (VJSONObject* object : objects) {
			keep->_AddMember(object);
			object->_SetGraph(keep);
		}
		for (VJSONArray* array : arrays) {
			keep->_AddMember(array);
			array->_SetGraph(keep);
		}
		other->Release();
		++keep->fInternalRefs;
	}
}

void VJSONGraph::Disconnect(VJSONGraph* inGraph, const VJSONValue& inValue)
{
	if (inGraph == nullptr)
		return;
	VJSONContainer* value = VJSONContainer::FromValue(inValue);
	if (value == nullptr)
		return;
	--value->fContainerRefs;
	--inGraph->fInternalRefs;
	_ReleaseMemberDependenciesIfNecessary(value);
}

// ---------------------------------------------------------------------------
// Collecting cycles

bool VJSONGraph::ReleaseGraphDependenciesIfNecessary(IRefCountable* inGraph)
{
	auto* graph = static_cast<VJSONGraph*>(inGraph);
	if (static_cast<int64>(graph->fInternalRefs) + 1 != graph->GetTotalReferences())
		return false;
	// The reference being released is the only one from outside: every
	// member is reachable only through the graph.
	graph->Retain();
	std::vector<VJSONObject*> objects;
	std::vector<VJSONArray*> arrays;
	graph->_TakeMembers(objects, arrays);
	graph->fTotalRefs.store(0, std::memory_order_relaxed);
	graph->fInternalRefs = 0;
	_Dissolve(objects, arrays);
	graph->Release();
	return true;
}

void VJSONGraph::_Dissolve(const std::vector<VJSONObject*>& inObjects, const std::vector<VJSONArray*>& inArrays)
{
	// Every member is kept alive until all of them are emptied.
	for (VJSONObject* object : inObjects) {
		object->_SetGraph(nullptr);
		object->Retain();
	}
	for (VJSONArray* array : inArrays) {
		array->_SetGraph(nullptr);
		array->Retain();
	}
	for (VJSONObject* object : inObjects)
		object->ClearFromGraph();
	for (VJSONArray* array : inArrays)
		array->ClearFromGraph();
	for (VJSONObject* object : inObjects)
		object->Release();
	for (VJSONArray* array : inArrays)
		array->Release();
}

void VJSONGraph::ReleaseObjectDependenciesIfNecessary(VJSONObject* inObject)
{
	_ReleaseMemberDependenciesIfNecessary(inObject);
}

void VJSONGraph::ReleaseArrayDependenciesIfNecessary(VJSONArray* inArray)
{
	_ReleaseMemberDependenciesIfNecessary(inArray);
}

void VJSONGraph::_ReleaseMemberDependenciesIfNecessary(VJSONContainer* inMember)
{
	// Only when the one reference from outside is about to go.
	VJSONGraph* graph = inMember->_GetGraph();
	if (graph == nullptr || inMember->fContainerRefs == 0 ||
		inMember->GetRefCount() != inMember->fContainerRefs + 1)
		return;
	std::vector<VJSONObject*> objects;
	std::vector<VJSONArray*> arrays;
	std::set<VJSONContainer*> seen;
	int32 visits = 0;
	bool repeat = false;
	_Walk(inMember, objects, arrays, seen, visits, repeat);
	if (repeat)
		ReleaseDependenciesIfNecessary(graph, objects, arrays, visits);
}

void VJSONGraph::_Walk(VJSONContainer* inContainer, std::vector<VJSONObject*>& ioObjects,
					   std::vector<VJSONArray*>& ioArrays, std::set<VJSONContainer*>& ioSeen, int32& ioVisits,
					   bool& ioRepeat)
{
	++ioVisits;
	if (!ioSeen.insert(inContainer).second) {
		ioRepeat = true;
		return;
	}
	if (inContainer->_IsArray())
		ioArrays.push_back(static_cast<VJSONArray*>(inContainer));
	else
		ioObjects.push_back(static_cast<VJSONObject*>(inContainer));
	ForEachChild(inContainer, [&](VJSONContainer* inChild) {
		_Walk(inChild, ioObjects, ioArrays, ioSeen, ioVisits, ioRepeat);
	});
}

void VJSONGraph::ReleaseDependenciesIfNecessary(IRefCountable* inGraph, const std::vector<VJSONObject*>& inObjects,
												const std::vector<VJSONArray*>& inArrays, int32 inVisits)
{
	int64 sum = 0;
	for (VJSONObject* object : inObjects)
		sum += object->GetRefCount();
	for (VJSONArray* array : inArrays)
		sum += array->GetRefCount();
	// Every reference to the subtree comes from inside it, plus the one
	// going out.
	if (sum == inVisits)
		_Break(static_cast<VJSONGraph*>(inGraph), inObjects, inArrays);
}

void VJSONGraph::_Break(VJSONGraph* inGraph, const std::vector<VJSONObject*>& inObjects,
						const std::vector<VJSONArray*>& inArrays)
{
	inGraph->Retain();
	// The subtree's counts leave the graph with it, so that the whole-graph
	// rule stays true for the members that remain.
	uint32 links = 0;
	auto leave = [&](VJSONContainer* inMember) {
		inGraph->_AddTotal(-static_cast<int32>(inMember->GetRefCount()));
		ForEachChild(inMember, [&](VJSONContainer*) { ++links; });
	};
	for (VJSONObject* object : inObjects)
		leave(object);
	for (VJSONArray* array : inArrays)
		leave(array);
	inGraph->fInternalRefs -= links;
	for (VJSONObject* object : inObjects)
		inGraph->_RemoveMember(object);
	for (VJSONArray* array : inArrays)
		inGraph->_RemoveMember(array);
	_Dissolve(inObjects, inArrays);
	inGraph->Release();
}

} // namespace qirn
