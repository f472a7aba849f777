#include "runtime/VMetricsManager.h"

namespace qirn {

void VMetricsManager::Start(uint64 inMinDuration, uint32 inKinds)
{
	StLocker<VCriticalSection> lock(fLock);
	fMinDuration.store(inMinDuration, std::memory_order_relaxed);
	fKinds.store(inKinds, std::memory_order_relaxed);
}

void VMetricsManager::Push(EMetricsKind inKind, uint64 inDuration)
{
	if (inDuration < fMinDuration.load(std::memory_order_relaxed))
		return;
	if ((fKinds.load(std::memory_order_relaxed) & (1u << (inKind & 31))) == 0)
		return;
	StLocker<VCriticalSection> lock(fLock);
	fRecords.push_back(Record{inKind, inDuration});
}

void VMetricsManager::Reset()
{
	StLocker<VCriticalSection> lock(fLock);
	fKinds.store(0, std::memory_order_relaxed);
	fRecords.clear();
}

std::vector<VMetricsManager::Record> VMetricsManager::GetRecords() const
{
	StLocker<VCriticalSection> lock(fLock);
	return fRecords;
}

} // namespace qirn
