#include "json/VJSONArray.h"

#include "core/VCompareOptions.h"
#include "json/VJSONCloner.h"
#include "json/VJSONErrors.h"
#include "json/VJSONGraph.h"
#include "json/VJSONObject.h"
#include "json/VJSONStamp.h"
#include "json/VStorageLocker.h"
#include "runtime/VError.h"
#include "runtime/VTaskMgr.h"

#include <algorithm>
#include <iterator>

namespace qirn {

std::atomic<int32> VJSONArray::sTaskToMonitor{0};
std::atomic<int32> VJSONArray::sTaskCounter{0};

namespace {

bool IsMonitoredTask()
{
	int32 task = VJSONArray::sTaskToMonitor.load(std::memory_order_relaxed);
	return task != 0 && task == VTaskMgr::GetCurrentTaskID();
}

} // namespace

VJSONArray::VJSONArray(bool inShared) : VJSONArray(static_cast<VStorageLocker*>(nullptr))
{
	if (inShared)
		fLocker.store(new VStorageLocker(false, true), std::memory_order_release);
}

VJSONArray::VJSONArray(VStorageLocker* inLocker) : VJSONContainer(true)
{
	if (inLocker != nullptr) {
		inLocker->Retain();
		fLocker.store(inLocker, std::memory_order_release);
	}
	if (IsMonitoredTask())
		sTaskCounter.fetch_add(1, std::memory_order_relaxed);
}

VJSONArray::~VJSONArray()
{
	_LeaveGraph();
	if (IsMonitoredTask())
		sTaskCounter.fetch_sub(1, std::memory_order_relaxed);
}

void VJSONArray::_GetChildValues(void (*inFn)(const VJSONValue&, void*), void* inContext) const
{
	for (const VJSONValue& value : fValues)
		inFn(value, inContext);
}

void VJSONArray::ClearFromGraph()
{
	_DisconnectAll();
	std::vector<VJSONValue> values;
	values.swap(fValues);
}

void VJSONArray::_DropValuesFromGraph()
{
	_Remove(0, fValues.size());
}

void VJSONArray::_Remove(size_t inFrom, size_t inTo)
{
	if (inFrom >= inTo)
		return;
	std::vector<VJSONValue> removed(std::make_move_iterator(fValues.begin() + static_cast<ptrdiff_t>(inFrom)),
									std::make_move_iterator(fValues.begin() + static_cast<ptrdiff_t>(inTo)));
	fValues.erase(fValues.begin() + static_cast<ptrdiff_t>(inFrom), fValues.begin() + static_cast<ptrdiff_t>(inTo));
	// Last to first, each leaving the graph while it is still held.
	while (!removed.empty()) {
		VJSONValue value = std::move(removed.back());
		removed.pop_back();
		VJSONGraph::Disconnect(_GetGraph(), value);
	}
}

void VJSONArray::DisconnectAll(size_t inFrom)
{
	uint32 links = 0;
	for (size_t i = inFrom; i < fValues.size(); ++i) {
		if (VJSONContainer* child = FromValue(fValues[i]); child != nullptr) {
			child->_DropContainerRef();
			++links;
		}
	}
	if (VJSONGraph* graph = _GetGraph(); graph != nullptr)
		graph->_LowerInternal(links);
}

bool VJSONArray::_CheckInUse() const
{
	VStorageLocker* locker = _GetStorageLocker();
	if (locker == nullptr || locker->IsUsedByCurrentTask())
		return true;
	_ThrowError(VE_JSON_ARRAY_NOT_IN_USE);
	return false;
}

bool VJSONArray::_Accepts(const VJSONValue& inValue)
{
	VStorageLocker* locker = _GetStorageLocker();
	if (locker == nullptr || FromValue(inValue) == nullptr)
		return true;
	return VStorageLocker::Assign(this, locker, inValue);
}

void VJSONArray::_TouchStamp()
{
	if (fStamp != nullptr)
		fStamp->Touch();
}

// ---------------------------------------------------------------------------
// Reading

size_t VJSONArray::GetCount() const
{
	VJSONReadLock lock(_GetStorageLocker());
	return fValues.size();
}

bool VJSONArray::GetAt(size_t inIndex, VJSONValue& outValue) const
{
	VJSONReadLock lock(_GetStorageLocker());
	if (inIndex >= fValues.size()) {
		outValue.SetUndefined();
		return false;
	}
	outValue = fValues[inIndex];
	return true;
}

VJSONValue VJSONArray::GetAt(size_t inIndex) const
{
	VJSONValue value(JSON_undefined);
	GetAt(inIndex, value);
	return value;
}

void VJSONArray::GetValues(std::vector<VJSONValue>& outValues) const
{
	VJSONReadLock lock(_GetStorageLocker());
	outValues = fValues;
}

uint32 VJSONArray::GetStampAt(size_t inIndex) const
{
	VJSONReadLock lock(_GetStorageLocker());
	return inIndex < fValues.size() ? fValues[inIndex].GetStamp() : 0;
}

void VJSONArray::TouchStampAt(size_t inIndex)
{
	VJSONReadLock lock(_GetStorageLocker());
	if (inIndex < fValues.size())
		fValues[inIndex]._NewStamp();
}

// ---------------------------------------------------------------------------
// Changing

bool VJSONArray::_PushParsed(VJSONValue&& ioValue)
{
	if (ioValue.IsObject() || ioValue.IsArray() || _GetStorageLocker() != nullptr || IsSharedGraph())
		return Push(ioValue);
	_TouchStamp();
	fValues.push_back(std::move(ioValue));
	return true;
}

bool VJSONArray::Push(const VJSONValue& inValue)
{
	// A scalar into an array nobody shares: no lock, no locker, no graph.
	if (!inValue.IsObject() && !inValue.IsArray() && _GetStorageLocker() == nullptr && !IsSharedGraph()) {
		_TouchStamp();
		fValues.push_back(inValue);
		return true;
	}
	VJSONReadWriteLock lock(_GetStorageLocker(), _MustLockGraphForChange(&inValue));
	if (!_CheckInUse() || !_Accepts(inValue))
		return false;
	VJSONValue::CheckAndUpdateJsonStamp(inValue, fStamp);
	fValues.push_back(inValue);
	VJSONGraph::Connect(this, inValue);
	return true;
}

bool VJSONArray::Resize(size_t inCount, JSONType inType)
{
	VJSONReadWriteLock lock(_GetStorageLocker(), _MustLockGraphForChange(nullptr));
	if (!_CheckInUse())
		return false;
	const size_t count = fValues.size();
	if (inCount > count) {
		VJSONValue model(inType);
		// A new container in a shared array shares its locker.
		if (VJSONContainer* container = FromValue(model); container != nullptr && _GetStorageLocker() != nullptr)
			container->_SetStorageLocker(_GetStorageLocker());
		if (FromValue(model) == nullptr) {
			fValues.resize(inCount, model);
		} else {
			// One link at a time: a connection counts the links already
			// stored, so none may be stored ahead of its own.
			fValues.reserve(inCount);
			for (size_t i = count; i < inCount; ++i) {
				fValues.push_back(model);
				VJSONGraph::Connect(this, fValues.back());
			}
		}
	} else {
		_Remove(inCount, count);
	}
	_TouchStamp();
	return true;
}

void VJSONArray::SwapValues(std::vector<VJSONValue>& ioValues)
{
	VJSONReadWriteLock lock(_GetStorageLocker(), _MustLockGraphForChange(nullptr));
	if (!_CheckInUse())
		return;
	_Remove(0, fValues.size());
	for (VJSONValue& value : ioValues) {
		fValues.push_back(std::move(value));
		VJSONGraph::Connect(this, fValues.back());
	}
	ioValues.clear();
}

bool VJSONArray::SetAt(size_t inIndex, const VJSONValue& inValue, bool inExpand)
{
	VJSONReadWriteLock lock(_GetStorageLocker(), _MustLockGraphForChange(&inValue));
	if (!_CheckInUse() || !_Accepts(inValue))
		return false;
	if (inExpand && inIndex >= fValues.size())
		fValues.resize(inIndex + 1, VJSONValue(JSON_null));
	if (inIndex >= fValues.size()) {
		_ThrowError(VE_JSON_ARRAY_INDEX_BEYOND_END);
		return false;
	}
	VJSONValue::CheckAndUpdateJsonStamp(inValue, fStamp);
	VJSONValue old = std::move(fValues[inIndex]);
	fValues[inIndex] = inValue;
	VJSONGraph::Connect(this, inValue);
	VJSONGraph::Disconnect(_GetGraph(), old);
	return true;
}

void VJSONArray::RemoveAt(size_t inIndex, size_t inCount)
{
	VJSONReadWriteLock lock(_GetStorageLocker(), _MustLockGraphForChange(nullptr));
	if (!_CheckInUse() || inIndex >= fValues.size())
		return;
	_Remove(inIndex, inIndex + std::min(inCount, fValues.size() - inIndex));
	_TouchStamp();
}

void VJSONArray::Clear()
{
	VJSONReadWriteLock lock(_GetStorageLocker(), _MustLockGraphForChange(nullptr));
	if (!_CheckInUse())
		return;
	_TouchStamp();
	// Each element leaves as a removed one does: a cycle that only this array
	// reached is broken now rather than when the array goes.
	_Remove(0, fValues.size());
}

bool VJSONArray::Sort(IJSONValueComparator* inComparator)
{
	VJSONReadWriteLock lock(_GetStorageLocker(), _MustLockGraphForChange(nullptr));
	if (!_CheckInUse())
		return false;
	if (inComparator == nullptr) {
		_ThrowError(VE_JSON_SORT_FAILED);
		return false;
	}
	std::vector<size_t> order(fValues.size());
	for (size_t i = 0; i < order.size(); ++i)
		order[i] = i;
	// A merge sort never reads outside the range, even under a comparator
	// that is no strict order.
	std::stable_sort(order.begin(), order.end(), [&](size_t inA, size_t inB) {
		return inComparator->IsLessThan(fValues[inA], fValues[inB]);
	});
	std::vector<VJSONValue> sorted;
	sorted.reserve(fValues.size());
	for (size_t index : order)
		sorted.push_back(std::move(fValues[index]));
	fValues.swap(sorted);
	_TouchStamp();
	return true;
}

bool VJSONArray::Concatenate(const VJSONArray& inOther)
{
	std::vector<VJSONValue> values;
	inOther.GetValues(values);
	if (values.empty())
		return true;
	VJSONReadWriteLock lock(_GetStorageLocker(), true);
	if (!_CheckInUse())
		return false;
	for (const VJSONValue& value : values) {
		if (!_Accepts(value))
			return false;
		VJSONValue::CheckAndUpdateJsonStamp(value, fStamp);
		fValues.push_back(value);
		VJSONGraph::Connect(this, value);
	}
	return true;
}

VError VJSONArray::Clone(VJSONValue& outValue, VJSONCloner& ioCloner) const
{
	if (ioCloner.GetMode() == VJSONCloner::kModeKeepShared && _GetStorageLocker() != nullptr) {
		outValue.SetArray(const_cast<VJSONArray*>(this));
		return VE_OK;
	}
	VRefPtr<VJSONArray> clone = VRefPtr<VJSONArray>::Adopt(new VJSONArray(
		ioCloner.GetMode() == VJSONCloner::kModeOneLocker ? ioCloner.GetStorageLockerAndAssignIfNecessary() : nullptr));
	VJSONUser user(clone.Get(), false);
	outValue.SetArray(clone.Get());
	std::vector<VJSONValue> values;
	GetValues(values);
	for (VJSONValue& value : values) {
		if (VError error = ioCloner.CloneValue(value); error != VE_OK)
			return error;
		clone->Push(value);
	}
	return VE_OK;
}

// ---------------------------------------------------------------------------
// Texts and selections

VError VJSONArray::GetString(VString& outString, std::set<const VJSONArray*>* ioVisited) const
{
	VJSONReadLock lock(_GetStorageLocker());
	if (fValues.empty()) {
		outString.Clear();
		return VE_OK;
	}
	std::set<const VJSONArray*> visited;
	std::set<const VJSONArray*>& arrays = ioVisited != nullptr ? *ioVisited : visited;
	if (!arrays.insert(this).second) {
		_ThrowError(VE_JSON_CIRCULAR);
		return VE_JSON_CIRCULAR;
	}
	std::vector<VString> texts(fValues.size());
	VError error = VE_OK;
	for (size_t i = 0; i < fValues.size() && error == VE_OK; ++i)
		error = fValues[i].GetString(texts[i], &arrays);
	arrays.erase(this);
	if (error != VE_OK)
		return error;
	VString joined;
	if (!joined.Join(texts, u',')) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return VE_STRING_ALLOC_FAILED;
	}
	outString.FromString(joined);
	return VE_OK;
}

void VJSONArray::JoinAsString(const VString& inSeparator, VString& outText, bool inKeepEmpty, bool inKeepNull) const
{
	outText.Clear();
	VJSONUser user(this, false);
	std::vector<VJSONValue> values;
	GetValues(values);
	bool first = true;
	auto append = [&](const VString& inItem) {
		if (!first)
			outText.AppendString(inSeparator);
		outText.AppendString(inItem);
		first = false;
	};
	for (const VJSONValue& value : values) {
		if (value.IsNull() || value.IsUndefined()) {
			if (inKeepNull)
				append(VJSONValue::sNullString);
			continue;
		}
		VString text;
		value.GetString(text);
		if (inKeepEmpty || !text.IsEmpty())
			append(text);
	}
}

VJSONValue VJSONArray::GetSelectedRows(const VJSONValue& inSelection) const
{
	VJSONValue result(JSON_object);
	VJSONValue ranges(JSON_array);
	result.GetObject()->SetProperty(VString("ranges"), ranges);
	VJSONArray* selection = inSelection.GetArray();
	if (selection == nullptr)
		return result;
	VJSONUser user(this, false);
	VJSONUser selectionUser(selection, false);
	std::vector<VJSONValue> rows;
	std::vector<VJSONValue> selected;
	GetValues(rows);
	selection->GetValues(selected);
	VCompareOptions options;
	options.SetEpsilon(1e-06);
	auto isSelected = [&](const VJSONValue& inRow) {
		for (const VJSONValue& candidate : selected) {
			if (inRow.IsObject() ? candidate.GetObject() == inRow.GetObject() : inRow.CompareTo(candidate, options) == 0)
				return true;
		}
		return false;
	};
	static const VString sStart("start");
	static const VString sEnd("end");
	auto addRange = [&](size_t inStart, size_t inEnd) {
		VJSONValue range(JSON_object);
		range.GetObject()->SetProperty(sStart, VJSONValue(static_cast<double>(inStart)));
		range.GetObject()->SetProperty(sEnd, VJSONValue(static_cast<double>(inEnd)));
		ranges.GetArray()->Push(range);
	};
	bool inRange = false;
	size_t start = 0;
	for (size_t i = 0; i < rows.size(); ++i) {
		bool hit = isSelected(rows[i]);
		if (hit && !inRange) {
			start = i;
			inRange = true;
		} else if (!hit && inRange) {
			addRange(start, i - 1);
			inRange = false;
		}
	}
	if (inRange)
		addRange(start, rows.size() - 1);
	return result;
}

bool VJSONArray::DeepEqualTo(const VJSONArray* inOther, const VCompareOptions& inOptions) const
{
	VJSONDeepEqualPairs pairs;
	return _DeepEqualTo(inOther, inOptions, pairs);
}

bool VJSONArray::_DeepEqualTo(const VJSONArray* inOther, const VCompareOptions& inOptions,
							  VJSONDeepEqualPairs& ioPairs) const
{
	if (bool equal = false; _DeepEqualSettled(inOther, ioPairs, equal))
		return equal;
	VJSONReadLock lock(_GetStorageLocker());
	VJSONReadLock otherLock(inOther->_GetStorageLocker());
	if (fValues.size() != inOther->fValues.size())
		return false;
	for (size_t i = 0; i < fValues.size(); ++i) {
		if (!fValues[i]._DeepEqualTo(inOther->fValues[i], inOptions, ioPairs))
			return false;
	}
	return true;
}

} // namespace qirn
