#pragma once

#include "core/VString.h"
#include "json/VJSONContainer.h"
#include "json/VJSONValue.h"

#include <atomic>
#include <set>
#include <vector>

namespace qirn {

class VCompareOptions;
class VJSONCloner;

// Orders values for VJSONArray::Sort: a strict "less".
class IJSONValueComparator {
public:
	virtual ~IJSONValueComparator() = default;
	virtual bool IsLessThan(const VJSONValue& inA, const VJSONValue& inB) = 0;
};

// The reference-counted JSON array: an ordered vector of values that takes
// part in the graph bookkeeping, shareable between tasks under a storage
// locker. Changes to a shared array need the use of its locker.
class VJSONArray : public VJSONContainer {
public:
	// With inShared, the array gets a new fresh locker of its own.
	explicit VJSONArray(bool inShared = false);
	explicit VJSONArray(VStorageLocker* inLocker);

	size_t GetCount() const;
	// A copy of the value and true; beyond the end undefined and false.
	bool GetAt(size_t inIndex, VJSONValue& outValue) const;
	VJSONValue GetAt(size_t inIndex) const;
	void GetValues(std::vector<VJSONValue>& outValues) const;

	bool Push(const VJSONValue& inValue);
	// What a reader building a new tree calls for each element: a scalar is
	// moved in when nobody shares the array, else pushed as Push does.
	bool _PushParsed(VJSONValue&& ioValue);
	// New elements are copies of one value of the kind: for objects and
	// arrays, all refer to the same new container.
	bool Resize(size_t inCount, JSONType inType);
	void SwapValues(std::vector<VJSONValue>& ioValues);
	bool SetAt(size_t inIndex, const VJSONValue& inValue, bool inExpand = false);
	void RemoveAt(size_t inIndex, size_t inCount = 1);
	void Clear();
	bool Sort(IJSONValueComparator* inComparator);
	bool Concatenate(const VJSONArray& inOther);
	// A copy through the cloner; a shared array stays itself in its mode 1.
	VError Clone(VJSONValue& outValue, VJSONCloner& ioCloner) const;

	// The elements' texts joined by inSeparator; empty texts only with
	// inKeepEmpty, null and undefined as "null" only with inKeepNull.
	void JoinAsString(const VString& inSeparator, VString& outText, bool inKeepEmpty, bool inKeepNull) const;
	// {"ranges": [{"start", "end"}...]}: the runs of rows that the selection
	// array holds.
	VJSONValue GetSelectedRows(const VJSONValue& inSelection) const;
	// Nested arrays flatten into comma-joined text; an array met again
	// fails with 900 and leaves the text as it was.
	VError GetString(VString& outString, std::set<const VJSONArray*>* ioVisited = nullptr) const;
	bool DeepEqualTo(const VJSONArray* inOther, const VCompareOptions& inOptions) const;
	bool _DeepEqualTo(const VJSONArray* inOther, const VCompareOptions& inOptions, VJSONDeepEqualPairs& ioPairs) const;

	uint32 GetStampAt(size_t inIndex) const;
	void TouchStampAt(size_t inIndex);

	// Drops the links of the elements from inFrom on; nothing is removed.
	void DisconnectAll(size_t inFrom);
	void ClearFromGraph() override;
	void _DropValuesFromGraph() override;
	void _GetChildValues(void (*inFn)(const VJSONValue&, void*), void* inContext) const override;
	// The elements without locks, for readers that hold them or read an
	// array nobody shares.
	const std::vector<VJSONValue>& _GetValues() const { return fValues; }

	// A leak counter for debugging: arrays made and destroyed by the task.
	static std::atomic<int32> sTaskToMonitor;
	static std::atomic<int32> sTaskCounter;

protected:
	~VJSONArray() override;

private:
	bool _CheckInUse() const;
	bool _Accepts(const VJSONValue& inValue);
	// Takes the elements from inFrom to inTo out, each leaving the graph
	// before it is released.
	void _Remove(size_t inFrom, size_t inTo);
	void _TouchStamp();

	std::vector<VJSONValue> fValues;
	[[maybe_unused]] int32 fMonitoredTask = 0;
};

} // namespace qirn
