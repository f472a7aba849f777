#include "core/VTextConverter_UTF32.h"

#include "core/VString.h"

#include <algorithm>
#include <cstring>

namespace qirn {

namespace {

inline uint32 LoadCell(const char* inBytes, bool inSwap)
{
	uint32 cell;
	std::memcpy(&cell, inBytes, 4);
	return inSwap ? __builtin_bswap32(cell) : cell;
}

inline void StoreCell(char* outBytes, uint32 inCell, bool inSwap)
{
	if (inSwap)
		inCell = __builtin_bswap32(inCell);
	std::memcpy(outBytes, &inCell, 4);
}

} // namespace

bool VToUnicodeConverter_UTF32::Convert(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
										UniChar* inDestination, VIndex inDestinationChars, VIndex* outProducedChars)
{
	const char* source = static_cast<const char*>(inSource);
	VSize cells = inSourceBytes / 4;
	VSize cell = 0;
	VIndex produced = 0;
	bool ok = true;
	for (; cell < cells; ++cell) {
		if (produced >= inDestinationChars) {
			ok = false;
			break;
		}
		uint32 value = LoadCell(source + 4 * cell, fSwap);
		if (value < 0x10000) {
			if (value >= 0xD800 && value <= 0xDFFF) {
				ok = false;
				break;
			}
			inDestination[produced++] = static_cast<UniChar>(value);
		} else if (value <= 0x10FFFF) {
			if (inDestinationChars - produced < 2) {
				ok = false;
				break;
			}
			inDestination[produced++] = static_cast<UniChar>(0xD800 + ((value - 0x10000) >> 10));
			inDestination[produced++] = static_cast<UniChar>(0xDC00 + (value & 0x3FF));
		} else {
			ok = false;
		}
	}
	*outBytesConsumed = 4 * cell;
	*outProducedChars = produced;
	return ok;
}

bool VFromUnicodeConverter_UTF32::Convert(const UniChar* inSource, VIndex inSourceChars, VIndex* outCharsConsumed,
										  void* inBuffer, VSize inBufferSize, VSize* outBytesProduced)
{
	char* dest = static_cast<char*>(inBuffer);
	VSize room = inBufferSize / 4;
	VSize written = 0;
	VIndex pos = 0;
	bool ok = true;
	while (pos < inSourceChars) {
		if (written >= room) {
			ok = false;
			break;
		}
		uint32 unit = inSource[pos];
		if (unit < 0xD800 || unit > 0xDFFF) {
			StoreCell(dest + 4 * written++, unit, fSwap);
			++pos;
		} else if (unit <= 0xDBFF && pos + 1 < inSourceChars && inSource[pos + 1] >= 0xDC00 &&
				   inSource[pos + 1] <= 0xDFFF) {
			StoreCell(dest + 4 * written++, (unit << 10) + inSource[pos + 1] - 0x35FDC00, fSwap);
			pos += 2;
		} else {
			ok = false;
			break;
		}
	}
	*outCharsConsumed = pos;
	*outBytesProduced = 4 * written;
	return ok && pos == inSourceChars;
}

bool VToUnicodeConverter_UTF32_Raw::ConvertString(const void* inSource, VSize inSourceBytes,
												  VSize* outBytesConsumed, VString& ioString)
{
	VSize cells = inSourceBytes / 4;
	VIndex oldLength = ioString.GetLength();
	if (cells > static_cast<VSize>(VString::kMaxLength - oldLength)) {
		if (outBytesConsumed != nullptr)
			*outBytesConsumed = 0;
		return false;
	}
	VIndex count = static_cast<VIndex>(cells);
	UniChar* dest = ioString.GetCPointerForWrite(oldLength + count);
	if (dest == nullptr) {
		if (outBytesConsumed != nullptr)
			*outBytesConsumed = 0;
		return false;
	}
	VSize consumed = 0;
	VIndex produced = 0;
	Convert(inSource, inSourceBytes, &consumed, dest + oldLength, count, &produced);
	ioString.Validate(oldLength + produced);
	if (outBytesConsumed != nullptr)
		*outBytesConsumed = consumed;
	return true;
}

bool VToUnicodeConverter_UTF32_Raw::Convert(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
											UniChar* inDestination, VIndex inDestinationChars,
											VIndex* outProducedChars)
{
	VSize cells = std::min<VSize>(inSourceBytes / 4, static_cast<VSize>(std::max(inDestinationChars, 0)));
	const char* source = static_cast<const char*>(inSource);
	for (VSize i = 0; i < cells; ++i)
		inDestination[i] = static_cast<UniChar>(LoadCell(source + 4 * i, fSwap));
	*outBytesConsumed = 4 * cells;
	*outProducedChars = static_cast<VIndex>(cells);
	return true;
}

bool VFromUnicodeConverter_UTF32_Raw::Convert(const UniChar* inSource, VIndex inSourceChars,
											  VIndex* outCharsConsumed, void* inBuffer, VSize inBufferSize,
											  VSize* outBytesProduced)
{
	VSize cells = std::min<VSize>(static_cast<VSize>(std::max(inSourceChars, 0)), inBufferSize / 4);
	char* dest = static_cast<char*>(inBuffer);
	for (VSize i = 0; i < cells; ++i)
		StoreCell(dest + 4 * i, inSource[i], fSwap);
	*outCharsConsumed = static_cast<VIndex>(cells);
	*outBytesProduced = 4 * cells;
	return true;
}

} // namespace qirn
