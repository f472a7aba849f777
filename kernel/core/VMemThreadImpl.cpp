#include "core/VMemThreadImpl.h"

#include "core/VMemCppImpl.h"
#include "core/VPageAllocationImpl.h"

#include <new>

namespace qirn {

namespace {

size_t CeilDiv(size_t inSize, size_t inStep)
{
	return (inSize + inStep - 1) / inStep;
}

} // namespace

VMemThreadImpl::VMemThreadImpl(VMemCppImpl* inOwner) : fOwner(inOwner), fPages{} {}

int32 VMemThreadImpl::SizeClass(size_t inSize)
{
	if (inSize <= 1024)
		return static_cast<int32>(CeilDiv(inSize, 16));
	if (inSize <= 4096)
		return static_cast<int32>(CeilDiv(inSize, 64) + 49);
	return static_cast<int32>(CeilDiv(inSize, 256) + 98);
}

size_t VMemThreadImpl::BlockSize(size_t inSize)
{
	size_t step = inSize <= 1024 ? 16 : inSize <= 4096 ? 64 : 256;
	return CeilDiv(inSize == 0 ? 1 : inSize, step) * step;
}

// Each page plus its big block's header fills 8, 16, 64 or 128 KiB.
size_t VMemThreadImpl::PageSize(size_t inBlockSize)
{
	if (inBlockSize < 256)
		return 8168;
	if (inBlockSize < 1024)
		return 16360;
	if (inBlockSize < 4096)
		return 65512;
	return 131048;
}

void* VMemThreadImpl::Malloc(size_t inSize, bool inFlag, int32 inTag)
{
	int32 sizeClass = SizeClass(inSize);
	VPageAllocationImpl* page = fPages[sizeClass];
	if (page == nullptr) {
		size_t blockSize = BlockSize(inSize);
		size_t pageSize = PageSize(blockSize);
		void* data = fOwner->MallocPage(pageSize);
		if (data == nullptr)
			return nullptr;
		page = new (data) VPageAllocationImpl(this, pageSize, static_cast<uint16>(blockSize));
		_Link(page, sizeClass);
	}
	void* block = page->Malloc(inFlag, inTag);
	if (page->IsFull())
		_Unlink(page, sizeClass);
	return block;
}

void VMemThreadImpl::Free(VPageAllocationImpl* inPage, void* inBlockHeader)
{
	int32 sizeClass = SizeClass(inPage->fBlockSize);
	bool wasFull = inPage->Free(inBlockHeader);
	if (inPage->IsEmpty()) {
		if (!wasFull)
			_Unlink(inPage, sizeClass);
		fOwner->FreePage(inPage);
	} else if (wasFull) {
		_Link(inPage, sizeClass);
	}
}

bool VMemThreadImpl::IsListed(const VPageAllocationImpl* inPage) const
{
	for (const VPageAllocationImpl* page = fPages[SizeClass(inPage->fBlockSize)]; page != nullptr; page = page->fNext)
		if (page == inPage)
			return true;
	return false;
}

void VMemThreadImpl::_Link(VPageAllocationImpl* inPage, int32 inClass)
{
	inPage->fPrevious = nullptr;
	inPage->fNext = fPages[inClass];
	if (inPage->fNext != nullptr)
		inPage->fNext->fPrevious = inPage;
	fPages[inClass] = inPage;
}

void VMemThreadImpl::_Unlink(VPageAllocationImpl* inPage, int32 inClass)
{
	if (inPage->fPrevious != nullptr)
		inPage->fPrevious->fNext = inPage->fNext;
	else
		fPages[inClass] = inPage->fNext;
	if (inPage->fNext != nullptr)
		inPage->fNext->fPrevious = inPage->fPrevious;
	inPage->fNext = inPage->fPrevious = nullptr;
}

} // namespace qirn
