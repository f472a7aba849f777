#include "core/VValueInfo.h"

#include <map>
#include <mutex>
#include <shared_mutex>

namespace qirn {

namespace {

// Made on first use and never freed: descriptors are static objects whose
// destructors run at exit in any order. The base class's descriptor
// registers itself the first time a value asks for it, while other threads
// may be creating values by kind, so lookups and changes share a lock.
struct Registry {
	std::shared_mutex fLock;
	std::map<uint16, const VValueInfo*> fInfos;
};

Registry& GetRegistry()
{
	static Registry* sRegistry = new Registry;
	return *sRegistry;
}

} // namespace

VValueInfo::VValueInfo(uint16 inKind) : VValueInfo(inKind, inKind) {}

VValueInfo::VValueInfo(uint16 inKind, uint16 inTrueKind) : fKind(inKind), fTrueKind(inTrueKind)
{
	VValue::RegisterValueInfo(this);
}

VValueInfo::~VValueInfo()
{
	VValue::UnregisterValueInfo(this);
}

CompareResult VValueInfo::CompareTwoPtrToData(const void*, const void*, bool) const
{
	return CR_EQUAL;
}

CompareResult VValueInfo::CompareTwoPtrToDataBegining(const void*, const void*, bool) const
{
	return CR_EQUAL;
}

CompareResult VValueInfo::CompareTwoPtrToDataWithOptions(const void*, const void*, const VCompareOptions&) const
{
	return CR_EQUAL;
}

VSize VValueInfo::GetSizeOfValueDataPtr(const void*) const
{
	return 0;
}

VSize VValueInfo::GetAvgSpace() const
{
	return 0;
}

// ---------------------------------------------------------------------------
// The registry, reached through VValue.

void VValue::RegisterValueInfo(const VValueInfo* inInfo)
{
	Registry& registry = GetRegistry();
	std::unique_lock lock(registry.fLock);
	registry.fInfos[inInfo->GetTrueKind()] = inInfo;
}

void VValue::UnregisterValueInfo(const VValueInfo* inInfo)
{
	Registry& registry = GetRegistry();
	std::unique_lock lock(registry.fLock);
	registry.fInfos.erase(inInfo->GetTrueKind());
}

const VValueInfo* VValue::ValueInfoFromValueKind(uint16 inKind)
{
	Registry& registry = GetRegistry();
	std::shared_lock lock(registry.fLock);
	auto found = registry.fInfos.find(inKind);
	return found != registry.fInfos.end() ? found->second : nullptr;
}

VValue* VValue::NewValueFromValueKind(uint16 inKind)
{
	const VValueInfo* info = ValueInfoFromValueKind(inKind);
	return info != nullptr ? info->Generate() : nullptr;
}

} // namespace qirn
