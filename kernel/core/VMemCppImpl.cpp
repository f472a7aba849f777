#include "core/VMemCppImpl.h"

#include "core/VCppMemMgr.h"
#include "core/VMemStats.h"
#include "core/VMemToolHooks.h"
#include "core/VObject.h"
#include "core/VPageAllocationImpl.h"
#include "runtime/VSystem.h"
#include "runtime/platform/XLinuxSystem.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <typeinfo>
#include <vector>

namespace qirn {

namespace {

constexpr int32 kObjectFlag = 1;
constexpr int32 kPageFlag = 2;
constexpr int32 kFlagMask = 7;
constexpr uint64 kSizeLimit = uint64(1) << 31;
constexpr size_t kAllocationOverhead = 64;
constexpr size_t kListedUpTo = 1048553;
constexpr int32 kHugeList = 1025;
constexpr uint64 kMinSplitRest = 8192;
constexpr size_t kMinAutoBlock = 20970432;
constexpr size_t kAutoExtra = 1088;

// A free big block keeps the links of its list in its data.
struct FreeLinks {
	VMemBigBlock* fNext;
	VMemBigBlock* fPrevious;
};

FreeLinks& LinksOf(VMemBigBlock* inBlock)
{
	return *reinterpret_cast<FreeLinks*>(inBlock + 1);
}

bool IsFree(const VMemBigBlock* inBlock)
{
	return inBlock->fSize < 0;
}

uint64 SizeOf(const VMemBigBlock* inBlock)
{
	return inBlock->fSize < 0 ? static_cast<uint64>(-static_cast<int64>(inBlock->fSize))
							  : static_cast<uint64>(inBlock->fSize & ~kFlagMask);
}

VMemBigBlock* BlockAt(void* inAddress)
{
	return static_cast<VMemBigBlock*>(inAddress);
}

VMemBigBlock* After(VMemBigBlock* inBlock, uint64 inSize)
{
	return BlockAt(reinterpret_cast<char*>(inBlock) + inSize);
}

VMemBigBlock* Before(VMemBigBlock* inBlock)
{
	return BlockAt(reinterpret_cast<char*>(inBlock) - inBlock->fPreviousDistance);
}

VMemBigBlock* BigBlockOf(const void* inBlock)
{
	return const_cast<VMemBigBlock*>(static_cast<const VMemBigBlock*>(inBlock) - 1);
}

size_t RoundUp(size_t inSize, size_t inStep)
{
	return (inSize + inStep - 1) / inStep * inStep;
}

size_t AreaSize(const VMemImplAllocation* inAllocation)
{
	return static_cast<size_t>(inAllocation->fUsableSize) + kAllocationOverhead;
}

// The next block starts there, or the carved prefix ends there.
void SetDistanceAfter(VMemImplAllocation* inAllocation, VMemBigBlock* inBlock, uint64 inSize)
{
	VMemBigBlock* next = After(inBlock, inSize);
	if (reinterpret_cast<char*>(next) < inAllocation->UsedEnd())
		next->fPreviousDistance = static_cast<uint32>(inSize);
	else
		inAllocation->fLastBlockSize = inSize;
}

// A block marked as holding an object is read as one.
std::string ClassNameOf(void* inData)
{
	const VObject* object = static_cast<const VObject*>(inData);
	return XLinuxSystem::DemangleSymbol(typeid(*object).name());
}

} // namespace

VMemCppImpl::VMemCppImpl(int32 inPoolNumber) : fThread(this), fPoolNumber(inPoolNumber) {}

VMemCppImpl::~VMemCppImpl()
{
	while (fAllocations != nullptr) {
		VMemImplAllocation* allocation = fAllocations;
		fAllocations = allocation->fNext;
		size_t size = AreaSize(allocation);
		memtools::AreaUnmapping(allocation, size);
		VSystem::VirtualFree(allocation, size, false);
	}
}

void VMemCppImpl::Init(VCppMemMgr* inManager)
{
	fManager = inManager;
}

int32 VMemCppImpl::ListIndex(uint64 inSize)
{
	return inSize > 1024 * 1024 ? kHugeList : static_cast<int32>(inSize / 1024);
}

VMemCppImpl* VMemCppImpl::_OwnerOf(const void* inBlock)
{
	if (void* header = VPageAllocationImpl::SmallBlockHeader(inBlock))
		return VPageAllocationImpl::PageOf(header)->fOwner->GetOwner();
	VMemImplAllocation* allocation = BigBlockOf(inBlock)->fAllocation;
	return allocation != nullptr ? allocation->fOwner : nullptr;
}

void* VMemCppImpl::Malloc(size_t inSize, uint8 inPage, uint8 inFlag, int32 inTag)
{
	// Compared before the header is added: a size near the top of size_t
	// would wrap into a small request.
	if (inPage == 0 && inSize < VMemThreadImpl::kSmallLimit - VPageAllocationImpl::kBlockHeaderSize) {
		void* block = fThread.Malloc(inSize + VPageAllocationImpl::kBlockHeaderSize, inFlag != 0, inTag);
		if (block != nullptr)
			memtools::BlockHandedOut(block, GetPtrSize(block));
		return block;
	}
	void* block = _MallocBig(inSize, inPage != 0, inFlag != 0, inTag);
	if (block != nullptr && inPage == 0)
		memtools::BlockHandedOut(block, GetPtrSize(block));
	return block;
}

void* VMemCppImpl::MallocPage(size_t inPageSize)
{
	return _MallocBig(inPageSize, true, false, 0);
}

void* VMemCppImpl::_MallocBig(size_t inSize, bool inPage, bool inFlag, int32 inTag)
{
	if (inSize > kMaxRequest)
		return nullptr;
	size_t needed;
	int32 index;
	if (inSize < kListedUpTo) {
		needed = RoundUp(inSize + kBigHeaderSize, 1024);
		index = static_cast<int32>(needed / 1024);
	} else {
		needed = RoundUp(inSize + kBigHeaderSize, 8);
		index = kHugeList;
	}
	VMemBigBlock* block = _TakeBlock(needed, index);
	if (block == nullptr)
		return nullptr;
	uint64 size = SizeOf(block);
	block->fSize = static_cast<int32>(size) | (inPage ? kPageFlag : 0) | (inFlag ? kObjectFlag : 0);
	block->fTag = inTag;
	fUsedBytes += size;
	return block + 1;
}

VMemBigBlock* VMemCppImpl::_TakeBlock(size_t inNeeded, int32 inIndex)
{
	VMemBigBlock* found = nullptr;
	if (inIndex < kHugeList) {
		// Every block of this list is at least the needed size: the first
		// one serves whole.
		found = fFreeLists[inIndex];
	} else {
		for (VMemBigBlock* block = fFreeLists[kHugeList]; block != nullptr; block = LinksOf(block).fNext) {
			uint64 size = SizeOf(block);
			if (size == inNeeded) {
				found = block;
				break;
			}
			if (size > inNeeded && (found == nullptr || size < SizeOf(found)))
				found = block;
		}
	}
	if (found == nullptr) {
		if (VMemBigBlock* carved = _Carve(inNeeded))
			return carved;
		// Larger lists, the largest blocks first, leave the most useful rest.
		for (int32 index = kHugeList; index > inIndex && found == nullptr; --index)
			found = fFreeLists[index];
	}
	if (found != nullptr) {
		_UnlinkFree(found);
		return _SplitOff(found, inNeeded);
	}
	if (fAutoAllocation && _AddAutoAllocation(inNeeded))
		return _Carve(inNeeded);
	return nullptr;
}

VMemBigBlock* VMemCppImpl::_SplitOff(VMemBigBlock* ioBlock, size_t inNeeded)
{
	uint64 size = SizeOf(ioBlock);
	uint64 rest = size - inNeeded;
	if (rest < kMinSplitRest) {
		ioBlock->fSize = static_cast<int32>(size);
		return ioBlock;
	}
	VMemImplAllocation* allocation = ioBlock->fAllocation;
	ioBlock->fSize = static_cast<int32>(inNeeded);
	VMemBigBlock* restBlock = After(ioBlock, inNeeded);
	restBlock->fAllocation = allocation;
	restBlock->fPreviousDistance = static_cast<uint32>(inNeeded);
	restBlock->fTag = 0;
	SetDistanceAfter(allocation, restBlock, rest);
	_PushFree(restBlock, rest);
	return ioBlock;
}

VMemBigBlock* VMemCppImpl::_Carve(size_t inNeeded)
{
	for (VMemImplAllocation* allocation = fAllocations; allocation != nullptr; allocation = allocation->fNext) {
		if (allocation->fUsableSize - allocation->fUsed < inNeeded)
			continue;
		VMemBigBlock* block = BlockAt(allocation->UsedEnd());
		block->fAllocation = allocation;
		block->fPreviousDistance = allocation->fUsed == 0 ? 0 : static_cast<uint32>(allocation->fLastBlockSize);
		block->fSize = static_cast<int32>(inNeeded);
		block->fTag = 0;
		allocation->fUsed += inNeeded;
		allocation->fLastBlockSize = inNeeded;
		return block;
	}
	return nullptr;
}

bool VMemCppImpl::_AddAutoAllocation(size_t inNeeded)
{
	size_t size = std::max(inNeeded, kMinAutoBlock) + kAutoExtra;
	void* area = VSystem::VirtualAlloc(size, nullptr);
	if (area == nullptr)
		return false;
	_LinkAllocation(area, size, false);
	return true;
}

void VMemCppImpl::Free(void* inBlock)
{
	if (inBlock == nullptr)
		return;
	VMemCppImpl* owner = _OwnerOf(inBlock);
	if (owner == nullptr)
		return;
	if (owner != this) {
		owner->Free(inBlock);
		return;
	}
	memtools::BlockGivenBack(inBlock, GetPtrSize(inBlock));
	if (void* header = VPageAllocationImpl::SmallBlockHeader(inBlock))
		_FreeSmall(header);
	else
		_FreeBig(BigBlockOf(inBlock));
}

void VMemCppImpl::_FreeSmall(void* inBlockHeader)
{
	fThread.Free(VPageAllocationImpl::PageOf(inBlockHeader), inBlockHeader);
}

void VMemCppImpl::FreePage(VPageAllocationImpl* inPage)
{
	_FreeBig(BigBlockOf(inPage));
}

void VMemCppImpl::_FreeBig(VMemBigBlock* inBlock)
{
	VMemImplAllocation* allocation = inBlock->fAllocation;
	VMemBigBlock* block = inBlock;
	uint64 size = SizeOf(block);
	fUsedBytes -= size;

	if (block->fPreviousDistance != 0) {
		VMemBigBlock* previous = Before(block);
		uint64 merged = SizeOf(previous) + size;
		if (IsFree(previous) && merged < kSizeLimit) {
			_UnlinkFree(previous);
			block = previous;
			size = merged;
		}
	}
	block->fSize = -static_cast<int32>(size);

	if (reinterpret_cast<char*>(After(block, size)) == allocation->UsedEnd()) {
		_GiveBackToEnd(block);
		return;
	}
	VMemBigBlock* next = After(block, size);
	if (IsFree(next) && size + SizeOf(next) < kSizeLimit) {
		_UnlinkFree(next);
		size += SizeOf(next);
		block->fSize = -static_cast<int32>(size);
	}
	SetDistanceAfter(allocation, block, size);
	_PushFree(block, size);
}

void VMemCppImpl::_GiveBackToEnd(VMemBigBlock* inBlock)
{
	VMemImplAllocation* allocation = inBlock->fAllocation;
	VMemBigBlock* first = inBlock;
	// Free blocks left unmerged (their sum would not fit a size word) go too.
	while (first->fPreviousDistance != 0 && IsFree(Before(first))) {
		first = Before(first);
		_UnlinkFree(first);
	}
	allocation->fUsed = static_cast<uint64>(reinterpret_cast<char*>(first) - allocation->BlockArea());
	allocation->fLastBlockSize = first->fPreviousDistance;
	if (allocation->fUsed == 0 && fAutoAllocation)
		_ReleaseAllocation(allocation);
}

void VMemCppImpl::_PushFree(VMemBigBlock* inBlock, uint64 inSize)
{
	VMemBigBlock*& head = fFreeLists[ListIndex(inSize)];
	inBlock->fSize = -static_cast<int32>(inSize);
	LinksOf(inBlock).fNext = head;
	LinksOf(inBlock).fPrevious = nullptr;
	if (head != nullptr)
		LinksOf(head).fPrevious = inBlock;
	head = inBlock;
}

void VMemCppImpl::_UnlinkFree(VMemBigBlock* inBlock)
{
	FreeLinks& links = LinksOf(inBlock);
	if (links.fPrevious != nullptr)
		LinksOf(links.fPrevious).fNext = links.fNext;
	else
		fFreeLists[ListIndex(SizeOf(inBlock))] = links.fNext;
	if (links.fNext != nullptr)
		LinksOf(links.fNext).fPrevious = links.fPrevious;
}

void* VMemCppImpl::Realloc(void* inBlock, size_t inNewSize)
{
	if (inBlock == nullptr)
		return Malloc(inNewSize, 0, 0, 0);
	int32 tag;
	if (void* header = VPageAllocationImpl::SmallBlockHeader(inBlock))
		tag = VPageAllocationImpl::TagOf(header);
	else
		tag = BigBlockOf(inBlock)->fTag;
	void* block = Malloc(inNewSize, 0, 0, tag);
	if (block == nullptr)
		return nullptr;
	std::memcpy(block, inBlock, std::min(GetPtrSize(inBlock), inNewSize));
	Free(inBlock);
	return block;
}

size_t VMemCppImpl::GetPtrSize(const void* inBlock)
{
	if (inBlock == nullptr)
		return 0;
	if (void* header = VPageAllocationImpl::SmallBlockHeader(inBlock))
		return VPageAllocationImpl::PageOf(header)->fBlockSize - VPageAllocationImpl::kBlockHeaderSize;
	return static_cast<size_t>(SizeOf(BigBlockOf(inBlock))) - kBigHeaderSize;
}

int32 VMemCppImpl::GetAllocationBlockNumber(const void* inBlock)
{
	VMemCppImpl* owner = inBlock != nullptr ? _OwnerOf(inBlock) : nullptr;
	return owner != nullptr ? owner->fPoolNumber : 0;
}

void* VMemCppImpl::ReserveArea(size_t inSize, const void* inAddress, bool inPhysical)
{
	if (!inPhysical)
		return VSystem::VirtualAlloc(inSize, inAddress);
	bool resident = false;
	return VSystem::VirtualAllocPhysicalMemory(inSize, inAddress, &resident);
}

bool VMemCppImpl::AddAllocation(size_t inSize, const void* inAddress, uint8 inPhysical)
{
	if (inSize < kMinAllocation)
		return false;
	void* area = ReserveArea(inSize, inAddress, inPhysical != 0);
	if (area == nullptr)
		return false;
	_LinkAllocation(area, inSize, inPhysical != 0);
	return true;
}

bool VMemCppImpl::AddAlreadyAllocatedMem(size_t inSize, void* inAddress, bool inPhysical)
{
	if (inSize < kMinAllocation || inAddress == nullptr)
		return false;
	_LinkAllocation(inAddress, inSize, inPhysical);
	return true;
}

void VMemCppImpl::_LinkAllocation(void* inArea, size_t inSize, bool inPhysical)
{
	auto* allocation = new (inArea) VMemImplAllocation{this, fAllocations, nullptr, inSize - kAllocationOverhead, 0, 0,
													  static_cast<uint8>(inPhysical ? 1 : 0)};
	if (fAllocations != nullptr)
		fAllocations->fPrevious = allocation;
	fAllocations = allocation;
	fTotalAllocation += inSize;
	if (fManager != nullptr)
		fManager->AddToTotalAllocation(inSize);
	memtools::AreaMapped(inArea, inSize, true);
}

void VMemCppImpl::_ReleaseAllocation(VMemImplAllocation* inAllocation)
{
	if (inAllocation->fPrevious != nullptr)
		inAllocation->fPrevious->fNext = inAllocation->fNext;
	else
		fAllocations = inAllocation->fNext;
	if (inAllocation->fNext != nullptr)
		inAllocation->fNext->fPrevious = inAllocation->fPrevious;
	size_t size = AreaSize(inAllocation);
	fTotalAllocation -= size;
	if (fManager != nullptr)
		fManager->RemoveFromTotalAllocation(size);
	memtools::AreaUnmapping(inAllocation, size);
	VSystem::VirtualFree(inAllocation, size, false);
}

int32 VMemCppImpl::CountAllocations()
{
	int32 count = 0;
	for (VMemImplAllocation* allocation = fAllocations; allocation != nullptr; allocation = allocation->fNext)
		++count;
	return count;
}

void VMemCppImpl::GetMemUsageInfo(size_t& outAllocated, size_t& outUsed)
{
	outAllocated = static_cast<size_t>(fTotalAllocation);
	outUsed = static_cast<size_t>(fUsedBytes);
}

bool VMemCppImpl::CheckPtr(const void* inBlock)
{
	if (inBlock == nullptr)
		return false;
	if (void* header = VPageAllocationImpl::SmallBlockHeader(inBlock)) {
		const VPageAllocationImpl* page = VPageAllocationImpl::PageOf(header);
		return page->IsCarvedBlock(header) && !page->IsInFreedList(header);
	}
	const VMemBigBlock* block = BigBlockOf(inBlock);
	return block->fAllocation != nullptr && !IsFree(block) && (block->fSize & kPageFlag) == 0;
}

bool VMemCppImpl::Check(void* /*inBlock*/)
{
	for (VMemImplAllocation* allocation = fAllocations; allocation != nullptr; allocation = allocation->fNext)
		if (!_CheckAllocation(allocation))
			return false;
	for (int32 index = 0; index < kListCount; ++index) {
		VMemBigBlock* previous = nullptr;
		for (VMemBigBlock* block = fFreeLists[index]; block != nullptr; block = LinksOf(block).fNext) {
			if (!IsFree(block) || ListIndex(SizeOf(block)) != index || LinksOf(block).fPrevious != previous ||
				block->fAllocation == nullptr || block->fAllocation->fOwner != this)
				return false;
			previous = block;
		}
	}
	return true;
}

void VMemCppImpl::_AddSmallBlockStats(VMemStats& ioStats, VPageAllocationImpl* inPage)
{
	char* start = reinterpret_cast<char*>(inPage);
	const size_t carved = (inPage->fFirstUnused - VPageAllocationImpl::kHeaderSize) / inPage->fBlockSize;
	std::vector<bool> freed(carved, false);
	for (void* link = inPage->fFreed; link != nullptr; link = VPageAllocationImpl::NextFreed(link))
		freed[(static_cast<char*>(link) - start - VPageAllocationImpl::kHeaderSize) / inPage->fBlockSize] = true;
	for (size_t i = 0; i < carved; ++i) {
		if (freed[i])
			continue;
		char* header = start + VPageAllocationImpl::kHeaderSize + i * inPage->fBlockSize;
		ioStats.fUsedMem += inPage->fBlockSize;
		if (VPageAllocationImpl::HoldsObject(header))
			ioStats.AddObject(ClassNameOf(header + VPageAllocationImpl::kBlockHeaderSize), inPage->fBlockSize);
		else
			ioStats.AddTaggedBlock(static_cast<OsType>(VPageAllocationImpl::TagOf(header)), inPage->fBlockSize);
	}
}

bool VMemCppImpl::_CheckAllocation(VMemImplAllocation* inAllocation)
{
	if (inAllocation->fOwner != this || inAllocation->fUsed > inAllocation->fUsableSize)
		return false;
	char* end = inAllocation->UsedEnd();
	uint64 previousSize = 0;
	for (char* at = inAllocation->BlockArea(); at < end;) {
		VMemBigBlock* block = BlockAt(at);
		uint64 size = SizeOf(block);
		if (block->fAllocation != inAllocation || block->fPreviousDistance != previousSize || size < kBigHeaderSize ||
			size % 8 != 0 || size > static_cast<uint64>(end - at))
			return false;
		if (!IsFree(block) && (block->fSize & kPageFlag) != 0) {
			const auto* page = reinterpret_cast<const VPageAllocationImpl*>(block + 1);
			if (page->fOwner != &fThread || page->fPageSize > size - kBigHeaderSize || !page->Check())
				return false;
		}
		previousSize = size;
		at += size;
	}
	return inAllocation->fUsed == 0 || inAllocation->fLastBlockSize == previousSize;
}

void VMemCppImpl::GetStats(VMemStats& ioStats, int16 /*inAllocatorIndex*/)
{
	for (VMemImplAllocation* allocation = fAllocations; allocation != nullptr; allocation = allocation->fNext) {
		char* end = allocation->UsedEnd();
		for (char* at = allocation->BlockArea(); at < end; at += SizeOf(BlockAt(at))) {
			VMemBigBlock* block = BlockAt(at);
			uint64 size = SizeOf(block);
			++ioStats.fNbBigBlocks;
			ioStats.fBiggestBlock = std::max(ioStats.fBiggestBlock, size);
			if (IsFree(block)) {
				++ioStats.fNbFreeBigBlocks;
				ioStats.fFreeMem += size;
				ioStats.fBiggestFreeBlock = std::max(ioStats.fBiggestFreeBlock, size);
				++ioStats.fOtherBigBlocksBySize[size].fFree;
				continue;
			}
			++ioStats.fNbUsedBigBlocks;
			if ((block->fSize & kPageFlag) == 0) {
				ioStats.fUsedMem += size;
				++ioStats.fOtherBigBlocksBySize[size].fUsed;
				if ((block->fSize & kObjectFlag) != 0)
					ioStats.AddObject(ClassNameOf(block + 1), size);
				else
					ioStats.AddTaggedBlock(static_cast<OsType>(block->fTag), size);
				continue;
			}
			auto* page = reinterpret_cast<VPageAllocationImpl*>(block + 1);
			++ioStats.fNbPages;
			VPageCount& pages = ioStats.fPagesBySize[page->fPageSize];
			++(page->IsFull() ? pages.fFull : pages.fPartial);
			VUsedFreeCount& smalls = ioStats.fSmallBlocksBySize[page->fBlockSize];
			smalls.fUsed += page->fNbUsed;
			smalls.fFree += page->fNbFreed;
			ioStats.fNbSmallBlocks += page->fNbUsed + page->fNbFreed;
			ioStats.fNbUsedSmallBlocks += page->fNbUsed;
			ioStats.fNbFreeSmallBlocks += page->fNbFreed;
			ioStats.fFreeMem += static_cast<uint64>(page->fNbFreed) * page->fBlockSize + page->fPageSize -
								page->fFirstUnused;
			_AddSmallBlockStats(ioStats, page);
		}
		uint64 freeEnd = allocation->fUsableSize - allocation->fUsed;
		ioStats.fFreeMem += freeEnd;
		ioStats.fBiggestFreeBlock = std::max(ioStats.fBiggestFreeBlock, freeEnd);
	}
}

} // namespace qirn
