#include "core/SharedBuffer.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace qirn {

SharedBuffer* SharedBuffer::Create(size_t inSize)
{
	constexpr size_t kHeader = offsetof(SharedBuffer, fData);
	constexpr size_t kSpare = 3;
	if (inSize > SIZE_MAX - kHeader - kSpare)
		return nullptr;
	void* block = std::malloc(kHeader + inSize + kSpare);
	if (block == nullptr)
		return nullptr;
	SharedBuffer* buffer = new (block) SharedBuffer;
	buffer->fDataSize = inSize;
	return buffer;
}

SharedBuffer* SharedBuffer::Create(const void* inData, size_t inSize)
{
	SharedBuffer* buffer = Create(inSize);
	if (buffer != nullptr && inSize > 0)
		std::memcpy(buffer->fData, inData, inSize);
	return buffer;
}

void SharedBuffer::Retain() const
{
	fRefCount.fetch_add(1, std::memory_order_relaxed);
}

void SharedBuffer::Release() const
{
	if (fRefCount.fetch_sub(1, std::memory_order_acq_rel) == 1) {
		SharedBuffer* self = const_cast<SharedBuffer*>(this);
		self->~SharedBuffer();
		std::free(self);
	}
}

} // namespace qirn
