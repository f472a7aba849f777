#include "core/VString.h"
#include "runtime/VSystem.h"
#include "testing/ProbeOutput.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qirn {
namespace {

// A fake zenity first on PATH in a graphical session. It records its
// arguments, one a line, prints what the test asks (the title of an extra
// button) and ends with the code the test asks for, or by a signal.
class FakeZenity : public ::testing::Test {
protected:
	void SetUp() override
	{
		const std::string script = fFolder / "zenity";
		std::ofstream(script) << "#!/bin/sh\n"
								 "printf '%s\\n' \"$@\" > \"$QIRN_TEST_ZENITY_ARGS\"\n"
								 "if [ -n \"$QIRN_TEST_ZENITY_FIFO\" ]; then echo $$ > \"$QIRN_TEST_ZENITY_FIFO\"; exec sleep 600; fi\n"
								 "if [ -n \"$QIRN_TEST_ZENITY_PRINT\" ]; then printf '%s\\n' \"$QIRN_TEST_ZENITY_PRINT\"; fi\n"
								 "if [ -n \"$QIRN_TEST_ZENITY_SIGNAL\" ]; then kill -TERM $$; fi\n"
								 "exit \"${QIRN_TEST_ZENITY_EXIT:-0}\"\n";
		::chmod(script.c_str(), 0755);
		fEnvironment.Set("PATH", fFolder.Path() + ":" + std::getenv("PATH"));
		fEnvironment.Set("DISPLAY", ":99");
		fEnvironment.Remove("WAYLAND_DISPLAY");
		fEnvironment.Set("QIRN_TEST_ZENITY_ARGS", fFolder / "arguments");
		fEnvironment.Remove("QIRN_TEST_ZENITY_FIFO");
		fEnvironment.Remove("QIRN_TEST_ZENITY_PRINT");
		fEnvironment.Remove("QIRN_TEST_ZENITY_SIGNAL");
		fEnvironment.Remove("QIRN_TEST_ZENITY_EXIT");
	}

	std::vector<std::string> Arguments() const
	{
		std::vector<std::string> lines;
		std::ifstream file(fFolder / "arguments");
		for (std::string line; std::getline(file, line);)
			lines.push_back(line);
		return lines;
	}

	bool HasArgument(const std::string& inArgument) const
	{
		for (const std::string& argument : Arguments())
			if (argument == inArgument)
				return true;
		return false;
	}

	testing::TempFolder fFolder;
	testing::ScopedEnvironment fEnvironment;
};

enum class Press { kDefault, kAlternate, kOther, kClosed, kKilled };

struct PressCase {
	uint32 fFlags;
	Press fPress;
	ENotificationResponse fExpected;
	const char* fDefaultLabel;
	const char* fAlternateLabel; // null: a single-button alert
	const char* fOtherLabel;	 // null: no extra button
};

// clang-format off
const PressCase kPressCases[] = {
	{2,       Press::kDefault,   ENR_NO,        "No",     "Yes",    nullptr},
	{2,       Press::kAlternate, ENR_YES,       "No",     "Yes",    nullptr},
	{2 | 16,  Press::kDefault,   ENR_YES,       "Yes",    "No",     nullptr},
	{1,       Press::kDefault,   ENR_CANCEL,    "Cancel", "OK",     nullptr},
	{1 | 16,  Press::kDefault,   ENR_OK,        "OK",     "Cancel", nullptr},
	{1 | 16,  Press::kAlternate, ENR_CANCEL,    "OK",     "Cancel", nullptr},
	{4,       Press::kDefault,   ENR_CANCEL,    "Cancel", "No",     "Yes"},
	{4,       Press::kAlternate, ENR_NO,        "Cancel", "No",     "Yes"},
	{4,       Press::kOther,     ENR_YES,       "Cancel", "No",     "Yes"},
	{4 | 16,  Press::kDefault,   ENR_YES,       "Yes",    "No",     "Cancel"},
	{4 | 16,  Press::kOther,     ENR_CANCEL,    "Yes",    "No",     "Cancel"},
	{4 | 32,  Press::kDefault,   ENR_NO,        "No",     "Yes",    "Cancel"},
	{4 | 48,  Press::kDefault,   ENR_CANCEL,    "Cancel", "No",     "Yes"},
	{5,       Press::kDefault,   ENR_RETRY,     "Retry",  "Ignore", "Abort"},
	{5,       Press::kAlternate, ENR_IGNORE,    "Retry",  "Ignore", "Abort"},
	{5,       Press::kOther,     ENR_ABORT,     "Retry",  "Ignore", "Abort"},
	{5 | 16,  Press::kDefault,   ENR_RETRY,     "Retry",  "Ignore", "Abort"},
	{0,       Press::kDefault,   ENR_OK,        "OK",     nullptr,  nullptr},
	{3 | 16,  Press::kDefault,   ENR_OK,        "OK",     nullptr,  nullptr},
	{0,       Press::kClosed,    ENR_CANCELLED, "OK",     nullptr,  nullptr},
	{2,       Press::kKilled,    ENR_CANCELLED, "No",     "Yes",    nullptr},
	{5,       Press::kClosed,    ENR_IGNORE,    "Retry",  "Ignore", "Abort"},
};
// clang-format on

TEST_F(FakeZenity, ButtonsAndAnswersFollowTheFlags)
{
	for (const PressCase& test : kPressCases) {
		SCOPED_TRACE("flags " + std::to_string(test.fFlags) + ", press " + std::to_string(static_cast<int>(test.fPress)));
		fEnvironment.Remove("QIRN_TEST_ZENITY_PRINT");
		fEnvironment.Remove("QIRN_TEST_ZENITY_SIGNAL");
		fEnvironment.Set("QIRN_TEST_ZENITY_EXIT", test.fPress == Press::kDefault ? "0" : "1");
		if (test.fPress == Press::kOther)
			fEnvironment.Set("QIRN_TEST_ZENITY_PRINT", test.fOtherLabel);
		if (test.fPress == Press::kKilled)
			fEnvironment.Set("QIRN_TEST_ZENITY_SIGNAL", "1");

		ENotificationResponse response = ENR_NONE;
		ASSERT_TRUE(VSystem::DisplayNotification(VString("Title"), VString("Message"), test.fFlags, &response));
		EXPECT_EQ(response, test.fExpected);

		EXPECT_TRUE(HasArgument(test.fAlternateLabel == nullptr ? "--info" : "--question"));
		EXPECT_TRUE(HasArgument(std::string("--ok-label=") + test.fDefaultLabel));
		if (test.fAlternateLabel != nullptr) {
			EXPECT_TRUE(HasArgument(std::string("--cancel-label=") + test.fAlternateLabel));
		}
		if (test.fOtherLabel != nullptr) {
			EXPECT_TRUE(HasArgument(std::string("--extra-button=") + test.fOtherLabel));
		} else {
			for (const std::string& argument : Arguments())
				EXPECT_NE(argument.rfind("--extra-button", 0), 0u) << argument;
		}
	}
}

TEST_F(FakeZenity, TitleAndMessage)
{
	struct Case {
		const char* fTitle;
		const char* fMessage;
		const char* fShownTitle;
		const char* fShownText;
	};
	const Case cases[] = {
		{"Initialization failed", "Needs a newer system", "Initialization failed", "Needs a newer system"},
		// No title: the message is the header.
		{"", "Only a message", "Only a message", "Only a message"},
		{"Only a title", "", "Only a title", "Only a title"},
		// Markup characters are the caller's text, never read as markup.
		{"<b>", "a < b & c", "<b>", "a < b & c"},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.fTitle);
		ENotificationResponse response = ENR_NONE;
		ASSERT_TRUE(VSystem::DisplayNotification(VString(test.fTitle), VString(test.fMessage), 0, &response));
		EXPECT_TRUE(HasArgument(std::string("--title=") + test.fShownTitle));
		EXPECT_TRUE(HasArgument(std::string("--text=") + test.fShownText));
		EXPECT_TRUE(HasArgument("--no-markup"));
	}
}

TEST_F(FakeZenity, CautionLevel)
{
	ENotificationResponse response = ENR_NONE;
	ASSERT_TRUE(VSystem::DisplayNotification(VString("T"), VString("M"), 512, &response));
	EXPECT_TRUE(HasArgument("--warning"));
	ASSERT_TRUE(VSystem::DisplayNotification(VString("T"), VString("M"), 512 | 2, &response));
	EXPECT_TRUE(HasArgument("--icon-name=dialog-warning"));
	ASSERT_TRUE(VSystem::DisplayNotification(VString("T"), VString("M"), 2, &response));
	EXPECT_FALSE(HasArgument("--icon-name=dialog-warning"));
}

// Shown without waiting, the alert stays up on its own until cancelled.
TEST_F(FakeZenity, PendingNotificationsAreCancelled)
{
	const std::string fifo = fFolder / "started";
	ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
	fEnvironment.Set("QIRN_TEST_ZENITY_FIFO", fifo);
	ASSERT_TRUE(VSystem::DisplayNotification(VString("Pending"), VString("M"), 2, nullptr));

	// Opening the reading end waits for the dialog to write its id.
	std::ifstream started(fifo);
	pid_t pid = 0;
	ASSERT_TRUE(started >> pid);
	ASSERT_GT(pid, 0);
	EXPECT_EQ(::kill(pid, 0), 0);

	VSystem::CancelAllPendingUserNotifications();
	// Ended and reaped: the id names no process of ours any more.
	EXPECT_EQ(::kill(pid, 0), -1);
	EXPECT_EQ(errno, ESRCH);
	VSystem::CancelAllPendingUserNotifications(); // nothing left: no effect
}

// A zenity that cannot be started: nothing is shown and nothing answered.
TEST_F(FakeZenity, AnAlertThatCannotStartAnswersFalse)
{
	std::ofstream(fFolder / "zenity", std::ios::trunc) << "#!/nonexistent/interpreter\n";
	ENotificationResponse response = static_cast<ENotificationResponse>(99);
	EXPECT_FALSE(VSystem::DisplayNotification(VString("T"), VString("M"), 2, &response));
	EXPECT_EQ(response, 99);
}

// The alert shows the application's icon, found in its bundle's resources
// by the name its Info.plist gives, with or without its extension.
TEST_F(FakeZenity, TheBundlesIconIsTheWindowIcon)
{
	struct Case {
		const char* fPlistName; // null: no CFBundleIconFile
		const char* fFileName;	// null: no icon file
		bool fShown;
	};
	const Case cases[] = {
		{"App", "App.icns", true},
		{"App.png", "App.png", true},
		{"Missing", "App.icns", false},
		{nullptr, "App.icns", false},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.fPlistName != nullptr ? test.fPlistName : "(none)");
		testing::TempFolder bundle;
		const std::string contents = bundle / "Demo.app/Contents";
		std::filesystem::create_directories(contents + "/MacOS");
		std::filesystem::create_directories(contents + "/Resources");
		std::ofstream plist(contents + "/Info.plist");
		plist << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>";
		if (test.fPlistName != nullptr)
			plist << "<key>CFBundleIconFile</key><string>" << test.fPlistName << "</string>";
		plist << "</dict></plist>\n";
		plist.close();
		if (test.fFileName != nullptr)
			std::ofstream(contents + "/Resources/" + test.fFileName) << "icon";
		const std::string program = contents + "/MacOS/probe";
		std::filesystem::copy_file(QIRN_PROBE_DIR "/qirn_probe_notification", program);

		const testing::ProbeOutput output = testing::RunProbe(program);
		ASSERT_EQ(output.fExitCode, 0);
		EXPECT_EQ(output.fValues.at("shown"), "1");
		EXPECT_EQ(output.fValues.at("response"), "1");
		bool hasIcon = false;
		for (const std::string& argument : Arguments()) {
			if (argument.rfind("--window-icon=", 0) == 0) {
				hasIcon = true;
				EXPECT_EQ(argument, "--window-icon=" + contents + "/Resources/" + test.fFileName);
			}
		}
		EXPECT_EQ(hasIcon, test.fShown);
	}
}

// Without a graphical session, or without zenity, the text goes to standard
// error and the default button answers.
TEST(SystemNotifications, StandardErrorWithoutAGraphicalSession)
{
	testing::TempFolder emptyFolder;
	struct Case {
		bool fWithDisplay; // a display but no zenity on PATH
		uint32 fFlags;
		const char* fTitle;
		const char* fMessage;
		ENotificationResponse fExpected;
		const char* fWritten;
	};
	// clang-format off
	const Case cases[] = {
		{false, 2,      "Update failed", "See the log", ENR_NO,     "Update failed: See the log\n"},
		{false, 2 | 16, "T",             "M",           ENR_YES,    "T: M\n"},
		{false, 5,      "Assert Failed", "Condition",   ENR_RETRY,  "Assert Failed: Condition\n"},
		{false, 0,      "Debug",         "Hello",       ENR_OK,     "Debug: Hello\n"},
		{false, 4,      "",              "Only message", ENR_CANCEL, "Only message\n"},
		{false, 1 | 16, "Only title",    "",            ENR_OK,     "Only title\n"},
		{true,  4 | 32, "T",             "M",           ENR_NO,     "T: M\n"},
	};
	// clang-format on
	for (const Case& test : cases) {
		SCOPED_TRACE(std::string(test.fTitle) + "/" + test.fMessage);
		testing::ScopedEnvironment environment;
		environment.Remove("WAYLAND_DISPLAY");
		if (test.fWithDisplay) {
			environment.Set("DISPLAY", ":99");
			environment.Set("PATH", emptyFolder.Path());
		} else {
			environment.Remove("DISPLAY");
		}
		ENotificationResponse response = ENR_NONE;
		::testing::internal::CaptureStderr();
		const bool shown = VSystem::DisplayNotification(VString(test.fTitle), VString(test.fMessage), test.fFlags, &response);
		const std::string written = ::testing::internal::GetCapturedStderr();
		EXPECT_TRUE(shown);
		EXPECT_EQ(response, test.fExpected);
		EXPECT_EQ(written, test.fWritten);
	}
}

TEST(SystemNotifications, StandardErrorWithoutWaiting)
{
	testing::ScopedEnvironment environment;
	environment.Remove("WAYLAND_DISPLAY");
	environment.Remove("DISPLAY");
	::testing::internal::CaptureStderr();
	EXPECT_TRUE(VSystem::DisplayNotification(VString("T"), VString("Not waited for"), 2, nullptr));
	EXPECT_EQ(::testing::internal::GetCapturedStderr(), "T: Not waited for\n");
	VSystem::CancelAllPendingUserNotifications();
}

} // namespace
} // namespace qirn
