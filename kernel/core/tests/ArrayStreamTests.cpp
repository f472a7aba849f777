// The stream forms of the arrays: byte layouts in both orders, round trips
// of every kind, and streams that lie about their counts.
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
#include "files/tests/StreamBytes.h"
#include "testing/RaisedErrors.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qirn {
namespace {

using testing::Written;
using Bytes = std::vector<uint8>;

constexpr sLONG kVVAL = 'VVAL';

Bytes Cat(std::initializer_list<Bytes> inParts)
{
	Bytes all;
	for (const Bytes& part : inParts)
		all.insert(all.end(), part.begin(), part.end());
	return all;
}

Bytes Write(const VArrayValue& inArray, bool inBigEndian, sLONG inParam)
{
	return Written(inBigEndian, [&](VStream& s) { EXPECT_EQ(inArray.WriteToStream(&s, inParam), VE_OK); });
}

// Reads the bytes into inArray; answers the result and the bytes consumed.
std::pair<VError, sLONG8> Read(VArrayValue& inArray, const Bytes& inBytes, bool inBigEndian)
{
	VConstPtrStream stream(inBytes.data(), inBytes.size());
	if (inBigEndian)
		stream.SetBigEndian();
	EXPECT_EQ(stream.OpenReading(), VE_OK);
	VError err = inArray.ReadFromStream(&stream);
	return {err, stream.GetPos()};
}

Bytes Write(const VArrayValue& inArray, bool inBigEndian, sLONG inParam = 0);

// Element by element through values of the element kind (an absent string
// or blob equals no value, itself included; an absent blob comes back as an
// empty one), and as the same stream form.
void ExpectSameElements(const VArrayValue& inA, const VArrayValue& inB)
{
	ASSERT_EQ(inA.GetCount(), inB.GetCount());
	for (sLONG i = 1; i <= inA.GetCount(); ++i) {
		std::unique_ptr<VValueSingle> value(inA.CloneValue(i));
		if (inA.CompareTo(*value, true, i) == CR_EQUAL) {
			EXPECT_EQ(inB.CompareTo(*value, true, i), CR_EQUAL) << "element " << i;
		}
	}
	EXPECT_EQ(Write(inA, true), Write(inB, true));
}

struct KindCase {
	const char* fName;
	std::function<VArrayValue*()> fMake;
	Bytes fBigEndianElements;
};

std::vector<KindCase> KindCases()
{
	return {
		{"boolean",
		 [] {
			 auto* a = new VArrayBoolean;
			 for (uint8 b : {1, 0, 1, 1, 0, 0, 0, 0, 1})
				 a->AppendBoolean(b);
			 return a;
		 },
		 {0, 0, 0, 9, 0x0D, 0x01}},
		{"byte",
		 [] {
			 auto* a = new VArrayByte;
			 a->AppendByte(1);
			 a->AppendByte(-2);
			 return a;
		 },
		 {0, 0, 0, 2, 0x01, 0xFE}},
		{"word",
		 [] {
			 auto* a = new VArrayWord;
			 a->AppendWord(1);
			 a->AppendWord(-2);
			 return a;
		 },
		 {0, 0, 0, 2, 0, 1, 0xFF, 0xFE}},
		{"long",
		 [] {
			 auto* a = new VArrayLong;
			 a->AppendLong(1);
			 a->AppendLong(-2);
			 return a;
		 },
		 {0, 0, 0, 2, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFE}},
		{"long8",
		 [] {
			 auto* a = new VArrayLong8;
			 a->AppendLong8(0x0102030405060708LL);
			 return a;
		 },
		 {0, 0, 0, 1, 1, 2, 3, 4, 5, 6, 7, 8}},
		{"real",
		 [] {
			 auto* a = new VArrayReal;
			 a->AppendReal(1.5);
			 return a;
		 },
		 {0, 0, 0, 1, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0}},
		{"time",
		 [] {
			 auto* a = new VArrayTime;
			 VTime t;
			 t.FromStamp(0x07E8010200000010ULL);
			 a->AppendTime(t);
			 return a;
		 },
		 {0, 0, 0, 1, 0x07, 0xE8, 0x01, 0x02, 0, 0, 0, 0x10}},
		{"duration",
		 [] {
			 auto* a = new VArrayDuration;
			 a->AppendDuration(VDuration(-1));
			 return a;
		 },
		 {0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
		{"string",
		 [] {
			 auto* a = new VArrayString(2);
			 a->FromString(VString("x"), 1);
			 return a;
		 },
		 {0, 0, 0, 2, 0, 0, 0, 2, 0xFF, 0xFF, 0xFF, 0xFF, 0, 'x', 'N', 'U', 'L', 'L'}},
		{"blob",
		 [] {
			 auto* a = new VArrayBlob(3);
			 a->FromValue(VBlobWithPtr("ab", 2), 1);
			 a->FromValue(VBlobWithPtr(), 3);
			 return a;
		 },
		 {0, 0, 0, 3, 0, 0, 0, 2, 'a', 'b', 0, 0, 0, 0, 0, 0, 0, 0}},
	};
}

TEST(ArrayStream, EveryKindWritesItsLayoutAndReadsBackInBothByteOrders)
{
	for (const KindCase& c : KindCases()) {
		SCOPED_TRACE(c.fName);
		std::unique_ptr<VArrayValue> array(c.fMake());
		EXPECT_EQ(Write(*array, true), c.fBigEndianElements);
		EXPECT_EQ(Write(*array, true, kVVAL), Cat({{0, 0, 0xFF, 0xFF}, c.fBigEndianElements}));
		for (bool bigEndian : {true, false}) {
			Bytes bytes = Write(*array, bigEndian);
			std::unique_ptr<VValue> value(VValue::NewValueFromValueKind(array->GetValueInfo()->GetKind()));
			VArrayValue* back = static_cast<VArrayValue*>(value.get());
			auto [err, consumed] = Read(*back, bytes, bigEndian);
			EXPECT_EQ(err, VE_OK);
			EXPECT_EQ(consumed, static_cast<sLONG8>(bytes.size()));
			ExpectSameElements(*array, *back);
		}
	}
}

TEST(ArrayStream, LittleEndianNumbersAreReversed)
{
	VArrayLong longs;
	longs.AppendLong(1);
	EXPECT_EQ(Write(longs, false), (Bytes{1, 0, 0, 0, 1, 0, 0, 0}));
	VArrayString strings(1);
	EXPECT_EQ(Write(strings, false), (Bytes{1, 0, 0, 0, 'L', 'L', 'U', 'N'}));
}

TEST(ArrayStream, EmptyBooleansStreamOnlyTheirCount)
{
	VArrayBoolean empty;
	EXPECT_EQ(Write(empty, true), (Bytes{0, 0, 0, 0}));
	VArrayBoolean back(3);
	Bytes bytes = {0, 0, 0, 0, 0xAA};
	auto [err, consumed] = Read(back, bytes, true);
	EXPECT_EQ(err, VE_OK);
	EXPECT_EQ(consumed, 4);
	EXPECT_EQ(back.GetCount(), 0);
	VArrayBoolean eight;
	for (int i = 0; i < 8; ++i)
		eight.AppendBoolean(1);
	EXPECT_EQ(Write(eight, true), (Bytes{0, 0, 0, 8, 0xFF, 0x00}));
}

TEST(ArrayStream, AStringArrayReadsAbsentElementsOverPresentOnes)
{
	VArrayString target(3);
	for (sLONG i = 1; i <= 3; ++i)
		target.FromString(VString("old"), i);
	Bytes bytes = {0, 0, 0, 2, 'N', 'U', 'L', 'L', 0, 0, 0, 2, 0xFF, 0xFF, 0xFF, 0xFF, 0, 'y'};
	EXPECT_EQ(Read(target, bytes, true).first, VE_OK);
	ASSERT_EQ(target.GetCount(), 2);
	EXPECT_EQ(reinterpret_cast<VString**>(target.LockAndGetData())[0], nullptr);
	VString text;
	target.GetString(text, 2);
	EXPECT_EQ(to_string(text), "y");
}

TEST(ArrayStream, StreamsThatLieAboutTheirCountsAreRefusedBeforeAnythingIsSized)
{
	struct Case {
		const char* fName;
		std::function<VArrayValue*()> fMake;
		Bytes fBytes;
		VError fError;
	};
	const Case cases[] = {
		{"negative count", [] { return new VArrayLong; }, {0xFF, 0xFF, 0xFF, 0xFE, 0, 0, 0, 1}, VE_STREAM_EOF},
		{"huge count", [] { return new VArrayLong; }, {0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 0, 1}, VE_STREAM_EOF},
		{"count beyond the bytes", [] { return new VArrayReal; }, {0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0}, VE_STREAM_EOF},
		{"huge booleans", [] { return new VArrayBoolean; }, {0x7F, 0xFF, 0xFF, 0xFF, 0}, VE_STREAM_EOF},
		{"huge strings", [] { return new VArrayString; }, {0x7F, 0xFF, 0xFF, 0xFF, 'N', 'U', 'L', 'L'},
		 VE_STREAM_EOF},
		{"string length beyond the bytes",
		 [] { return new VArrayString; },
		 {0, 0, 0, 1, 0, 0, 0, 2, 0x80, 0, 0, 1, 0, 'x'},
		 VE_STREAM_EOF},
		{"negative pictures", [] { return new VArrayImage; }, {0xFF, 0xFF, 0xFF, 0xFF}, VE_STREAM_EOF},
		{"no count at all", [] { return new VArrayWord; }, {0, 0}, VE_STREAM_EOF},
		{"huge blobs", [] { return new VArrayBlob; }, {0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}, VE_STREAM_EOF},
		{"blob length beyond the bytes", [] { return new VArrayBlob; }, {0, 0, 0, 1, 0x7F, 0, 0, 0, 1}, VE_STREAM_EOF},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		testing::RaisedErrors errors;
		std::unique_ptr<VArrayValue> array(c.fMake());
		array->SetCount(1);
		EXPECT_EQ(Read(*array, c.fBytes, true).first, c.fError);
		EXPECT_LE(array->GetDataSize(), 16);
	}
}

// A stream that claims more bytes than any array could take: zeros after a
// big-endian count.
class EndlessStream : public VStream {
public:
	explicit EndlessStream(sLONG inCount) : fCount(inCount) {}

protected:
	VError DoPutData(const void*, VSize) override { return VE_STREAM_CANNOT_WRITE; }
	VError DoGetData(void* outBuffer, VSize* ioCount) override
	{
		uint8* bytes = static_cast<uint8*>(outBuffer);
		for (VSize i = 0; i < *ioCount; ++i) {
			const sLONG8 at = GetPos() + static_cast<sLONG8>(i);
			bytes[i] = at < 4 ? static_cast<uint8>(static_cast<uLONG>(fCount) >> (8 * (3 - at))) : 0;
		}
		return VE_OK;
	}
	sLONG8 DoGetSize() override { return 1LL << 40; }
	VError DoSetSize(sLONG8) override { return VE_STREAM_CANNOT_WRITE; }

private:
	sLONG fCount;
};

TEST(ArrayStream, ACountTheStorageCannotTakeAnswersMemoryFull)
{
	testing::RaisedErrors errors;
	EndlessStream stream(1 << 28); // 2^31 bytes of 8-byte elements
	stream.SetBigEndian();
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	VArrayLong8 array(2);
	EXPECT_EQ(array.ReadFromStream(&stream), VE_MEMORY_FULL);
	EXPECT_EQ(array.GetCount(), 2);
	EXPECT_EQ(stream.GetPos(), 4);
}

TEST(ArrayStream, EveryCutOfAStreamEndsInAnErrorAndAWholeArray)
{
	for (const KindCase& c : KindCases()) {
		SCOPED_TRACE(c.fName);
		std::unique_ptr<VArrayValue> array(c.fMake());
		for (bool bigEndian : {true, false}) {
			const Bytes bytes = Write(*array, bigEndian);
			for (size_t cut = 0; cut < bytes.size(); ++cut) {
				testing::RaisedErrors errors;
				std::unique_ptr<VValue> value(VValue::NewValueFromValueKind(array->GetValueInfo()->GetKind()));
				VArrayValue* back = static_cast<VArrayValue*>(value.get());
				Bytes part(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut));
				EXPECT_NE(Read(*back, part, bigEndian).first, VE_OK) << "cut at " << cut;
				// What was read is held whole: every element can be taken out.
				for (sLONG i = 1; i <= back->GetCount(); ++i)
					std::unique_ptr<VValueSingle>(back->CloneValue(i));
			}
		}
	}
}

TEST(ArrayStream, ABlobArrayReadsIntoOwnedBlobs)
{
	const char bytes[] = "view";
	VArrayBlob target(2);
	target.FromValue(VConstBlobWithPtr(bytes, 4), 1);
	Bytes stream = {0, 0, 0, 1, 0, 0, 0, 3, 'n', 'e', 'w'};
	EXPECT_EQ(Read(target, stream, true).first, VE_OK);
	ASSERT_EQ(target.GetCount(), 1);
	VBlobWithPtr element;
	target.GetValue(element, 1);
	ASSERT_EQ(element.GetSize(), 3u);
	char read[3];
	EXPECT_EQ(element.GetData(read, 3, 0), VE_OK);
	EXPECT_EQ(std::string(read, 3), "new");
	EXPECT_EQ(std::string(bytes), "view");
}

TEST(ArrayStream, ArraysTravelAsValuesByKind)
{
	VArrayString strings(1);
	strings.FromString(VString("v"), 1);
	VPtrStream stream;
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	ASSERT_EQ(stream.PutValue(strings), VE_OK);
	ASSERT_EQ(stream.CloseWriting(), VE_OK);
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	std::unique_ptr<VValue> value(stream.GetValue());
	ASSERT_NE(value, nullptr);
	VArrayString* back = dynamic_cast<VArrayString*>(value.get());
	ASSERT_NE(back, nullptr);
	ExpectSameElements(strings, *back);
}

TEST(ArrayStream, PicturesWriteNoKindAndReadBackEmptyWithAnError)
{
	VArrayImage pictures(2);
	EXPECT_EQ(Write(pictures, true, kVVAL), (Bytes{0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
	VArrayImage empty;
	EXPECT_EQ(Write(empty, true, kVVAL), (Bytes{0, 0, 0, 0}));
	VArrayImage back(1);
	EXPECT_EQ(Read(back, Write(empty, true), true).first, VE_OK);
	EXPECT_EQ(back.GetCount(), 0);
	testing::RaisedErrors errors;
	VArrayImage refused(1);
	EXPECT_EQ(Read(refused, Write(pictures, true), true).first, VE_UNIMPLEMENTED);
	EXPECT_EQ(refused.GetCount(), 0);
}

} // namespace
} // namespace qirn
