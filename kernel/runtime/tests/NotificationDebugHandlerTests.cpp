// The handler that asks the user through a Retry/Ignore/Abort notification.
// Without a graphical session the notification goes to standard error and
// its default button, Retry, answers.
#include "core/StStringConverter.h"
#include "core/VString.h"
#include "runtime/VDebugContext.h"
#include "runtime/VDebugMgr.h"
#include "runtime/VErrorBase.h"
#include "runtime/VNotificationDebugMessageHandler.h"
#include "testing/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <string>

namespace qirn {
namespace {

TEST(NotificationDebugHandler, TranslatesTheButtonPressed)
{
	ASSERT_TRUE(VDebugMgr::Get().IsDebuggerAvailable());
	struct Case {
		ENotificationResponse fResponse;
		int32 fAnswer;
	};
	const Case cases[] = {
		{ENR_ABORT, kDebugBreak}, {ENR_RETRY, kDebugGoOn},		  {ENR_IGNORE, kDebugIgnoreThis},
		{ENR_NONE, kDebugIgnoreThis}, {ENR_CANCELLED, kDebugIgnoreThis}, {ENR_OK, kDebugIgnoreThis},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.fResponse);
		EXPECT_EQ(VNotificationDebugMessageHandler::_TranslateNotificationResponse(test.fResponse), test.fAnswer);
	}
}

class NotificationDebugHandlerAsking : public ::testing::Test {
protected:
	void SetUp() override
	{
		fEnvironment.Remove("DISPLAY");
		fEnvironment.Remove("WAYLAND_DISPLAY");
	}

	testing::ScopedEnvironment fEnvironment;
	VNotificationDebugMessageHandler fHandler;
	VDebugContext fContext;
};

TEST_F(NotificationDebugHandlerAsking, AFailedAssertion)
{
	::testing::internal::CaptureStderr();
	EXPECT_EQ(fHandler.AssertFailed(fContext, "n > 0", "src/a.cpp", 12), kDebugGoOn);
	EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Assert Failed: Condition: n > 0\nFile: src/a.cpp, 12\n");
}

TEST_F(NotificationDebugHandlerAsking, AThrownError)
{
	VRefPtr<VErrorBase> error = VRefPtr<VErrorBase>::Adopt(new VErrorBase(MAKE_VERROR('qtst', 5)));
	VString dump;
	error->DumpToString(dump);
	StStringConverter<char> utf8(dump, VTC_UTF_8);
	::testing::internal::CaptureStderr();
	EXPECT_EQ(fHandler.ErrorThrown(fContext, error.Get()), kDebugGoOn);
	EXPECT_EQ(::testing::internal::GetCapturedStderr(),
			  std::string("Error Thrown: Error: ") + utf8.GetCPointer() + "\n\n");
}

TEST_F(NotificationDebugHandlerAsking, ATaskWithoutNotificationsGoesOnUnasked)
{
	fContext.fNoNotification = 1;
	VRefPtr<VErrorBase> error = VRefPtr<VErrorBase>::Adopt(new VErrorBase(MAKE_VERROR('qtst', 5)));
	::testing::internal::CaptureStderr();
	EXPECT_EQ(fHandler.AssertFailed(fContext, "x", "a.cpp", 1), kDebugGoOn);
	EXPECT_EQ(fHandler.ErrorThrown(fContext, error.Get()), kDebugGoOn);
	EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

} // namespace
} // namespace qirn
