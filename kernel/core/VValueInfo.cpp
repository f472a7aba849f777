#include "core/VValueInfo.h"

#include <map>

namespace qirn {

namespace {

// The registry is made on first use and never freed: descriptors are static
// objects whose destructors run at exit in any order.
std::map<uint16, const VValueInfo*>* sRegistry = nullptr;

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
	if (sRegistry == nullptr)
		sRegistry = new std::map<uint16, const VValueInfo*>;
	(*sRegistry)[inInfo->GetTrueKind()] = inInfo;
}

void VValue::UnregisterValueInfo(const VValueInfo* inInfo)
{
	if (sRegistry != nullptr)
		sRegistry->erase(inInfo->GetTrueKind());
}

const VValueInfo* VValue::ValueInfoFromValueKind(uint16 inKind)
{
	if (sRegistry == nullptr)
		return nullptr;
	auto found = sRegistry->find(inKind);
	return found != sRegistry->end() ? found->second : nullptr;
}

VValue* VValue::NewValueFromValueKind(uint16 inKind)
{
	const VValueInfo* info = ValueInfoFromValueKind(inKind);
	return info != nullptr ? info->Generate() : nullptr;
}

} // namespace qirn
