#pragma once

#include "core/VKernelTypes.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "runtime/VCriticalSection.h"

#include <atomic>
#include <vector>

namespace qirn {

class VJSONArray;
class VJSONObject;

// A kind of timed activity; only the low five bits count, as a bit position
// in the mask of collected kinds.
enum EMetricsKind : uint32 {
	kMetricsKindProgressIndicator = 2,
};

// Collects timed activity records while collection is on. Nothing is
// collected until Start.
class VMetricsManager : public VObject {
public:
	struct Record {
		EMetricsKind fKind;
		uint64 fDuration; // milliseconds
	};

	// Out of line: the records' data are JSON objects, complete only there.
	VMetricsManager();
	~VMetricsManager() override;

	VMetricsManager(const VMetricsManager&) = delete;
	VMetricsManager& operator=(const VMetricsManager&) = delete;

	// Collects the kinds whose bits are set in inKinds, when they last at
	// least inMinDuration milliseconds.
	void Start(uint64 inMinDuration, uint32 inKinds);
	// Keeps a record when its kind is collected and it lasted long enough.
	// The tests run before the lock: a push racing with Start or Reset may be
	// kept or dropped.
	void Push(EMetricsKind inKind, uint64 inDuration, VJSONObject* inData = nullptr);
	// Whether records of the kind are collected: callers skip describing an
	// activity nobody keeps.
	bool IsCollecting(EMetricsKind inKind) const
	{
		return (fKinds.load(std::memory_order_relaxed) & (1u << (inKind & 31))) != 0;
	}
	// Stops collection and forgets the records; the minimum duration stays.
	void Reset();
	// The records as JSON, oldest first: "activityKind" (1 << kind),
	// "activityDuration" (seconds) and a copy of the data as "activityData",
	// so that later changes to a pushed object do not show. The records stay.
	VRefPtr<VJSONArray> Collect() const;
	// The records so far, oldest first; they stay.
	std::vector<Record> GetRecords() const;

private:
	mutable VCriticalSection fLock;
	std::vector<Record> fRecords;
	// Each record's description, or none, at the record's index.
	std::vector<VRefPtr<VJSONObject>> fData;
	std::atomic<uint64> fMinDuration{0};
	std::atomic<uint32> fKinds{0};
};

} // namespace qirn
