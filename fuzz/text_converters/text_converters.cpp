// The text converters of every character set the kernel lists. The first
// input byte picks the set, the second the room given to a decoding in
// small pieces; the rest is decoded, encoded back and decoded again. What
// must hold: no more bytes are consumed than given, a decoding in pieces
// gives the same text as one in a single run, and text read from the set
// (nothing replaced by U+FFFD) encodes to bytes that decode to it again.
#include "FuzzSupport.h"

#include "core/TextUnits.h"
#include "core/VMemoryBuffer.h"
#include "core/VString.h"
#include "core/VTextConverter.h"
#include "core/VTextConverters.h"

#include <vector>

namespace {

using namespace qirn;

const std::vector<CharSet>& CharSets()
{
	static const std::vector<CharSet> sets = [] {
		std::vector<VString> names;
		std::vector<CharSet> found;
		VTextConverters::Get()->EnumCharsets(names, found);
		return found;
	}();
	return sets;
}

// Text a set can hold: no U+FFFD from a byte it could not read, and no
// lone surrogate (which no encoding but UTF-16 carries).
bool Representable(const VString& inText)
{
	const UniChar* units = inText.GetCPointer();
	const VIndex length = inText.GetLength();
	for (VIndex i = 0; i < length; ++i) {
		if (units[i] == 0xFFFD)
			return false;
		if (IsHighSurrogate(units[i]) && i + 1 < length && IsLowSurrogate(units[i + 1]))
			++i;
		else if (IsHighSurrogate(units[i]) || IsLowSurrogate(units[i]))
			return false;
	}
	return true;
}

struct StConverters {
	explicit StConverters(CharSet inCharSet)
		: fTo(VTextConverters::Get()->RetainToUnicodeConverter(inCharSet)),
		  fFrom(VTextConverters::Get()->RetainFromUnicodeConverter(inCharSet))
	{
	}
	~StConverters()
	{
		if (fTo != nullptr)
			fTo->Release();
		if (fFrom != nullptr)
			fFrom->Release();
	}
	StConverters(const StConverters&) = delete;
	StConverters& operator=(const StConverters&) = delete;

	VToUnicodeConverter* fTo;
	VFromUnicodeConverter* fFrom;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
	fuzz::StartKernel();
	// The registry and its shared converters live for the whole run.
	CharSets();
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	if (inSize < 2 || CharSets().empty())
		return 0;
	fuzz::StFuzzInput input;
	const CharSet charSet = CharSets()[inData[0] % CharSets().size()];
	const VIndex pieceRoom = 2 + inData[1] % 15;
	const uint8_t* bytes = inData + 2;
	const VSize count = inSize - 2;

	StConverters converters(charSet);
	QIRN_FUZZ_CHECK(converters.fTo != nullptr && converters.fFrom != nullptr);
	if (!converters.fTo->IsValid() || !converters.fFrom->IsValid())
		return 0;

	VString text;
	VSize consumed = 0;
	converters.fTo->ConvertString(bytes, count, &consumed, text);
	QIRN_FUZZ_CHECK(consumed <= count);

	// In pieces of a few units, each from where the last stopped.
	if (!converters.fTo->IsStateful()) {
		VString pieces;
		VSize at = 0;
		std::vector<UniChar> room(static_cast<size_t>(pieceRoom));
		while (at < consumed) {
			VSize used = 0;
			VIndex produced = 0;
			converters.fTo->Convert(bytes + at, count - at, &used, room.data(), pieceRoom, &produced);
			QIRN_FUZZ_CHECK(used <= count - at);
			QIRN_FUZZ_CHECK(produced >= 0 && produced <= pieceRoom);
			pieces.AppendUniChars(room.data(), produced);
			if (used == 0)
				break;
			at += used;
		}
		if (at >= consumed)
			QIRN_FUZZ_CHECK(pieces.EqualToStringRaw(text));
		else
			QIRN_FUZZ_CHECK(text.BeginsWithRawString(pieces));
	}

	VMemoryBuffer<> encoded;
	converters.fFrom->ConvertToBuffer(text.GetCPointer(), text.GetLength(), encoded, 0);
	VString again;
	VSize consumedAgain = 0;
	converters.fTo->ConvertString(encoded.GetDataPtr(), static_cast<VSize>(encoded.GetDataSize()), &consumedAgain,
								  again);
	QIRN_FUZZ_CHECK(consumedAgain <= static_cast<VSize>(encoded.GetDataSize()));
	if (Representable(text)) {
		QIRN_FUZZ_CHECK(consumedAgain == static_cast<VSize>(encoded.GetDataSize()));
		QIRN_FUZZ_CHECK(again.EqualToStringRaw(text));
	}
	return 0;
}
