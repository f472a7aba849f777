#include "json/VJSONContainer.h"

#include "json/VJSONArray.h"
#include "json/VJSONGraph.h"
#include "json/VJSONObject.h"
#include "json/VJSONStamp.h"
#include "json/VStorageLocker.h"

#include <set>

namespace qirn {

VJSONContainer::~VJSONContainer()
{
	if (VStorageLocker* locker = fLocker.exchange(nullptr); locker != nullptr)
		locker->Release();
	if (fStamp != nullptr)
		fStamp->Release();
}

VJSONContainer* VJSONContainer::FromValue(const VJSONValue& inValue)
{
	if (VJSONObject* object = inValue.GetObject(); object != nullptr)
		return object;
	return inValue.GetArray();
}

bool VJSONContainer::_DeepEqualSettled(const VJSONContainer* inOther, VJSONDeepEqualPairs& ioPairs,
									   bool& outEqual) const
{
	outEqual = true;
	if (inOther == this)
		return true;
	if (inOther == nullptr) {
		outEqual = false;
		return true;
	}
	return !ioPairs.insert({this, inOther}).second;
}

uint32 VJSONContainer::Retain(const char*) const
{
	StGraphLocker lock(IsSharedGraph());
	if (VJSONGraph* graph = _GetGraph(); graph != nullptr)
		graph->_AddTotal(1);
	return IRefCountable::Retain();
}

uint32 VJSONContainer::Release(const char*) const
{
	// The count drops under the graph section too: a collection that runs
	// meanwhile reads the counts of every member.
	StGraphLocker lock(IsSharedGraph());
	if (VJSONGraph* graph = _GetGraph(); graph != nullptr && graph->HasCycle())
		VJSONGraph::ReleaseGraphDependenciesIfNecessary(graph);
	if (VJSONGraph* graph = _GetGraph(); graph != nullptr)
		graph->_AddTotal(-1);
	return IRefCountable::Release();
}

void VJSONContainer::_SetGraph(VJSONGraph* inGraph)
{
	if (inGraph != nullptr)
		inGraph->Retain();
	if (VJSONGraph* old = fGraph.exchange(inGraph); old != nullptr)
		old->Release();
}

void VJSONContainer::_DisconnectAll()
{
	uint32 links = 0;
	_GetChildValues(
		[](const VJSONValue& inValue, void* inLinks) {
			if (VJSONContainer* child = FromValue(inValue); child != nullptr) {
				--child->fContainerRefs;
				++*static_cast<uint32*>(inLinks);
			}
		},
		&links);
	if (VJSONGraph* graph = _GetGraph(); graph != nullptr)
		graph->_LowerInternal(links);
}

void VJSONContainer::_LeaveGraph()
{
	VJSONGraph* graph = _GetGraph();
	if (graph == nullptr && fMemberOf == nullptr)
		return;
	StGraphLocker lock(IsSharedGraph());
	if (fMemberOf != nullptr)
		fMemberOf->_RemoveMember(this);
	if (graph == nullptr)
		return;
	// Each held container leaves as a removed property would, so that a cycle
	// below it that only this container reached is broken now, not when the
	// rest of the graph goes.
	_DropValuesFromGraph();
	_SetGraph(nullptr);
}

bool VJSONContainer::_MustLockGraphForChange(const VJSONValue* inValue) const
{
	if (IsSharedGraph())
		return true;
	if (inValue == nullptr)
		return false;
	VJSONContainer* value = FromValue(*inValue);
	return value != nullptr && value->IsSharedGraph();
}

bool VJSONContainer::_IsSharedOrSharable() const
{
	return _GetStorageLocker() != nullptr;
}

// ---------------------------------------------------------------------------
// Sharing

VRefPtr<VStorageLocker> VJSONContainer::GetStorageLocker() const
{
	StGraphLocker lock(true);
	return VRefPtr<VStorageLocker>(_GetStorageLocker());
}

void VJSONContainer::SetStorageLocker(VStorageLocker* inLocker)
{
	StGraphLocker lock(IsSharedGraph() || inLocker != nullptr);
	_SetStorageLocker(inLocker);
}

void VJSONContainer::_SetStorageLocker(VStorageLocker* inLocker)
{
	if (inLocker == _GetStorageLocker())
		return;
	if (inLocker != nullptr)
		inLocker->Retain();
	if (VStorageLocker* old = fLocker.exchange(inLocker, std::memory_order_acq_rel); old != nullptr)
		old->Release();
}

namespace {

void SetLockerDeep(VJSONContainer* inContainer, VStorageLocker* inLocker, std::set<VJSONContainer*>& ioSeen)
{
	if (!ioSeen.insert(inContainer).second)
		return;
	inContainer->_SetStorageLocker(inLocker);
	struct Context {
		VStorageLocker* fLocker;
		std::set<VJSONContainer*>* fSeen;
	} context{inLocker, &ioSeen};
	inContainer->_GetChildValues(
		[](const VJSONValue& inValue, void* inContext) {
			auto* ctx = static_cast<Context*>(inContext);
			if (VJSONContainer* child = VJSONContainer::FromValue(inValue); child != nullptr)
				SetLockerDeep(child, ctx->fLocker, *ctx->fSeen);
		},
		&context);
}

bool CanMakeShared(const VJSONContainer* inContainer, VStorageLocker* inLocker, std::set<const VJSONContainer*>& ioSeen)
{
	if (!ioSeen.insert(inContainer).second)
		return true;
	if (VStorageLocker* locker = inContainer->_GetStorageLocker(); locker != nullptr)
		return locker == inLocker || locker->IsFresh();
	if (!inContainer->_IsArray()) {
		auto* object = static_cast<const VJSONObject*>(inContainer);
		if (IJSONObject* impl = object->GetImplementation(); impl != nullptr) {
			bool flag = false;
			return impl->IJSON_IsSharable(object, flag);
		}
	}
	struct Context {
		VStorageLocker* fLocker;
		std::set<const VJSONContainer*>* fSeen;
		bool fCan;
	} context{inLocker, &ioSeen, true};
	inContainer->_GetChildValues(
		[](const VJSONValue& inValue, void* inContext) {
			auto* ctx = static_cast<Context*>(inContext);
			if (VJSONContainer* child = VJSONContainer::FromValue(inValue); child != nullptr && ctx->fCan)
				ctx->fCan = CanMakeShared(child, ctx->fLocker, *ctx->fSeen);
		},
		&context);
	return context.fCan;
}

} // namespace

void VJSONContainer::_SetStorageLockerDeep(VStorageLocker* inLocker)
{
	std::set<VJSONContainer*> seen;
	SetLockerDeep(this, inLocker, seen);
}

bool VJSONContainer::_CanMakeShared(VStorageLocker* inLocker) const
{
	std::set<const VJSONContainer*> seen;
	return CanMakeShared(this, inLocker, seen);
}

void VJSONContainer::MakeValueSharedIfNecessary(VJSONValue& ioValue)
{
	VStorageLocker* locker = _GetStorageLocker();
	VJSONContainer* value = FromValue(ioValue);
	if (locker == nullptr || value == nullptr)
		return;
	StGraphLocker lock(true);
	if (value->_CanMakeShared(locker))
		value->_SetStorageLockerDeep(locker);
	locker->SetFresh(false);
}

bool VJSONContainer::IsSharedGraph() const
{
	if (_GetStorageLocker() != nullptr)
		return true;
	VJSONGraph* graph = _GetGraph();
	return graph != nullptr && graph->IsShared();
}

void VJSONContainer::MakeGraphShared()
{
	if (VJSONGraph* graph = _GetGraph(); graph != nullptr)
		graph->SetShared();
}

int32 VJSONContainer::GetSharedID() const
{
	VStorageLocker* locker = _GetStorageLocker();
	if (locker == nullptr)
		return 0;
	VJSONReadLock lock(locker);
	return locker->GetSharedID();
}

void VJSONContainer::SetJSONStamp(VJSONStamp* inStamp)
{
	{
		StGraphLocker lock(IsSharedGraph());
		if (inStamp == fStamp)
			return;
		if (inStamp != nullptr)
			inStamp->Retain();
		if (VJSONStamp* old = std::exchange(fStamp, inStamp); old != nullptr)
			old->Release();
	}
	_StampChanged(inStamp);
}

uint32 VJSONContainer::_GetStampCounterMakingStamp()
{
	// Under the section that guards the stamp's replacement, so that two
	// readers of a shared container make one stamp, and neither reads one
	// being released.
	StGraphLocker lock(IsSharedGraph());
	if (fStamp == nullptr)
		SetJSONStamp(VRefPtr<VJSONStamp>::Adopt(new VJSONStamp()).Get());
	return fStamp->GetCounter();
}

} // namespace qirn
