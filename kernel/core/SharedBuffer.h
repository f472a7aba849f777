#pragma once

#include "core/VKernelTypes.h"

#include <atomic>

namespace qirn {

// A reference-counted raw byte block without a virtual table: one block of
// the system allocator holding the size, the count and the bytes.
class SharedBuffer {
public:
	static SharedBuffer* Create(size_t inSize);
	static SharedBuffer* Create(const void* inData, size_t inSize);

	void Retain() const;
	void Release() const;

	uint64 GetDataSize() const { return fDataSize; }
	uint32 GetRefCount() const { return fRefCount.load(std::memory_order_relaxed); }
	void* GetData() { return fData; }
	const void* GetData() const { return fData; }

	SharedBuffer(const SharedBuffer&) = delete;
	SharedBuffer& operator=(const SharedBuffer&) = delete;

private:
	SharedBuffer() = default;
	~SharedBuffer() = default;

	uint64 fDataSize = 0;
	mutable std::atomic<uint32> fRefCount{1};
	// The data follow the header, with three spare bytes after them.
	alignas(8) unsigned char fData[1];
};

} // namespace qirn
