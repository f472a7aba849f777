#include "core/VBoolean.h"
#include "core/VByte.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VWord.h"
#include "files/VPtrStream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace qirn {
namespace {

std::string Text(const VString& inString)
{
	return to_string(inString);
}

TEST(ScalarValues, GettersFollowTheTargetWidth)
{
	VLong8 big(0x123456789ALL);
	EXPECT_EQ(big.GetLong(), 0x3456789A);
	EXPECT_EQ(big.GetWord(), 0x789A);
	EXPECT_EQ(big.GetByte(), static_cast<sBYTE>(0x9A));
	EXPECT_EQ(big.GetBoolean(), 1);

	VByte minus(static_cast<sBYTE>(-1));
	EXPECT_EQ(minus.GetLong8(), -1);
	EXPECT_EQ(minus.GetReal(), -1.0);

	VReal real(-3.9);
	EXPECT_EQ(real.GetLong(), -3);
	EXPECT_EQ(real.GetLong8(), -3);
	EXPECT_EQ(real.GetBoolean(), 1);
	EXPECT_EQ(VReal(std::nan("")).GetBoolean(), 1);
	EXPECT_EQ(VReal(0.0).GetBoolean(), 0);
	// Out of range and NaN saturate rather than being undefined.
	EXPECT_EQ(VReal(1e300).GetLong(), std::numeric_limits<sLONG>::max());
	EXPECT_EQ(VReal(std::nan("")).GetLong8(), 0);

	VBoolean flag;
	flag.FromByte(2);
	EXPECT_EQ(flag.GetLong(), 2);
	char flat = 0;
	flag.WriteToPtr(&flat, false, 1);
	EXPECT_EQ(flat, 1);
}

TEST(ScalarValues, SettersStoreClearNullAndSetDirty)
{
	VWord word;
	word.SetNull(true);
	word.SetDirty(false);
	word.FromLong(0x12345);
	EXPECT_EQ(word.Get(), 0x2345);
	EXPECT_FALSE(word.IsNull());
	EXPECT_TRUE(word.IsDirty());
	word.FromReal(-70000.7);
	EXPECT_EQ(word.Get(), static_cast<sWORD>(-70000));

	VBoolean flag;
	flag.FromLong(256);
	EXPECT_EQ(flag.Get(), 1);
	flag.FromReal(std::nan(""));
	EXPECT_EQ(flag.Get(), 1);

	// From a value the source's null flag comes along.
	VLong target(5);
	VReal source(7.9);
	source.SetNull(true);
	target.FromValue(source);
	EXPECT_EQ(target.Get(), 7);
	EXPECT_TRUE(target.IsNull());

	// A null text makes a Long8 or a Real null and keeps the datum.
	VLong8 long8(9);
	long8.FromString(VString(true));
	EXPECT_TRUE(long8.IsNull());
	EXPECT_EQ(long8.Get(), 9);
	long8.FromString(VString("123456789012"));
	EXPECT_FALSE(long8.IsNull());
	EXPECT_EQ(long8.Get(), 123456789012LL);

	VWord fromText;
	fromText.FromString(VString("70000"));
	EXPECT_EQ(fromText.Get(), static_cast<sWORD>(70000));
}

// An assignment is a setter: the source's datum and null flag, and dirty,
// whichever of the two values was null.
template <class T>
void CheckAssignment(typename T::Datum inTargetDatum, typename T::Datum inSourceDatum)
{
	for (bool targetNull : {false, true}) {
		for (bool sourceNull : {false, true}) {
			SCOPED_TRACE(std::string(targetNull ? "null" : "non-null") + " target, " +
						 (sourceNull ? "null" : "non-null") + " source");
			T target(inTargetDatum);
			target.SetNull(targetNull);
			target.SetDirty(false);
			T source(inSourceDatum);
			source.SetNull(sourceNull);
			source.SetDirty(false);
			target = source;
			EXPECT_EQ(target.Get(), inSourceDatum);
			EXPECT_EQ(target.IsNull(), sourceNull);
			EXPECT_TRUE(target.IsDirty());
		}
	}
}

TEST(ScalarValues, AssignmentCopiesDatumAndNullFlagAndSetsDirty)
{
	{
		SCOPED_TRACE("VBoolean");
		CheckAssignment<VBoolean>(0, 1);
	}
	{
		SCOPED_TRACE("VByte");
		CheckAssignment<VByte>(3, -7);
	}
	{
		SCOPED_TRACE("VWord");
		CheckAssignment<VWord>(3, -700);
	}
	{
		SCOPED_TRACE("VLong");
		CheckAssignment<VLong>(3, 5);
	}
	{
		SCOPED_TRACE("VLong8");
		CheckAssignment<VLong8>(3, 1LL << 40);
	}
	{
		SCOPED_TRACE("VReal");
		CheckAssignment<VReal>(3.0, -2.5);
	}
}

TEST(ScalarValues, TextForms)
{
	VString text;
	VLong(-42).GetString(text);
	EXPECT_EQ(Text(text), "-42");

	struct RealCase {
		double fValue;
		const char* fXML;
		const char* fJSON;
	};
	const RealCase cases[] = {
		{3.0, "3", "3"},
		{9007199254740992.0, "9.007199254741E+15", "9.007199254741E+15"},
		{-0.0, "0", "0"},
		{0.1, "0.1", "0.1"},
		{1e20, "1E+20", "1E+20"},
		{1.0 / 3, "0.33333333333333", "0.33333333333333"},
		{std::nan(""), "NaN", "null"},
		{-INFINITY, "-INF", "null"},
		{INFINITY, "INF", "null"},
	};
	for (const RealCase& c : cases) {
		VString xml;
		VString json;
		VReal(c.fValue).GetXMLString(xml, 0);
		VReal(c.fValue).GetJSONString(json, 0);
		EXPECT_EQ(Text(xml), c.fXML) << c.fValue;
		EXPECT_EQ(Text(json), c.fJSON) << c.fValue;
	}

	VReal real(4.0);
	EXPECT_TRUE(real.FromXMLString(VString("1,5")));
	EXPECT_EQ(real.Get(), 1.5);
	EXPECT_FALSE(real.FromXMLString(VString("1.5x")));
	EXPECT_EQ(real.Get(), 1.5);
	EXPECT_TRUE(real.FromXMLString(VString("")));
	EXPECT_EQ(real.Get(), 0.0);
	real.FromJSONString(VString("abc"), 0);
	EXPECT_EQ(real.Get(), 0.0);

	VBoolean flag;
	EXPECT_TRUE(flag.FromXMLString(VString("TRUE")));
	EXPECT_EQ(flag.Get(), 1);
	EXPECT_FALSE(flag.FromXMLString(VString("yes")));
	EXPECT_EQ(flag.Get(), 1);
	flag.SetNull(true);
	EXPECT_EQ(flag.FromJSONString(VString("yes"), 0), VE_OK);
	EXPECT_EQ(flag.Get(), 0);
	EXPECT_FALSE(flag.IsNull());
	flag.GetXMLString(text, 0);
	EXPECT_EQ(Text(text), "false");
}

TEST(ScalarValues, Comparisons)
{
	EXPECT_EQ(VReal(1.0).CompareTo(VReal(1.0000005)), CR_EQUAL);
	EXPECT_EQ(VReal(1.0).CompareTo(VReal(1.000002)), CR_SMALLER);
	EXPECT_EQ(VLong(3).CompareTo(VReal(2.9)), CR_BIGGER);	// 2.9 read as a Long: 2
	EXPECT_EQ(VBoolean(true).CompareTo(VBoolean(false)), CR_BIGGER);
	EXPECT_TRUE(VLong8(1LL << 40).EqualTo(VLong8(1LL << 40)));

	VReal a(1.0);
	VReal b(1.05);
	VCompareOptions options;
	EXPECT_EQ(a.CompareToSameKindWithOptions(&b, options), CR_SMALLER);
	options.SetEpsilon(0.1);
	EXPECT_EQ(a.CompareToSameKindWithOptions(&b, options), CR_EQUAL);

	// The descriptor of reals: NaN equals NaN and sorts first; diacritical is exact.
	double nan = std::nan("");
	double one = 1.0;
	double near = 1.0000001;
	const VValueInfo* info = VValue::ValueInfoFromValueKind(6);
	VCompareOptions exact;
	exact.SetDiacritical(true);
	EXPECT_EQ(info->CompareTwoPtrToDataWithOptions(&nan, &nan, exact), CR_EQUAL);
	EXPECT_EQ(info->CompareTwoPtrToDataWithOptions(&nan, &one, exact), CR_SMALLER);
	EXPECT_EQ(info->CompareTwoPtrToDataWithOptions(&one, &near, exact), CR_SMALLER);
	EXPECT_EQ(info->CompareTwoPtrToDataWithOptions(&one, &near, VCompareOptions()), CR_EQUAL);
	EXPECT_EQ(info->CompareTwoPtrToData(&one, &near, false), CR_EQUAL);
	EXPECT_EQ(info->CompareTwoPtrToData(&one, &near, true), CR_SMALLER);

	uint8 t = 1;
	uint8 f = 0;
	EXPECT_EQ(VValue::ValueInfoFromValueKind(1)->CompareTwoPtrToData(&t, &f, false), CR_BIGGER);
}

TEST(ScalarValues, FlatFormsAndDescriptors)
{
	struct Case {
		uint16 fKind;
		VSize fSize;
	};
	const Case cases[] = {{1, 1}, {2, 1}, {3, 2}, {4, 4}, {5, 8}, {6, 8}};
	for (const Case& c : cases) {
		const VValueInfo* info = VValue::ValueInfoFromValueKind(c.fKind);
		ASSERT_NE(info, nullptr);
		EXPECT_EQ(info->GetAvgSpace(), c.fSize);
		std::unique_ptr<VValue> value(info->Generate());
		EXPECT_EQ(value->GetSpace(0), c.fSize);
		EXPECT_FALSE(value->IsNull());
	}

	VLong8 source(0x0102030405060708LL);
	char flat[8];
	EXPECT_EQ(source.WriteToPtr(flat, false, 8), flat + 8);
	std::unique_ptr<VValue> loaded(VLong8::sInfo.LoadFromPtr(flat, false));
	EXPECT_EQ(static_cast<VLong8*>(loaded.get())->Get(), 0x0102030405060708LL);
	EXPECT_EQ(VLong8::sInfo.ByteSwapPtr(flat, true), flat + 8);
	VLong8 swapped;
	swapped.LoadFromPtr(flat, false);
	EXPECT_EQ(swapped.Get(), 0x0807060504030201LL);

	VLong clone(3);
	clone.SetNull(true);
	clone.SetDirty(false);
	std::unique_ptr<VValueSingle> copy(clone.Clone());
	EXPECT_TRUE(copy->IsNull());
	EXPECT_TRUE(copy->IsDirty());
	EXPECT_EQ(copy->GetLong(), 3);
}

std::vector<uint8> Bytes(VStream& inStream)
{
	VStreamUnderlyingData data = inStream.GetUnderlyingData();
	const uint8* bytes = static_cast<const uint8*>(data.fData);
	return std::vector<uint8>(bytes, bytes + data.fSize);
}

TEST(ScalarValues, StreamForms)
{
	for (bool swap : {false, true}) {
		VPtrStream stream;
		stream.SetNeedSwap(swap);
		ASSERT_EQ(stream.OpenWriting(), VE_OK);
		VByte(static_cast<sBYTE>(-1)).WriteToStream(&stream);
		VBoolean(true).WriteToStream(&stream);
		VLong(0x01020304).WriteToStream(&stream);
		VReal(2.5).WriteToStream(&stream);
		stream.PutValue(VWord(static_cast<sWORD>(-3)), true);
		ASSERT_EQ(stream.CloseWriting(), VE_OK);
		std::vector<uint8> bytes = Bytes(stream);
		ASSERT_EQ(bytes.size(), 2u + 2 + 4 + 8 + 2 + 2);
		EXPECT_EQ(bytes[0], 0xFF);
		EXPECT_EQ(bytes[1], 0xFF);
		EXPECT_EQ(bytes[2], swap ? 0 : 1);
		EXPECT_EQ(bytes[3], swap ? 1 : 0);

		ASSERT_EQ(stream.OpenReading(), VE_OK);
		VByte b;
		VBoolean flag;
		VLong l;
		VReal r;
		b.SetNull(true);
		b.ReadFromStream(&stream);
		flag.ReadFromStream(&stream);
		l.ReadFromStream(&stream);
		r.ReadFromStream(&stream);
		std::unique_ptr<VValue> word(stream.GetValue());
		ASSERT_EQ(stream.GetLastError(), VE_OK);
		EXPECT_EQ(b.Get(), -1);
		EXPECT_TRUE(b.IsNull());	// readers leave the flags alone
		EXPECT_EQ(flag.Get(), 1);
		EXPECT_EQ(l.Get(), 0x01020304);
		EXPECT_EQ(r.Get(), 2.5);
		ASSERT_NE(word, nullptr);
		EXPECT_EQ(static_cast<VWord*>(word.get())->Get(), -3);
	}

	// A kind that has no descriptor reads as nothing.
	VPtrStream unknown;
	ASSERT_EQ(unknown.OpenWriting(), VE_OK);
	unknown.PutWord(static_cast<sWORD>(106));
	ASSERT_EQ(unknown.CloseWriting(), VE_OK);
	ASSERT_EQ(unknown.OpenReading(), VE_OK);
	EXPECT_EQ(unknown.GetValue(), nullptr);
}

} // namespace
} // namespace qirn
