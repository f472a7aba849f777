#pragma once

#include "core/VCppMemMgr.h"
#include "core/VObject.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace qirn {

// The kernel's growable byte buffer, over the memory manager (tag 'memb').
// Growth is amortized: the needed size plus a share of it (capped), rounded
// up to a granule; when that much cannot be had, exactly the needed size.
template <size_t kGranule = 1024, size_t kDivider = 2, size_t kMaxExtra = 1048576>
class VMemoryBuffer : public VObject {
public:
	static constexpr int32 kTag = 'memb';

	explicit VMemoryBuffer(VCppMemMgr* inManager = nullptr)
		: fManager(inManager != nullptr ? inManager : VObject::sCppMemMgr)
	{
	}
	VMemoryBuffer(const VMemoryBuffer& inOther) : fManager(inOther.fManager) { CopyFrom(inOther); }
	VMemoryBuffer(VMemoryBuffer&& inOther) noexcept
		: fManager(inOther.fManager), fData(std::exchange(inOther.fData, nullptr)),
		  fDataSize(std::exchange(inOther.fDataSize, 0)), fCapacity(std::exchange(inOther.fCapacity, 0))
	{
	}
	~VMemoryBuffer() override { Clear(); }

	VMemoryBuffer& operator=(const VMemoryBuffer& inOther)
	{
		if (this != &inOther)
			CopyFrom(inOther);
		return *this;
	}
	VMemoryBuffer& operator=(VMemoryBuffer&& inOther) noexcept
	{
		if (this != &inOther) {
			Clear();
			fManager = inOther.fManager;
			fData = std::exchange(inOther.fData, nullptr);
			fDataSize = std::exchange(inOther.fDataSize, 0);
			fCapacity = std::exchange(inOther.fCapacity, 0);
		}
		return *this;
	}

	void* GetDataPtr() { return fData; }
	const void* GetDataPtr() const { return fData; }
	size_t GetDataSize() const { return fDataSize; }
	size_t GetAllocatedSize() const { return fCapacity; }
	VCppMemMgr* GetMemoryManager() const { return fManager; }
	bool IsEmpty() const { return fDataSize == 0; }

	// Grows the capacity to at least inNeeded; the data size is not changed.
	bool _EnlargeAmortized(size_t inNeeded)
	{
		if (inNeeded <= fCapacity)
			return true;
		size_t extra = std::min(inNeeded / kDivider, kMaxExtra);
		size_t amortized = inNeeded + extra;
		if (amortized >= inNeeded && amortized <= SIZE_MAX - (kGranule - 1)) {
			amortized = (amortized + kGranule - 1) / kGranule * kGranule;
			if (_Resize(amortized))
				return true;
		}
		return _Resize(inNeeded);
	}

	// Appends; false (and nothing changed) when the buffer cannot grow.
	bool AddData(const void* inData, size_t inSize) { return PutData(fDataSize, inData, inSize); }

	// Writes at an offset, growing the buffer; bytes between the old end and
	// the offset are zeroed. The source may lie in the buffer itself.
	bool PutData(size_t inOffset, const void* inData, size_t inSize)
	{
		if (inSize == 0 && inOffset <= fDataSize)
			return true;
		if (inOffset > SIZE_MAX - inSize)
			return false;
		// A growth moves the block, and a source inside it with it.
		const size_t sourceOffset = _OffsetInBlock(inData);
		if (!_EnlargeAmortized(inOffset + inSize))
			return false;
		const char* source = sourceOffset != kOutside ? fData + sourceOffset : static_cast<const char*>(inData);
		if (inSize > 0)
			std::memmove(fData + inOffset, source, inSize);
		if (inOffset > fDataSize)
			std::memset(fData + fDataSize, 0, inOffset - fDataSize);
		fDataSize = std::max(fDataSize, inOffset + inSize);
		return true;
	}

	// Sets the data size, growing as needed; new bytes are zeroed.
	bool SetSize(size_t inSize)
	{
		if (inSize > fDataSize) {
			if (!_EnlargeAmortized(inSize))
				return false;
			std::memset(fData + fDataSize, 0, inSize - fDataSize);
		}
		fDataSize = inSize;
		return true;
	}

	// Sets the allocation to exactly inSize bytes (freed at 0); the data are
	// cut to fit. The buffer is unchanged when memory is refused.
	bool SetAllocatedSize(size_t inSize)
	{
		if (inSize == fCapacity)
			return true;
		if (inSize == 0) {
			Clear();
			return true;
		}
		if (!_Resize(inSize))
			return false;
		fDataSize = std::min(fDataSize, inSize);
		return true;
	}

	void Clear()
	{
		if (fData != nullptr)
			fManager->Free(fData);
		fData = nullptr;
		fDataSize = 0;
		fCapacity = 0;
	}

	// Takes over a block of the same manager.
	void SetDataPtr(void* inData, size_t inDataSize, size_t inCapacity)
	{
		Clear();
		fData = static_cast<char*>(inData);
		fDataSize = inDataSize;
		fCapacity = inCapacity;
	}

	// Hands the block to the caller, who frees it through the manager.
	void ForgetData(void** outData, size_t* outDataSize, size_t* outCapacity)
	{
		*outData = fData;
		if (outDataSize != nullptr)
			*outDataSize = fDataSize;
		if (outCapacity != nullptr)
			*outCapacity = fCapacity;
		fData = nullptr;
		fDataSize = 0;
		fCapacity = 0;
	}

	void Swap(VMemoryBuffer& ioOther) noexcept
	{
		std::swap(fManager, ioOther.fManager);
		std::swap(fData, ioOther.fData);
		std::swap(fDataSize, ioOther.fDataSize);
		std::swap(fCapacity, ioOther.fCapacity);
	}

	// Becomes an exact copy of the source's used bytes. On a refusal the
	// buffer keeps what it had (empty when it had no data) and false is
	// answered.
	bool CopyFrom(const VMemoryBuffer& inOther)
	{
		if (fCapacity != inOther.fDataSize) {
			if (!SetAllocatedSize(inOther.fDataSize))
				return false;
		}
		if (inOther.fDataSize > 0)
			std::memcpy(fData, inOther.fData, inOther.fDataSize);
		fDataSize = inOther.fDataSize;
		return true;
	}

private:
	static constexpr size_t kOutside = SIZE_MAX;

	size_t _OffsetInBlock(const void* inAddress) const
	{
		const auto address = reinterpret_cast<uintptr_t>(inAddress);
		const auto start = reinterpret_cast<uintptr_t>(fData);
		if (fData == nullptr || address < start || address - start >= fCapacity)
			return kOutside;
		return address - start;
	}

	bool _Resize(size_t inCapacity)
	{
		void* block = fData == nullptr ? fManager->Malloc(inCapacity, false, kTag, -1)
									   : fManager->Realloc(fData, inCapacity);
		if (block == nullptr)
			return false;
		fData = static_cast<char*>(block);
		fCapacity = inCapacity;
		return true;
	}

	VCppMemMgr* fManager;
	char* fData = nullptr;
	size_t fDataSize = 0;
	size_t fCapacity = 0;
};

} // namespace qirn
