#include "core/VTextConverter.h"

#include "core/VByteSwap.h"
#include "core/VMemory.h"
#include "core/VString.h"
#include "runtime/VError.h"

#include <algorithm>
#include <cstring>

namespace qirn {

namespace {

void ThrowConversionError(const char* inText)
{
	VString text(inText);
	_ThrowError(VE_TEXT_CONVERSION_FAILED, &text);
}

bool GrowForDecoding(VString& ioString, int64 inUnits)
{
	if (inUnits > VString::kMaxLength || !ioString._EnsureSize(static_cast<VIndex>(inUnits))) {
		ThrowConversionError("conversion failed (EnsureSize failed).");
		return false;
	}
	return true;
}

} // namespace

// ---------------------------------------------------------------------------

bool VToUnicodeConverter::ConvertString(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
										VString& ioString)
{
	if (outBytesConsumed != nullptr)
		*outBytesConsumed = 0;
	VIndex oldLength = ioString.GetLength();
	if (!GrowForDecoding(ioString, static_cast<int64>(oldLength) + static_cast<int64>(inSourceBytes) + 1))
		return false;
	const char* source = static_cast<const char*>(inSource);
	VSize remaining = inSourceBytes;
	VSize consumedTotal = 0;
	int64 producedTotal = 0;
	int64 room = static_cast<int64>(inSourceBytes);
	while (true) {
		VSize consumed = 0;
		VIndex produced = 0;
		UniChar* dest = const_cast<UniChar*>(ioString.GetCPointer()) + oldLength + producedTotal;
		Convert(source + consumedTotal, remaining, &consumed, dest,
				static_cast<VIndex>(std::min<int64>(room, VString::kMaxLength)), &produced);
		consumedTotal += consumed;
		producedTotal += produced;
		if (consumed == 0 || produced == 0)
			break;
		room -= produced;
		remaining -= consumed;
		if (consumedTotal >= inSourceBytes)
			break;
		if (room < static_cast<int64>(remaining)) {
			ioString.Validate(static_cast<VIndex>(oldLength + producedTotal));
			if (!GrowForDecoding(ioString, oldLength + producedTotal + static_cast<int64>(remaining) + 100 + 1))
				return false;
			room = static_cast<int64>(remaining) + 100;
		}
	}
	ioString.Validate(static_cast<VIndex>(oldLength + producedTotal));
	if (outBytesConsumed != nullptr)
		*outBytesConsumed = consumedTotal;
	return true;
}

bool VFromUnicodeConverter::ConvertRealloc(const UniChar* inSource, VIndex inSourceChars, void*& ioBuffer,
										   VSize& ioBytesInBuffer, VSize inTrailingBytes)
{
	VSize size = GetCharSize() * (static_cast<VSize>(std::max(inSourceChars, 0)) + 2) + ioBytesInBuffer;
	void* block = ioBuffer == nullptr ? VMemory::NewPtr(size + inTrailingBytes, 'memb')
									  : VMemory::SetPtrSize(ioBuffer, size + inTrailingBytes);
	if (block == nullptr) {
		ThrowConversionError("mem failure");
		return false;
	}
	ioBuffer = block;
	while (inSourceChars > 0) {
		VIndex consumed = 0;
		VSize produced = 0;
		if (!Convert(inSource, inSourceChars, &consumed, static_cast<char*>(ioBuffer) + ioBytesInBuffer,
					 size - ioBytesInBuffer, &produced))
			return false;
		ioBytesInBuffer += produced;
		inSource += consumed;
		inSourceChars -= consumed;
		if (produced == 0 || consumed == 0) {
			// The buffer was too small for the next character: grow again,
			// but only when growing gives more room than there was. A run
			// that ends inside a character (a high surrogate without its low
			// half) stops there instead of growing for ever.
			VSize room = size - ioBytesInBuffer;
			VSize grownRoom = GetCharSize() * (static_cast<VSize>(inSourceChars) + 2);
			if (inSourceChars > 0 && room < 16 && grownRoom > room)
				return ConvertRealloc(inSource, inSourceChars, ioBuffer, ioBytesInBuffer, inTrailingBytes);
			break;
		}
	}
	return true;
}

bool VFromUnicodeConverter::ConvertToBuffer(const UniChar* inSource, VIndex inSourceChars,
											VMemoryBuffer<>& ioBuffer, VSize inTrailingBytes)
{
	VSize used = ioBuffer.GetDataSize();
	VSize size = GetCharSize() * (static_cast<VSize>(std::max(inSourceChars, 0)) + 2) + used;
	if (!ioBuffer.SetAllocatedSize(size + inTrailingBytes)) {
		ThrowConversionError("mem failure");
		return false;
	}
	// The room is made part of the data while converting (SetSize zeroes
	// what it adds) and cut back to what was produced afterwards.
	ioBuffer.SetSize(size);
	bool ok = true;
	while (inSourceChars > 0) {
		VIndex consumed = 0;
		VSize produced = 0;
		ok = Convert(inSource, inSourceChars, &consumed, static_cast<char*>(ioBuffer.GetDataPtr()) + used,
					 size - used, &produced);
		used += produced;
		inSource += consumed;
		inSourceChars -= consumed;
		if (!ok || produced == 0 || consumed == 0)
			break;
	}
	ioBuffer.SetSize(used);
	return ok;
}

// ---------------------------------------------------------------------------
// UTF-16, same order

bool VToUnicodeConverter_Null::ConvertString(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
											 VString& ioString)
{
	bool ok = ioString.AppendBlock(inSource, inSourceBytes, VTC_UTF_16);
	// A last odd byte is half a unit: left for the caller, as any cut
	// character is, never counted as read.
	if (outBytesConsumed != nullptr)
		*outBytesConsumed = ok ? inSourceBytes & ~VSize(1) : 0;
	return ok;
}

bool VToUnicodeConverter_Null::Convert(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
									   UniChar* inDestination, VIndex inDestinationChars, VIndex* outProducedChars)
{
	VSize bytes = std::min<VSize>(inSourceBytes, 2 * static_cast<VSize>(std::max(inDestinationChars, 0))) & ~VSize(1);
	if (bytes > 0)
		std::memcpy(inDestination, inSource, bytes);
	*outBytesConsumed = bytes;
	*outProducedChars = static_cast<VIndex>(bytes / 2);
	return true;
}

bool VFromUnicodeConverter_Null::Convert(const UniChar* inSource, VIndex inSourceChars, VIndex* outCharsConsumed,
										 void* inBuffer, VSize inBufferSize, VSize* outBytesProduced)
{
	VSize bytes = std::min<VSize>(2 * static_cast<VSize>(std::max(inSourceChars, 0)), inBufferSize) & ~VSize(1);
	if (bytes > 0)
		std::memcpy(inBuffer, inSource, bytes);
	*outCharsConsumed = static_cast<VIndex>(bytes / 2);
	*outBytesProduced = bytes;
	return true;
}

// ---------------------------------------------------------------------------
// UTF-16, other order

bool VToUnicodeConverter_Swap::ConvertString(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
											 VString& ioString)
{
	VIndex oldLength = ioString.GetLength();
	bool ok = ioString.AppendBlock(inSource, inSourceBytes, VTC_UTF_16);
	if (ok) {
		UniChar* units = ioString.GetCPointerForWrite();
		if (units != nullptr)
			ByteSwapUnalignedInPlace<uint16>(units + oldLength, static_cast<VSize>(ioString.GetLength() - oldLength));
	}
	if (outBytesConsumed != nullptr)
		*outBytesConsumed = ok ? inSourceBytes & ~VSize(1) : 0;
	return ok;
}

bool VToUnicodeConverter_Swap::Convert(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
									   UniChar* inDestination, VIndex inDestinationChars, VIndex* outProducedChars)
{
	VToUnicodeConverter_Null copier;
	copier.Convert(inSource, inSourceBytes, outBytesConsumed, inDestination, inDestinationChars, outProducedChars);
	ByteSwapUnalignedInPlace<uint16>(inDestination, static_cast<VSize>(*outProducedChars));
	return true;
}

bool VFromUnicodeConverter_Swap::Convert(const UniChar* inSource, VIndex inSourceChars, VIndex* outCharsConsumed,
										 void* inBuffer, VSize inBufferSize, VSize* outBytesProduced)
{
	VFromUnicodeConverter_Null copier;
	copier.Convert(inSource, inSourceChars, outCharsConsumed, inBuffer, inBufferSize, outBytesProduced);
	ByteSwapUnalignedInPlace<uint16>(inBuffer, *outBytesProduced / 2);
	return true;
}

// ---------------------------------------------------------------------------

bool VToUnicodeConverter_Void::ConvertString(const void*, VSize, VSize* outBytesConsumed, VString&)
{
	if (outBytesConsumed != nullptr)
		*outBytesConsumed = 0;
	return false;
}

bool VToUnicodeConverter_Void::Convert(const void*, VSize, VSize* outBytesConsumed, UniChar*, VIndex,
									   VIndex* outProducedChars)
{
	*outBytesConsumed = 0;
	*outProducedChars = 0;
	return false;
}

bool VFromUnicodeConverter_Void::Convert(const UniChar*, VIndex, VIndex* outCharsConsumed, void*, VSize,
										 VSize* outBytesProduced)
{
	*outCharsConsumed = 0;
	*outBytesProduced = 0;
	return false;
}

} // namespace qirn
