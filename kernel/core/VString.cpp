#include "core/VString.h"

#include "core/TextUnits.h"
#include "core/VByteSwap.h"
#include "core/VMemory.h"
#include "core/VTextConverters.h"
#include "runtime/VError.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace qirn {

namespace {

inline void CopyUnits(UniChar* outDest, const UniChar* inSource, VIndex inCount)
{
	if (inCount > 0)
		std::memmove(outDest, inSource, static_cast<size_t>(inCount) * sizeof(UniChar));
}

} // namespace

const VString VString::sEmpty;

// ---------------------------------------------------------------------------
// Construction

VString::VString() : fString(fInlineBuffer), fLength(0), fMaxLength(0), fInlineMaxLength(0)
{
	fInlineBuffer[0] = 0;
}

VString::VString(InlineTag, VIndex inInlineMaxLength)
	: fString(fInlineBuffer), fLength(0), fMaxLength(inInlineMaxLength), fInlineMaxLength(inInlineMaxLength)
{
	fInlineBuffer[0] = 0;
}

VString::VString(bool inNull)
	: VValueSingle(inNull), fString(fInlineBuffer), fLength(0), fMaxLength(0), fInlineMaxLength(0)
{
	fInlineBuffer[0] = 0;
}

VString::VString(const VString& inString) : VString()
{
	if (inString.IsNull()) {
		fFlags |= kFlag_Null;
	} else if (inString._IsHeap() && (inString.fFlags & kFlag_Private) == 0) {
		inString._RefCount()->fetch_add(1, std::memory_order_relaxed);
		fString = inString.fString;
		fLength = inString.fLength;
		fMaxLength = inString.fMaxLength;
	} else {
		FromUniString(inString.fString, inString.fLength);
	}
}

VString::VString(VString&& inString) noexcept : VString()
{
	if (!inString.IsOnInlineBuffer() && (inString.fFlags & kFlag_External) == 0) {
		fString = inString.fString;
		fLength = inString.fLength;
		fMaxLength = inString.fMaxLength;
		fFlags |= inString.fFlags & kFlag_Private;
		inString._ResetToInline();
	} else {
		FromString(inString);
	}
}

VString::VString(UniChar inChar) : VString()
{
	FromUniChar(inChar);
}

VString::VString(const UniChar* inUniString, VIndex inLength) : VString()
{
	FromUniString(inUniString, inLength);
}

VString::VString(const UniChar* inUniCString) : VString()
{
	FromUniCString(inUniCString);
}

VString::VString(const wchar_t* inWideCString) : VString()
{
	if (inWideCString == nullptr)
		return;
	size_t count = std::wcslen(inWideCString);
	// wchar_t holds whole code points here: decoded as UTF-32 so that
	// characters beyond the BMP become surrogate pairs instead of being cut.
	FromBlock(inWideCString, count * sizeof(wchar_t), sizeof(wchar_t) == 4 ? VTC_UTF_32 : VTC_UTF_16);
}

VString::VString(const char* inCString) : VString()
{
	FromCString(inCString);
}

VString::VString(const void* inBuffer, VSize inNbBytes, CharSet inCharSet) : VString()
{
	FromBlock(inBuffer, inNbBytes, inCharSet);
}

VString::VString(UniChar* inBuffer, VIndex inLength, VSize inNbBytes) : VString()
{
	if (inBuffer == nullptr) {
		fFlags |= kFlag_Null;
		return;
	}
	VIndex maxLength;
	if (inNbBytes == static_cast<VSize>(-1))
		maxLength = std::max(inLength, 0);
	else
		maxLength = static_cast<VIndex>(std::min<VSize>(inNbBytes / 2, kMaxLength)) - 1;
	if (maxLength < 0)
		return;
	fString = inBuffer;
	fMaxLength = maxLength;
	fLength = std::clamp(inLength, 0, maxLength);
	fFlags = kFlag_Dirty | kFlag_External | kFlag_Private;
	// A buffer of known size has room for the terminator after the longest
	// text. One given as "length units" may be read-only (a literal): its
	// terminator is the caller's.
	if (inNbBytes != static_cast<VSize>(-1))
		fString[fLength] = 0;
}

VString::VString(const VInlineString& inString) : VString()
{
	FromString(inString);
}

VString::VString(const VInlineString& inString, bool) : VString()
{
	if (inString.fString != nullptr) {
		fString = inString.fString;
		fLength = inString.fLength;
		fMaxLength = inString.fMaxLength;
		fFlags |= kFlag_External;
	}
}

VString::~VString()
{
	_ReleaseBuffer();
}

VString& VString::operator=(VString&& inString) noexcept
{
	if (this == &inString)
		return *this;
	if (!inString.IsOnInlineBuffer() && (inString.fFlags & kFlag_External) == 0) {
		_ReleaseBuffer();
		fString = inString.fString;
		fLength = inString.fLength;
		fMaxLength = inString.fMaxLength;
		fFlags = (fFlags & ~(kFlag_External | kFlag_Private)) | (inString.fFlags & kFlag_Private);
		inString._ResetToInline();
		_Touch();
	} else {
		FromString(inString);
	}
	return *this;
}

VString* VString::NewString(VIndex inInlineLength)
{
	inInlineLength = std::max(inInlineLength, 0);
	void* block = operator new(sizeof(VString) + static_cast<size_t>(inInlineLength) * sizeof(UniChar));
	return new (block) VString(InlineTag{}, inInlineLength);
}

// Kept out of line: inlined into a caller beside the global pair they wrap,
// the compiler takes the class's operators for a mismatched allocation.
__attribute__((noinline)) void* VString::operator new(size_t inSize)
{
	return ::operator new(inSize);
}

__attribute__((noinline)) void VString::operator delete(void* inBlock)
{
	// Unsized on purpose: NewString's objects are larger than the class.
	::operator delete(inBlock);
}

// ---------------------------------------------------------------------------
// Buffers

uint32 VString::ComputeProgressiveResize(VIndex inOldLength, VIndex inNewLength)
{
	if (inNewLength < 0)
		return 0;
	if (inNewLength < 6)
		return 8;
	int64 step = std::min<int64>((static_cast<int64>(inNewLength) + 1) / 5, 0xA00000);
	int64 margin = (inOldLength != 0 && inOldLength != inNewLength && step >= 3) ? step : 2;
	int64 size = (static_cast<int64>(inNewLength) + margin + 8) & ~static_cast<int64>(7);
	// Near the limit no margin is given; the block still has room for the
	// count after the characters wherever the length leaves it.
	if (inNewLength < 2147483645 && size > 0x80000002LL)
		size = (static_cast<int64>(inNewLength) | 1) + 3;
	if (size == 0 || size >= 0x80000003LL)
		return 0;
	return static_cast<uint32>(size);
}

void VString::_ReleaseBuffer()
{
	if (fString == _InlineBuffer() || (fFlags & kFlag_External) != 0)
		return;
	if ((fFlags & kFlag_Private) != 0) {
		VMemory::DisposePtr(fString);
		return;
	}
	if (_RefCount()->fetch_sub(1, std::memory_order_acq_rel) == 1)
		VMemory::DisposePtr(fString);
}

void VString::RetainSharedBuffer(UniChar* inBuffer, VIndex inMaxLength)
{
	if (inBuffer != nullptr)
		_RefCountOf(inBuffer, inMaxLength)->fetch_add(1, std::memory_order_relaxed);
}

void VString::ReleaseBuffer(UniChar* inBuffer, VIndex inMaxLength)
{
	if (inBuffer != nullptr && _RefCountOf(inBuffer, inMaxLength)->fetch_sub(1, std::memory_order_acq_rel) == 1)
		VMemory::DisposePtr(inBuffer);
}

void VString::_ResetToInline()
{
	fString = _InlineBuffer();
	fLength = 0;
	fMaxLength = fInlineMaxLength;
	fString[0] = 0;
	fFlags &= ~(kFlag_External | kFlag_Private);
}

int32 VString::GetBufferRefCount() const
{
	return _IsHeap() && (fFlags & kFlag_Private) == 0 ? _RefCount()->load(std::memory_order_relaxed) : 0;
}

bool VString::_ReallocBuffer(VIndex inNewLength, bool inKeep)
{
	VIndex kept = inKeep ? std::min(fLength, inNewLength) : 0;
	if (inNewLength < 0) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return false;
	}
	if (inNewLength <= fInlineMaxLength) {
		if (fString != _InlineBuffer()) {
			CopyUnits(_InlineBuffer(), fString, kept);
			_ReleaseBuffer();
			fString = _InlineBuffer();
		}
		fString[kept] = 0;
		fMaxLength = fInlineMaxLength;
		return true;
	}
	if (VObject::sCppMemMgr != nullptr) {
		uint32 units = ComputeProgressiveResize(fLength, inNewLength);
		if (units == 0) {
			_ThrowError(VE_STRING_ALLOC_FAILED);
			return false;
		}
		size_t bytes = static_cast<size_t>(units) * sizeof(UniChar);
		UniChar* block;
		if (inKeep && _IsHeap() && (fFlags & kFlag_Private) == 0 &&
			_RefCount()->load(std::memory_order_acquire) == 1) {
			// Sole holder: let the allocator grow the block where it lies.
			block = static_cast<UniChar*>(VMemory::SetPtrSize(fString, bytes));
			if (block == nullptr) {
				_ThrowError(VE_STRING_ALLOC_FAILED);
				return false;
			}
		} else {
			block = static_cast<UniChar*>(VMemory::NewPtr(bytes, kTag_Heap));
			if (block == nullptr) {
				_ThrowError(VE_STRING_ALLOC_FAILED);
				return false;
			}
			CopyUnits(block, fString, kept);
			_ReleaseBuffer();
		}
		fString = block;
		fFlags &= ~(kFlag_External | kFlag_Private);
		fMaxLength = static_cast<VIndex>(units - 3);
		fString[kept] = 0;
		new (_RefCount()) std::atomic<int32>(1);
		return true;
	}
	// Before the memory manager exists (static initialisation): a C-library
	// block that is never freed nor shared.
	UniChar* block = static_cast<UniChar*>(std::malloc((static_cast<size_t>(inNewLength) + 1) * sizeof(UniChar)));
	if (block == nullptr) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return false;
	}
	CopyUnits(block, fString, kept);
	_ReleaseBuffer();
	fString = block;
	fMaxLength = inNewLength;
	fFlags |= kFlag_External | kFlag_Private;
	fString[kept] = 0;
	return true;
}

bool VString::_EnsureSizeSlow(VIndex inNeeded)
{
	if (inNeeded < 0) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return false;
	}
	if (!_IsWritable())
		return _ReallocBuffer(std::max(inNeeded, fLength), true);
	if (inNeeded > fMaxLength)
		return _ReallocBuffer(inNeeded, true);
	return true;
}

UniChar* VString::GetCPointerForWrite(VIndex inSize)
{
	if (inSize < fLength)
		inSize = fLength;
	return _EnsureSize(inSize) ? fString : nullptr;
}

bool VString::Validate(VIndex inNewLength)
{
	if (inNewLength < 0 || inNewLength > fMaxLength)
		return false;
	if (!_IsWritable() && !_EnsureSize(inNewLength))
		return false;
	fLength = inNewLength;
	fString[fLength] = 0;
	_Touch();
	return true;
}

void VString::_TouchSlow()
{
	SetNull(false);
	SetDirty(true);
}

void VString::DoNullChanged()
{
	if (IsNull()) {
		_ReleaseBuffer();
		_ResetToInline();
	}
}

UniChar* VString::RetainBuffer(VIndex* outLength, VIndex* outMaxLength) const
{
	if (IsNull() || fLength == 0) {
		*outLength = 0;
		*outMaxLength = 0;
		return nullptr;
	}
	if (_IsHeap() && (fFlags & kFlag_Private) == 0) {
		_RefCount()->fetch_add(1, std::memory_order_relaxed);
		*outLength = fLength;
		*outMaxLength = fMaxLength;
		return fString;
	}
	UniChar* block = NewSharedBuffer(fString, fLength);
	*outLength = block != nullptr ? fLength : 0;
	*outMaxLength = *outLength;
	return block;
}

UniChar* VString::NewSharedBuffer(const UniChar* inUnits, VIndex inLength)
{
	if (inLength <= 0)
		return nullptr;
	size_t units = (static_cast<size_t>(inLength) | 1) + 3;
	UniChar* block = static_cast<UniChar*>(VMemory::NewPtr(units * sizeof(UniChar), kTag_Retained));
	if (block == nullptr)
		return nullptr;
	CopyUnits(block, inUnits, inLength);
	block[inLength] = 0;
	new (_RefCountOf(block, inLength)) std::atomic<int32>(1);
	return block;
}

VIndex VString::UniCStringLength(const UniChar* inUniCString)
{
	return inUniCString == nullptr ? 0 : static_cast<VIndex>(std::char_traits<char16_t>::length(inUniCString));
}

bool VString::SetUniChar(VIndex inPos, UniChar inChar)
{
	if (IsNull() || inPos < 1 || inPos > fLength || !_EnsureSize(fLength))
		return false;
	fString[inPos - 1] = inChar;
	_Touch();
	return true;
}

// ---------------------------------------------------------------------------
// Assignment

void VString::FromString(const VString& inString)
{
	if (this == &inString)
		return;
	if (inString.IsNull()) {
		SetNull(true);
		return;
	}
	if (fString == inString.fString) {
		fLength = inString.fLength;
		_Touch();
		return;
	}
	if (inString._IsHeap() && (inString.fFlags & kFlag_Private) == 0) {
		inString._RefCount()->fetch_add(1, std::memory_order_relaxed);
		_ReleaseBuffer();
		fString = inString.fString;
		fLength = inString.fLength;
		fMaxLength = inString.fMaxLength;
		fFlags &= ~(kFlag_External | kFlag_Private);
		_Touch();
		return;
	}
	FromUniString(inString.fString, inString.fLength);
}

void VString::FromString(const VInlineString& inString)
{
	UniChar* buffer = inString.fString;
	if (buffer == nullptr) {
		Clear();
		return;
	}
	if (buffer == fString) {
		fLength = inString.fLength;
		_Touch();
		return;
	}
	_RefCountOf(buffer, inString.fMaxLength)->fetch_add(1, std::memory_order_relaxed);
	_ReleaseBuffer();
	fString = buffer;
	fLength = inString.fLength;
	fMaxLength = inString.fMaxLength;
	fFlags &= ~(kFlag_External | kFlag_Private);
	_Touch();
}

void VString::FromUniString(const UniChar* inUniString, VIndex inLength)
{
	if (inUniString == nullptr || inLength < 0)
		inLength = 0;
	if (inLength > 0 && inUniString >= fString && inUniString <= fString + fMaxLength && !IsOnInlineBuffer()) {
		// A piece of our own text: copy it aside before the buffer may change.
		VString copy(inUniString, inLength);
		FromString(copy);
		return;
	}
	if (!(_IsWritable() && inLength <= fMaxLength) && !_ReallocBuffer(inLength, false))
		return;
	CopyUnits(fString, inUniString, inLength);
	fLength = inLength;
	fString[fLength] = 0;
	_Touch();
}

void VString::FromUniCString(const UniChar* inUniCString)
{
	FromUniString(inUniCString, UniCStringLength(inUniCString));
}

void VString::FromUniChar(UniChar inChar)
{
	if (inChar == 0)
		Clear();
	else
		FromUniString(&inChar, 1);
}

void VString::FromCString(const char* inCString)
{
	size_t length = inCString == nullptr ? 0 : std::strlen(inCString);
	if (length > static_cast<size_t>(kMaxLength)) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return;
	}
	VIndex count = static_cast<VIndex>(length);
	if (!(_IsWritable() && count <= fMaxLength) && !_ReallocBuffer(count, false))
		return;
	fLength = 0;
	fString[0] = 0;
	if (!_AppendASCII(inCString, length))
		FromBlock(inCString, length, VTC_UTF_8);
	_Touch();
}

void VString::Clear()
{
	_ReleaseBuffer();
	_ResetToInline();
	_Touch();
}

void VString::Swap(VString& ioOther)
{
	if (this == &ioOther)
		return;
	bool thisInline = IsOnInlineBuffer();
	bool otherInline = ioOther.IsOnInlineBuffer();
	constexpr uint8 kBufferBits = kFlag_External | kFlag_Private;
	if (!thisInline && !otherInline) {
		std::swap(fString, ioOther.fString);
		std::swap(fLength, ioOther.fLength);
		std::swap(fMaxLength, ioOther.fMaxLength);
		uint8 bits = fFlags & kBufferBits;
		fFlags = (fFlags & ~kBufferBits) | (ioOther.fFlags & kBufferBits);
		ioOther.fFlags = (ioOther.fFlags & ~kBufferBits) | bits;
	} else if (thisInline != otherInline) {
		VString& inlineOne = thisInline ? *this : ioOther;
		VString& heapOne = thisInline ? ioOther : *this;
		// When the inline text does not fit the other string's inline buffer
		// it needs a block: take it before anything moves, so that a refusal
		// leaves both strings as they were.
		VString staged;
		if (inlineOne.fLength > heapOne.fInlineMaxLength) {
			staged.FromUniString(inlineOne.fString, inlineOne.fLength);
			if (staged.fLength != inlineOne.fLength)
				return;
		}
		UniChar* buffer = heapOne.fString;
		VIndex length = heapOne.fLength;
		VIndex maxLength = heapOne.fMaxLength;
		uint8 bits = heapOne.fFlags & kBufferBits;
		heapOne._ResetToInline();
		if (staged.IsOnInlineBuffer()) {
			heapOne.FromUniString(inlineOne.fString, inlineOne.fLength);
		} else {
			heapOne.fString = staged.fString;
			heapOne.fLength = staged.fLength;
			heapOne.fMaxLength = staged.fMaxLength;
			heapOne.fFlags = (heapOne.fFlags & ~kBufferBits) | (staged.fFlags & kBufferBits);
			staged._ResetToInline();
		}
		inlineOne.fString = buffer;
		inlineOne.fLength = length;
		inlineOne.fMaxLength = maxLength;
		inlineOne.fFlags = (inlineOne.fFlags & ~kBufferBits) | bits;
	} else {
		VString saved(fString, fLength);
		FromUniString(ioOther.fString, ioOther.fLength);
		ioOther.FromUniString(saved.fString, saved.fLength);
	}
	_Touch();
	ioOther._Touch();
}

// ---------------------------------------------------------------------------
// Editing

void VString::_AppendUniCharSlow(UniChar inChar)
{
	if (fLength >= kMaxLength) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return;
	}
	if (!_EnsureSize(fLength + 1))
		return;
	fString[fLength++] = inChar;
	fString[fLength] = 0;
	_Touch();
}

void VString::AppendUniChars(const UniChar* inUniChars, VIndex inCount)
{
	if (inUniChars == nullptr || inCount <= 0)
		return;
	if (inCount > kMaxLength - fLength) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return;
	}
	if (inUniChars >= fString && inUniChars <= fString + fMaxLength) {
		// Appending a piece of our own text: the buffer may move.
		ptrdiff_t offset = inUniChars - fString;
		if (!_EnsureSize(fLength + inCount))
			return;
		inUniChars = fString + offset;
	} else if (!_EnsureSize(fLength + inCount)) {
		return;
	}
	CopyUnits(fString + fLength, inUniChars, inCount);
	fLength += inCount;
	fString[fLength] = 0;
	_Touch();
}

void VString::AppendUniCString(const UniChar* inUniCString)
{
	AppendUniChars(inUniCString, UniCStringLength(inUniCString));
}

bool VString::_AppendASCII(const char* inCString, size_t inLength)
{
	if (inLength == 0)
		return true;
	if (inLength > static_cast<size_t>(kMaxLength - fLength)) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return true;
	}
	VIndex count = static_cast<VIndex>(inLength);
	if (!_EnsureSize(fLength + count))
		return true;
	UniChar* dest = fString + fLength;
	const unsigned char* source = reinterpret_cast<const unsigned char*>(inCString);
	unsigned char seen = 0;
	for (VIndex i = 0; i < count; ++i) {
		seen |= source[i];
		dest[i] = source[i];
	}
	if ((seen & 0x80) != 0) {
		fString[fLength] = 0;
		return false;
	}
	fLength += count;
	fString[fLength] = 0;
	_Touch();
	return true;
}

void VString::AppendCString(const char* inCString)
{
	if (inCString == nullptr)
		return;
	size_t length = std::strlen(inCString);
	if (!_AppendASCII(inCString, length))
		AppendBlock(inCString, length, VTC_UTF_8);
}

void VString::Insert(UniChar inChar, VIndex inPos)
{
	if (inPos < 1 || inChar == 0)
		return;
	if (inPos > fLength) {
		AppendUniChar(inChar);
		return;
	}
	if (fLength >= kMaxLength) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return;
	}
	if (!_EnsureSize(fLength + 1))
		return;
	CopyUnits(fString + inPos, fString + inPos - 1, fLength - inPos + 1);
	fString[inPos - 1] = inChar;
	++fLength;
	fString[fLength] = 0;
	_Touch();
}

void VString::Insert(const VString& inString, VIndex inPos)
{
	if (inPos < 1)
		return;
	if (&inString == this) {
		VString copy(fString, fLength);
		Insert(copy, inPos);
		return;
	}
	if (inPos > fLength) {
		AppendString(inString);
		return;
	}
	VIndex count = inString.fLength;
	if (count == 0)
		return;
	if (count > kMaxLength - fLength) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return;
	}
	if (!_EnsureSize(fLength + count))
		return;
	CopyUnits(fString + inPos - 1 + count, fString + inPos - 1, fLength - inPos + 1);
	CopyUnits(fString + inPos - 1, inString.fString, count);
	fLength += count;
	fString[fLength] = 0;
	_Touch();
}

void VString::Remove(VIndex inPos, VIndex inCount)
{
	if (inPos < 1 || inCount < 0 || inPos > fLength)
		return;
	if (!_EnsureSize(fLength))
		return;
	if (static_cast<int64>(inPos) + inCount > fLength) {
		fLength = inPos - 1;
	} else {
		CopyUnits(fString + inPos - 1, fString + inPos - 1 + inCount, fLength - (inPos - 1 + inCount));
		fLength -= inCount;
	}
	fString[fLength] = 0;
	_Touch();
}

void VString::Replace(const VString& inString, VIndex inPos, VIndex inCount)
{
	if (inPos < 1 || inCount < 1 || inPos > fLength)
		return;
	if (&inString == this) {
		VString copy(fString, fLength);
		Replace(copy, inPos, inCount);
		return;
	}
	VIndex start = inPos - 1;
	VIndex end = static_cast<VIndex>(std::min<int64>(static_cast<int64>(start) + inCount, fLength));
	VIndex tail = fLength - end;
	int64 newLength = static_cast<int64>(start) + inString.fLength + tail;
	if (newLength > kMaxLength) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return;
	}
	if (!_EnsureSize(static_cast<VIndex>(std::max<int64>(newLength, fLength))))
		return;
	CopyUnits(fString + start + inString.fLength, fString + end, tail);
	CopyUnits(fString + start, inString.fString, inString.fLength);
	fLength = static_cast<VIndex>(newLength);
	fString[fLength] = 0;
	_Touch();
}

void VString::Truncate(VIndex inLength, bool inKeepSurrogatePairs)
{
	if (inKeepSurrogatePairs && inLength >= 1 && inLength <= fLength && IsHighSurrogate(fString[inLength - 1]))
		--inLength;
	if (inLength < 0)
		inLength = 0;
	if (inLength >= fLength)
		return;
	if (IsOnInlineBuffer() || (fFlags & kFlag_Private) != 0) {
		fLength = inLength;
		fString[fLength] = 0;
	} else if (_IsWritable()) {
		if (static_cast<int64>(fMaxLength) > static_cast<int64>(inLength) + inLength / 8 + 32) {
			VIndex oldLength = fLength;
			fLength = inLength;
			if (!_ReallocBuffer(inLength, true)) {
				fLength = oldLength;
				return;
			}
		} else {
			fLength = inLength;
		}
		fString[fLength] = 0;
	} else {
		if (!_ReallocBuffer(inLength, true))
			return;
		fLength = inLength;
		fString[fLength] = 0;
	}
	_Touch();
}

void VString::SubString(VIndex inPos, VIndex inCount)
{
	inPos = std::clamp(inPos, 1, fLength + 1);
	inCount = static_cast<VIndex>(std::clamp<int64>(inCount, 0, fLength - inPos + 1));
	if (inPos == 1) {
		Truncate(inCount);
		return;
	}
	if (!_EnsureSize(fLength))
		return;
	CopyUnits(fString, fString + inPos - 1, inCount);
	fLength = inCount;
	fString[fLength] = 0;
	_Touch();
}

void VString::GetSubString(VIndex inPos, VIndex inCount, VString& outString) const
{
	if (inPos < 1 || inCount < 1 || inPos > fLength) {
		outString.Clear();
		return;
	}
	inCount = static_cast<VIndex>(std::min<int64>(inCount, fLength - inPos + 1));
	outString.FromUniString(fString + inPos - 1, inCount);
}

VString VString::GetSubString(VIndex inPos, VIndex inCount) const
{
	VString result;
	GetSubString(inPos, inCount, result);
	return result;
}

VString VString::Before(VIndex inPos) const
{
	if (inPos < 1)
		return VString();
	if (inPos > fLength)
		return *this;
	return VString(fString, inPos - 1);
}

VString VString::After(VIndex inPos) const
{
	if (inPos < 1)
		return *this;
	if (inPos >= fLength)
		return VString();
	return VString(fString + inPos, fLength - inPos);
}

VString operator+(const VString& inLeft, const VString& inRight)
{
	VString result(inLeft);
	result.AppendString(inRight);
	return result;
}

// ---------------------------------------------------------------------------
// Debug dump and flat form

CharSet VString::DebugDump(char* ioBuffer, int32& ioSize) const
{
	int32 room = std::max(ioSize - 2, 0);
	int32 bytes = static_cast<int32>(std::min<int64>(static_cast<int64>(fLength) * 2, room)) & ~1;
	if (bytes > 0)
		std::memcpy(ioBuffer, fString, static_cast<size_t>(bytes));
	ioSize = bytes;
	return VTC_UTF_16;
}

const void* VString::LoadFromPtr(const void* inData, bool)
{
	int32 length;
	std::memcpy(&length, inData, sizeof(length));
	const char* units = static_cast<const char*>(inData) + sizeof(length);
	length = std::max(length, 0);
	if ((_IsWritable() && length <= fMaxLength) || _ReallocBuffer(length, false)) {
		std::memcpy(fString, units, static_cast<size_t>(length) * sizeof(UniChar));
		fLength = length;
		fString[fLength] = 0;
		_Touch();
	}
	return units + static_cast<size_t>(length) * sizeof(UniChar);
}

void* VString::WriteToPtr(void* ioData, bool, size_t inMax) const
{
	int32 length = fLength;
	if (inMax != 0) {
		// A limit too small for the count itself leaves room for nothing.
		if (inMax < sizeof(length))
			return ioData;
		length = static_cast<int32>(std::min<int64>(length, static_cast<int64>((inMax - 4) / 2)));
	}
	std::memcpy(ioData, &length, sizeof(length));
	char* units = static_cast<char*>(ioData) + sizeof(length);
	std::memcpy(units, fString, static_cast<size_t>(length) * sizeof(UniChar));
	return units + static_cast<size_t>(length) * sizeof(UniChar);
}

VSize VString::GetSpace(VSize inMax) const
{
	VSize space = 4 + static_cast<VSize>(fLength) * 2;
	return (inMax != 0 && inMax < space) ? inMax : space;
}

void* VString::ByteSwapPtr(void* inData, bool inFromNative)
{
	int32 length;
	std::memcpy(&length, inData, sizeof(length));
	ByteSwapUnalignedInPlace<int32>(inData, 1);
	if (!inFromNative)
		length = ByteSwap(length);
	char* units = static_cast<char*>(inData) + sizeof(length);
	length = std::max(length, 0);
	ByteSwapUnalignedInPlace<uint16>(units, static_cast<size_t>(length));
	return units + static_cast<size_t>(length) * 2;
}

} // namespace qirn
