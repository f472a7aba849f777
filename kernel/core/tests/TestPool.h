#pragma once

// A pool back end for the memory manager's tests: blocks come from malloc
// with a small header naming their pool, and each pool serves at most a set
// number of bytes, so tests can fill pools and watch the manager rotate and
// purge.

#include "core/VCppMemMgr.h"
#include "core/XMemCppImpl.h"
#include "runtime/VSystem.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace qirn::testing {

class TestPool : public XMemCppImpl {
public:
	explicit TestPool(int32 inIndex) : fIndex(inIndex) {}

	void Init(VCppMemMgr* inManager) override { fManager = inManager; }

	void* Malloc(size_t inSize, uint8, uint8, int32) override
	{
		++fMallocCalls;
		if (fUsed + inSize > fCapacity)
			return nullptr;
		auto* header = static_cast<Header*>(std::malloc(sizeof(Header) + inSize));
		if (header == nullptr)
			return nullptr;
		header->fOwner = this;
		header->fSize = inSize;
		fUsed += inSize;
		return header + 1;
	}

	// Every block is handed to the first pool, which passes it to its owner.
	void Free(void* inBlock) override
	{
		Header* header = static_cast<Header*>(inBlock) - 1;
		header->fOwner->fUsed -= header->fSize;
		std::free(header);
	}
	void* Realloc(void*, size_t) override { return nullptr; }
	size_t GetPtrSize(const void* inBlock) override
	{
		return inBlock == nullptr ? 0 : (static_cast<const Header*>(inBlock) - 1)->fSize;
	}
	bool CheckPtr(const void*) override { return true; }
	bool Check(void*) override { return true; }
	bool AddAllocation(size_t, const void*, uint8) override { return false; }
	int32 CountAllocations() override { return static_cast<int32>(fAreas.size()); }
	void SetAutoAllocationState(bool) override {}
	void GetStats(VMemStats&, int16 inIndex) override { fStatsIndexes.push_back(inIndex); }
	uint64 GetTotalAllocation() override { return fCapacity; }
	void GetMemUsageInfo(size_t& outAllocated, size_t& outUsed) override
	{
		outAllocated = fCapacity;
		outUsed = fUsed;
	}
	bool AddAlreadyAllocatedMem(size_t inSize, void* inAddress, bool) override
	{
		if (fRefusesAreas) {
			fRefusedAreas.push_back({inAddress, inSize});
			return false;
		}
		fAreas.push_back({inAddress, inSize});
		fCapacity += inSize;
		return true;
	}
	int32 GetAllocationBlockNumber(const void* inBlock) override
	{
		return (static_cast<const Header*>(inBlock) - 1)->fOwner->fIndex;
	}

	~TestPool() override
	{
		for (const Area& area : fAreas)
			VSystem::VirtualFree(area.fAddress, area.fSize, false);
	}

	struct Area {
		void* fAddress;
		size_t fSize;
	};
	struct alignas(16) Header {
		TestPool* fOwner;
		size_t fSize;
	};

	int32 fIndex;
	VCppMemMgr* fManager = nullptr;
	size_t fCapacity = 0;
	size_t fUsed = 0;
	std::atomic<int> fMallocCalls{0};
	std::vector<Area> fAreas;
	// Set to make the pool turn areas down; they are recorded, not freed.
	bool fRefusesAreas = false;
	std::vector<Area> fRefusedAreas;
	std::vector<int16> fStatsIndexes;
};

// Installs a pool class as the pool factory for a scope and records the pools
// it makes.
template <class PoolClass>
class StPoolFactory {
public:
	StPoolFactory() { fPrevious = VCppMemMgr::SetPoolFactory(&Make); sMade.clear(); }
	~StPoolFactory() { VCppMemMgr::SetPoolFactory(fPrevious); }
	StPoolFactory(const StPoolFactory&) = delete;
	StPoolFactory& operator=(const StPoolFactory&) = delete;
	static PoolClass* Pool(int32 inIndex) { return sMade.at(inIndex); }
	static const std::vector<PoolClass*>& Pools() { return sMade; }

private:
	static XMemCppImpl* Make(int32 inIndex)
	{
		auto* pool = new PoolClass(inIndex);
		sMade.push_back(pool);
		return pool;
	}
	VCppMemMgr::PoolFactoryProc fPrevious;
	static inline std::vector<PoolClass*> sMade;
};

using StTestPools = StPoolFactory<TestPool>;

} // namespace qirn::testing
