// Times kept as bag attributes: set, read, converted, copied and streamed.
#include "BagTestSupport.h"

#include "bags_xml/VValueBag.h"
#include "core/VLong8.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "core/VTime.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

using testing::ReadBytes;
using testing::WrittenBytes;

const StPackedDictionaryKey kWhen("when");
const StPackedDictionaryKey kAfter("after");

VTime UTC(sWORD inYear, sWORD inMonth, sWORD inDay, sWORD inHour, sWORD inMinute, sWORD inSecond, sWORD inMs)
{
	VTime time;
	time.FromUTCTime(inYear, inMonth, inDay, inHour, inMinute, inSecond, inMs);
	return time;
}

VRefPtr<VValueBag> BagWithTime(const VTime& inTime)
{
	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
	bag->SetTime(kWhen, inTime);
	bag->SetLong8(kAfter, 7);
	return bag;
}

TEST(BagTime, ComesBackAsItWasSet)
{
	const VTime times[] = {UTC(2026, 12, 10, 18, 51, 39, 123), UTC(1, 1, 1, 0, 0, 0, 0), UTC(9999, 12, 31, 23, 59, 59, 999)};
	for (const VTime& time : times) {
		SCOPED_TRACE(time.GetMilliseconds());
		VRefPtr<VValueBag> bag = BagWithTime(time);
		VTime read;
		ASSERT_TRUE(bag->GetTime(kWhen, read));
		EXPECT_TRUE(read == time);
	}
}

TEST(BagTime, AbsentLeavesTheCallersTime)
{
	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
	VTime read = UTC(2000, 1, 1, 0, 0, 0, 0);
	EXPECT_FALSE(bag->GetTime(kWhen, read));
	EXPECT_TRUE(read == UTC(2000, 1, 1, 0, 0, 0, 0));
}

TEST(BagTime, IsReplacedInPlace)
{
	VRefPtr<VValueBag> bag = BagWithTime(UTC(2020, 2, 29, 12, 0, 0, 0));
	const VTime later = UTC(2021, 3, 1, 12, 0, 0, 0);
	bag->SetTime(kWhen, later);
	// Same packed size: the run is overwritten, nothing is left to pack.
	EXPECT_FALSE(bag->GetAttributes().IsPackNeeded());
	VTime read;
	ASSERT_TRUE(bag->GetTime(kWhen, read));
	EXPECT_TRUE(read == later);
}

TEST(BagTime, SurvivesCopiesAndStreamsInEitherByteOrder)
{
	const VTime time = UTC(2026, 12, 10, 18, 51, 39, 123);
	VRefPtr<VValueBag> bag = BagWithTime(time);
	VRefPtr<VValueBag> copy = VRefPtr<VValueBag>::Adopt(bag->Clone());
	VTime read;
	ASSERT_TRUE(copy->GetTime(kWhen, read));
	EXPECT_TRUE(read == time);

	for (bool swap : {false, true}) {
		SCOPED_TRACE(swap ? "swapped" : "native");
		std::vector<uint8> bytes = WrittenBytes(
			[&](VStream& s) { EXPECT_EQ(bag->GetAttributes().WriteToStream(&s, false), VE_OK); }, swap);
		VValueBag::Attributes attributes;
		ASSERT_EQ(ReadBytes(bytes, [&](VStream& s) { return attributes.ReadFromStream(&s); }, swap), VE_OK);
		VTime streamed;
		ASSERT_TRUE(attributes.GetValue(kWhen, streamed));
		EXPECT_TRUE(streamed == time);
		VLong8 after;
		ASSERT_TRUE(attributes.GetValue(kAfter, after));
		EXPECT_EQ(after.Get(), 7);
	}
}

} // namespace
} // namespace qirn
