#include "core/VPageAllocationImpl.h"

#include <cstring>

namespace qirn {

namespace {

int32 ReadWord(const void* inAddress, size_t inOffset)
{
	int32 word;
	std::memcpy(&word, static_cast<const char*>(inAddress) + inOffset, sizeof(word));
	return word;
}

// Block offsets are even (the page header and every block size are), so the
// object flag can live in the low bit of the negated offset.
size_t OffsetOf(int32 inWord)
{
	return static_cast<size_t>((inWord & 1) != 0 ? ~inWord : -inWord);
}

} // namespace

VPageAllocationImpl::VPageAllocationImpl(VMemThreadImpl* inOwner, size_t inPageSize, uint16 inBlockSize)
	: fOwner(inOwner), fFreed(nullptr), fNext(nullptr), fPrevious(nullptr), fPageSize(inPageSize),
	  fFirstUnused(kHeaderSize), fNbFreed(0), fNbUsed(0),
	  fCapacity(static_cast<uint16>((inPageSize - kHeaderSize) / inBlockSize)), fBlockSize(inBlockSize)
{
}

void* VPageAllocationImpl::Malloc(bool inFlag, int32 inTag)
{
	char* header;
	if (fFreed != nullptr) {
		header = static_cast<char*>(fFreed);
		fFreed = NextFreed(header);
		--fNbFreed;
	} else if (fFirstUnused + fBlockSize <= fPageSize) {
		header = reinterpret_cast<char*>(this) + fFirstUnused;
		fFirstUnused += fBlockSize;
	} else {
		return nullptr;
	}
	++fNbUsed;
	int32 word = -static_cast<int32>(header - reinterpret_cast<char*>(this)) - (inFlag ? 1 : 0);
	std::memcpy(header, &word, sizeof(word));
	std::memcpy(header + 4, &inTag, sizeof(inTag));
	return header + kBlockHeaderSize;
}

bool VPageAllocationImpl::Free(void* inBlockHeader)
{
	bool wasFull = IsFull();
	std::memcpy(static_cast<char*>(inBlockHeader) + kBlockHeaderSize, &fFreed, sizeof(fFreed));
	fFreed = inBlockHeader;
	++fNbFreed;
	--fNbUsed;
	return wasFull;
}

void* VPageAllocationImpl::NextFreed(const void* inBlockHeader)
{
	void* next;
	std::memcpy(&next, static_cast<const char*>(inBlockHeader) + kBlockHeaderSize, sizeof(next));
	return next;
}

void* VPageAllocationImpl::SmallBlockHeader(const void* inBlock)
{
	const char* header = static_cast<const char*>(inBlock) - kBlockHeaderSize;
	return ReadWord(header, 0) < 0 ? const_cast<char*>(header) : nullptr;
}

VPageAllocationImpl* VPageAllocationImpl::PageOf(const void* inBlockHeader)
{
	const char* header = static_cast<const char*>(inBlockHeader);
	return reinterpret_cast<VPageAllocationImpl*>(const_cast<char*>(header - OffsetOf(ReadWord(header, 0))));
}

bool VPageAllocationImpl::HoldsObject(const void* inBlockHeader)
{
	return (ReadWord(inBlockHeader, 0) & 1) != 0;
}

int32 VPageAllocationImpl::TagOf(const void* inBlockHeader)
{
	return ReadWord(inBlockHeader, 4);
}

bool VPageAllocationImpl::IsCarvedBlock(const void* inBlockHeader) const
{
	const char* start = reinterpret_cast<const char*>(this);
	const char* header = static_cast<const char*>(inBlockHeader);
	if (header < start + kHeaderSize || header >= start + fFirstUnused)
		return false;
	return (static_cast<size_t>(header - start) - kHeaderSize) % fBlockSize == 0;
}

bool VPageAllocationImpl::IsInFreedList(const void* inBlockHeader) const
{
	const void* link = fFreed;
	for (uint32 steps = 0; link != nullptr && steps <= fNbFreed; ++steps) {
		if (link == inBlockHeader)
			return true;
		link = NextFreed(link);
	}
	return false;
}

bool VPageAllocationImpl::Check() const
{
	if (fBlockSize == 0 || fFirstUnused < kHeaderSize || fFirstUnused > fPageSize)
		return false;
	if (fNbUsed + fNbFreed != (fFirstUnused - kHeaderSize) / fBlockSize || fNbUsed > fCapacity)
		return false;
	const void* link = fFreed;
	for (uint32 steps = 0; steps < fNbFreed; ++steps) {
		if (link == nullptr || !IsCarvedBlock(link))
			return false;
		link = NextFreed(link);
	}
	return link == nullptr;
}

} // namespace qirn
