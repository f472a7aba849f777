#include "runtime/VMetricsManager.h"

#include "json/VJSONArray.h"
#include "json/VJSONCloner.h"
#include "json/VJSONObject.h"

namespace qirn {

VMetricsManager::VMetricsManager() = default;
VMetricsManager::~VMetricsManager() = default;

void VMetricsManager::Start(uint64 inMinDuration, uint32 inKinds)
{
	StLocker<VCriticalSection> lock(fLock);
	fMinDuration.store(inMinDuration, std::memory_order_relaxed);
	fKinds.store(inKinds, std::memory_order_relaxed);
}

void VMetricsManager::Push(EMetricsKind inKind, uint64 inDuration, VJSONObject* inData)
{
	if (inDuration < fMinDuration.load(std::memory_order_relaxed))
		return;
	if ((fKinds.load(std::memory_order_relaxed) & (1u << (inKind & 31))) == 0)
		return;
	StLocker<VCriticalSection> lock(fLock);
	fRecords.push_back(Record{inKind, inDuration});
	fData.emplace_back(inData);
}

void VMetricsManager::Reset()
{
	StLocker<VCriticalSection> lock(fLock);
	fKinds.store(0, std::memory_order_relaxed);
	fRecords.clear();
	while (!fData.empty())
		fData.pop_back();
}

VRefPtr<VJSONArray> VMetricsManager::Collect() const
{
	static const VString sKind("activityKind");
	static const VString sDuration("activityDuration");
	static const VString sData("activityData");
	VRefPtr<VJSONArray> result = VRefPtr<VJSONArray>::Adopt(new VJSONArray());
	StLocker<VCriticalSection> lock(fLock);
	VJSONCloner cloner;
	for (size_t i = 0; i < fRecords.size(); ++i) {
		const Record& record = fRecords[i];
		VJSONValue item(JSON_object);
		VJSONObject* object = item.GetObject();
		object->SetProperty(sKind, VJSONValue(static_cast<double>(static_cast<int32>(1u << (record.fKind & 31)))));
		object->SetProperty(sDuration, VJSONValue(static_cast<double>(record.fDuration) / 1000.0));
		if (fData[i]) {
			VJSONValue data(fData[i].Get());
			cloner.CloneValue(data);
			object->SetProperty(sData, data);
		}
		result->Push(item);
	}
	return result;
}

std::vector<VMetricsManager::Record> VMetricsManager::GetRecords() const
{
	StLocker<VCriticalSection> lock(fLock);
	return fRecords;
}

} // namespace qirn
