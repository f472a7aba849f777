// Value arrays in their stream form. The first input byte picks the byte
// order (bit 0) and the array's kind (the rest). What reads back is written,
// read again and written again to the same bytes. A read that answers
// success left no error on its stream.
#include "FuzzStreams.h"

#include "core/VArrayBlob.h"
#include "core/VArrayBoolean.h"
#include "core/VArrayByte.h"
#include "core/VArrayDuration.h"
#include "core/VArrayImage.h"
#include "core/VArrayLong.h"
#include "core/VArrayLong8.h"
#include "core/VArrayReal.h"
#include "core/VArrayString.h"
#include "core/VArrayTime.h"
#include "core/VArrayWord.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"

#include <memory>
#include <vector>

namespace {

using namespace qirn;

constexpr unsigned kKindCount = 11;

VArrayValue* NewArray(unsigned inKind)
{
	switch (inKind % kKindCount) {
		case 0: return new VArrayBoolean;
		case 1: return new VArrayByte;
		case 2: return new VArrayWord;
		case 3: return new VArrayLong;
		case 4: return new VArrayLong8;
		case 5: return new VArrayReal;
		case 6: return new VArrayDuration;
		case 7: return new VArrayTime;
		case 8: return new VArrayString;
		case 9: return new VArrayBlob;
		default: return new VArrayImage;
	}
}

VError Read(const void* inData, size_t inSize, bool inBigEndian, VArrayValue& outArray)
{
	return fuzz::ReadStream(inData, inSize, inBigEndian, [&](VStream& ioStream) { return outArray.ReadFromStream(&ioStream); });
}

std::vector<uint8_t> Write(const VArrayValue& inArray, bool inBigEndian)
{
	return fuzz::WriteStream(inBigEndian, [&](VStream& ioStream) { return inArray.WriteToStream(&ioStream); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	if (inSize == 0)
		return 0;
	fuzz::StFuzzInput input;
	const bool bigEndian = (inData[0] & 1) != 0;
	const unsigned kind = inData[0] >> 1;
	std::unique_ptr<VArrayValue> array(NewArray(kind));
	if (Read(inData + 1, inSize - 1, bigEndian, *array) != VE_OK)
		return 0;
	const std::vector<uint8_t> written = Write(*array, bigEndian);
	std::unique_ptr<VArrayValue> again(NewArray(kind));
	QIRN_FUZZ_CHECK(Read(written.data(), written.size(), bigEndian, *again) == VE_OK);
	QIRN_FUZZ_CHECK(again->GetCount() == array->GetCount());
	QIRN_FUZZ_CHECK(Write(*again, bigEndian) == written);
	return 0;
}
