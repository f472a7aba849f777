#include "files/VPtrStream.h"
#include "runtime/VProgressIndicator.h"
#include "testing/RaisedErrors.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

// Stops the stream once inLimit bytes have passed.
class StoppingIndicator : public VProgressIndicator {
public:
	explicit StoppingIndicator(sLONG8 inLimit) : fLimit(inLimit) {}
	int32 fBegun = 0;
	int32 fEnded = 0;

protected:
	void DoBeginSession(int32) override { ++fBegun; }
	void DoEndSession(int32) override { ++fEnded; }
	bool DoProgress() override { return GetCurrentValue() <= fLimit; }

private:
	sLONG8 fLimit;
};

TEST(StreamProgress, SessionsFollowOpeningsAndCountTheBytes)
{
	VRefPtr<StoppingIndicator> indicator = VRefPtr<StoppingIndicator>::Adopt(new StoppingIndicator(1000));
	VPtrStream stream;
	stream.SetProgressIndicator(indicator.Get());
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	EXPECT_EQ(indicator->GetMaxValue(), -1);
	VString message;
	indicator->GetMessage(message);
	EXPECT_EQ(to_string(message), "Writing to Stream");
	ASSERT_EQ(stream.PutData("abcdef", 6), VE_OK);
	ASSERT_EQ(stream.PutLong(static_cast<sLONG>(7)), VE_OK);
	EXPECT_EQ(indicator->GetCurrentValue(), 10);
	ASSERT_EQ(stream.CloseWriting(), VE_OK);
	EXPECT_EQ(indicator->GetSessionCount(), 0);

	ASSERT_EQ(stream.OpenReading(), VE_OK);
	EXPECT_EQ(indicator->GetMaxValue(), 10);
	indicator->GetMessage(message);
	EXPECT_EQ(to_string(message), "Reading From Stream");
	char buffer[4];
	ASSERT_EQ(stream.GetData(buffer, 4), VE_OK);
	EXPECT_EQ(indicator->GetCurrentValue(), 4);
	// A short read tells the count asked.
	testing::RaisedErrors errors;
	char rest[20];
	VSize read = 0;
	EXPECT_EQ(stream.GetData(rest, 20, &read), VE_STREAM_EOF);
	EXPECT_EQ(read, 6u);
	EXPECT_EQ(indicator->GetCurrentValue(), 24);
	stream.CloseReading();
	EXPECT_EQ(indicator->fBegun, 2);
	EXPECT_EQ(indicator->fEnded, 2);
}

TEST(StreamProgress, AStopEndsTheStreamWith206)
{
	VRefPtr<StoppingIndicator> indicator = VRefPtr<StoppingIndicator>::Adopt(new StoppingIndicator(8));
	VPtrStream stream;
	stream.SetProgressIndicator(indicator.Get());
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	testing::RaisedErrors errors;
	EXPECT_EQ(stream.PutData("12345678", 8), VE_OK);
	EXPECT_EQ(stream.PutData("9", 1), VE_STREAM_USER_ABORTED);
	EXPECT_EQ(errors.Last(), VE_STREAM_USER_ABORTED);
	// Sticky: nothing more is written.
	EXPECT_EQ(stream.PutData("0", 1), VE_STREAM_USER_ABORTED);
	EXPECT_EQ(stream.GetPos(), 9);
	EXPECT_EQ(stream.CloseWriting(), VE_STREAM_USER_ABORTED);
}

TEST(StreamProgress, AStreamDroppedOpenEndsItsSession)
{
	VRefPtr<StoppingIndicator> indicator = VRefPtr<StoppingIndicator>::Adopt(new StoppingIndicator(100));
	{
		VPtrStream stream;
		stream.SetProgressIndicator(indicator.Get());
		ASSERT_EQ(stream.OpenWriting(), VE_OK);
		EXPECT_EQ(indicator->GetSessionCount(), 1);
	}
	EXPECT_EQ(indicator->GetSessionCount(), 0);
	EXPECT_EQ(indicator->GetRefCount(), 1u);
}

TEST(StreamProgress, IndicatorIdentityIsWrittenInTheStreamsByteOrder)
{
	for (bool bigEndian : {false, true}) {
		SCOPED_TRACE(bigEndian);
		VUUID id(true);
		VRefPtr<VProgressIndicator> indicator = VRefPtr<VProgressIndicator>::Adopt(new VProgressIndicator(id, 0x01020304));
		VPtrStream stream;
		stream.SetNeedSwap(bigEndian);
		ASSERT_EQ(stream.OpenWriting(), VE_OK);
		ASSERT_EQ(indicator->WriteInfoForRemote(stream), VE_OK);
		stream.CloseWriting();
		ASSERT_EQ(stream.OpenReading(), VE_OK);
		uWORD mark = 0;
		ASSERT_EQ(stream.GetWord(mark), VE_OK);
		EXPECT_EQ(mark, 1);
		VUUID read;
		ASSERT_EQ(read.ReadFromStream(&stream), VE_OK);
		EXPECT_EQ(read, id);
		uLONG version = 0;
		ASSERT_EQ(stream.GetLong(version), VE_OK);
		EXPECT_EQ(version, 0x01020304u);
		EXPECT_EQ(stream.GetPos(), stream.GetSize());
	}
}

} // namespace
} // namespace qirn
