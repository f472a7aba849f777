#include "core/VTextConverter_Latin1.h"

#include "core/TextUnits.h"

#include <algorithm>

namespace qirn {

namespace {

constexpr UniChar kReplacementCharacter = 0xFFFD;

} // namespace

bool VToUnicodeConverter_Latin1::Convert(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
										 UniChar* inDestination, VIndex inDestinationChars, VIndex* outProducedChars)
{
	const uint8* bytes = static_cast<const uint8*>(inSource);
	const VSize count = std::min(inSourceBytes, static_cast<VSize>(std::max(inDestinationChars, 0)));
	bool ok = true;
	for (VSize i = 0; i < count; ++i) {
		if (bytes[i] <= fLastByte) {
			inDestination[i] = bytes[i];
		} else {
			inDestination[i] = kReplacementCharacter;
			ok = false;
		}
	}
	*outBytesConsumed = count;
	*outProducedChars = static_cast<VIndex>(count);
	return ok && count == inSourceBytes;
}

bool VFromUnicodeConverter_Latin1::Convert(const UniChar* inSource, VIndex inSourceChars, VIndex* outCharsConsumed,
										   void* inBuffer, VSize inBufferSize, VSize* outBytesProduced)
{
	uint8* bytes = static_cast<uint8*>(inBuffer);
	VIndex consumed = 0;
	VSize produced = 0;
	// With no buffer the bytes the run needs are only counted.
	while (consumed < inSourceChars && (bytes == nullptr || produced < inBufferSize)) {
		UniChar unit = inSource[consumed];
		if (IsHighSurrogate(unit)) {
			if (consumed + 1 == inSourceChars)
				break;
			if (IsLowSurrogate(inSource[consumed + 1]))
				++consumed;
		}
		++consumed;
		// A character the set lacks is written as '?' and the run goes on: the
		// text is kept, as the other sets' converters keep it.
		if (bytes != nullptr)
			bytes[produced] = unit <= fLastByte ? static_cast<uint8>(unit) : static_cast<uint8>('?');
		++produced;
	}
	*outCharsConsumed = consumed;
	*outBytesProduced = produced;
	return consumed == inSourceChars;
}

} // namespace qirn
