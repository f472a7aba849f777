#pragma once

#include "core/XMemCppImpl.h"

namespace qirn {

// Single-mode back end: every request goes straight to the C allocator.
class VMemCppImpl_stdlib final : public XMemCppImpl {
public:
	void Init(VCppMemMgr*) override {}
	void* Malloc(size_t inSize, uint8 inPage, uint8 inFlag, int32 inTag) override;
	void Free(void* inBlock) override;
	void* Realloc(void* inBlock, size_t inNewSize) override;
	size_t GetPtrSize(const void* inBlock) override;
	bool CheckPtr(const void*) override { return true; }
	bool Check(void*) override { return true; }
	bool AddAllocation(size_t, const void*, uint8) override { return false; }
	int32 CountAllocations() override { return 1; }
	void SetAutoAllocationState(bool) override {}
	void GetStats(VMemStats&, int16) override {}
	uint64 GetTotalAllocation() override { return kReportedAllocation; }
	void GetMemUsageInfo(size_t& outAllocated, size_t& outUsed) override;

	// The C allocator has no notion of a total: callers get a fixed figure.
	static constexpr uint64 kReportedAllocation = 1048576;
};

} // namespace qirn
