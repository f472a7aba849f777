#include "process/VSleepNotifier.h"

#include "core/VString.h"
#include "process/platform/XLinuxSleepNotifier.h"
#include "runtime/VTask.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TempFolder.h"
#include "testing/TestWaits.h"

#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace qirn {
namespace {

using testing::Gate;

// A handler that counts its calls and the references it is given; it may
// run work of the test's during DoSleep.
class Handler : public VSleepNotifier::ISleepHandler {
public:
	explicit Handler(std::atomic<int>* ioDeleted = nullptr) : fDeleted(ioDeleted) {}
	~Handler() override
	{
		if (fDeleted != nullptr)
			++*fDeleted;
	}

	void DoSleep() override
	{
		fThread = std::this_thread::get_id();
		++fSleeps;
		if (fOnSleep)
			fOnSleep();
		fSlept.Open();
	}
	void DoWakeUp() override
	{
		++fWakeUps;
		fWoke.Open();
	}
	void GetHandlerName(VString& outName) const override
	{
		++fNameReads;
		outName = CVSTR("test handler");
	}

	std::atomic<int> fSleeps{0};
	std::atomic<int> fWakeUps{0};
	mutable std::atomic<int> fNameReads{0};
	std::thread::id fThread;
	std::function<void()> fOnSleep;
	Gate fSlept;
	Gate fWoke;

private:
	std::atomic<int>* fDeleted;
};

TEST(SleepNotifier, CallsEachRegisteredHandlerOnceAnEvent)
{
	VSleepNotifier notifier;
	Handler first;
	Handler second;
	ASSERT_EQ(notifier.RegisterSleepHandler(&first), VE_OK);
	ASSERT_EQ(notifier.RegisterSleepHandler(&first), VE_OK);
	ASSERT_EQ(notifier.RegisterSleepHandler(&second), VE_OK);
	// Twice registered, once retained.
	EXPECT_EQ(first.GetRefCount(), 2u);

	notifier.HaveSleepNotification();
	EXPECT_EQ(first.fSleeps, 1);
	EXPECT_EQ(second.fSleeps, 1);
	EXPECT_EQ(first.fWakeUps, 0);
	notifier.HaveWakeupNotification();
	EXPECT_EQ(first.fWakeUps, 1);
	EXPECT_EQ(second.fWakeUps, 1);
	EXPECT_EQ(first.fSleeps, 1);

	EXPECT_EQ(notifier.UnregisterSleepHandler(&first), VE_OK);
	EXPECT_EQ(first.GetRefCount(), 1u);
	// Not registered: nothing changes.
	EXPECT_EQ(notifier.UnregisterSleepHandler(&first), VE_OK);
	EXPECT_EQ(first.GetRefCount(), 1u);
	notifier.HaveSleepNotification();
	EXPECT_EQ(first.fSleeps, 1);
	EXPECT_EQ(second.fSleeps, 2);

	notifier.UnregisterSleepHandlers();
	EXPECT_EQ(second.GetRefCount(), 1u);
	notifier.HaveSleepNotification();
	EXPECT_EQ(second.fSleeps, 2);
}

TEST(SleepNotifier, RefusesANullHandlerWithoutRaising)
{
	VSleepNotifier notifier;
	EXPECT_EQ(notifier.RegisterSleepHandler(nullptr), VE_SLEEP_NOTIFIER_BAD_HANDLER);
	EXPECT_EQ(notifier.UnregisterSleepHandler(nullptr), VE_SLEEP_NOTIFIER_BAD_HANDLER);
	EXPECT_EQ(VTask::GetLastError(), VE_OK);
}

TEST(SleepNotifier, KeepsAHandlerAliveThroughItsCallWhenItIsUnregistered)
{
	// Each handler is held by the notifier alone; the first unregisters
	// both during its call, the second is called after that.
	std::atomic<int> deleted{0};
	VSleepNotifier notifier;
	auto* first = new Handler(&deleted);
	auto* second = new Handler(&deleted);
	ASSERT_EQ(notifier.RegisterSleepHandler(first), VE_OK);
	ASSERT_EQ(notifier.RegisterSleepHandler(second), VE_OK);
	first->Release();
	second->Release();
	Handler* const firstCalled = first < second ? first : second; // the set's order
	Handler* const secondCalled = first < second ? second : first;
	firstCalled->fOnSleep = [&] {
		EXPECT_EQ(notifier.UnregisterSleepHandler(first), VE_OK);
		EXPECT_EQ(notifier.UnregisterSleepHandler(second), VE_OK);
		EXPECT_EQ(deleted, 0);
	};
	secondCalled->fOnSleep = [&] { EXPECT_EQ(deleted, 1); };

	notifier.HaveSleepNotification();
	// The set was copied before the calls: both ran, then both went.
	EXPECT_EQ(deleted, 2);
}

TEST(SleepNotifier, LetsAHandlerRegisterAnotherDuringItsCall)
{
	VSleepNotifier notifier;
	Handler first;
	Handler added;
	first.fOnSleep = [&] { EXPECT_EQ(notifier.RegisterSleepHandler(&added), VE_OK); };
	ASSERT_EQ(notifier.RegisterSleepHandler(&first), VE_OK);
	notifier.HaveSleepNotification();
	EXPECT_EQ(added.fSleeps, 0);
	notifier.HaveSleepNotification();
	EXPECT_EQ(added.fSleeps, 1);
	notifier.UnregisterSleepHandlers();
}

TEST(SleepNotifier, TheFirstNotifierIsTheProcesssUntilItGoes)
{
	VSleepNotifier* const existing = VSleepNotifier::Instance();
	{
		VSleepNotifier first;
		VSleepNotifier* const expected = existing != nullptr ? existing : &first;
		EXPECT_EQ(VSleepNotifier::Instance(), expected);
		{
			VSleepNotifier second;
			EXPECT_EQ(VSleepNotifier::Instance(), expected);
		}
		EXPECT_EQ(VSleepNotifier::Instance(), expected);
	}
	EXPECT_EQ(VSleepNotifier::Instance(), existing);
}

TEST(SleepNotifier, InitWithoutASystemBusSucceedsAndHearsNothing)
{
	testing::TempFolder temp;
	testing::ScopedEnvironment environment;
	environment.Set("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + temp.Path() + "/no-bus");
	XLinuxSleepNotifier platform;
	EXPECT_EQ(platform.Init(), VE_OK);
	EXPECT_FALSE(platform.IsListening());
	EXPECT_FALSE(platform.HoldsInhibitor());
}

// A private message bus, run by dbus-daemon for one test.
class PrivateBus {
public:
	explicit PrivateBus(const std::string& inFolder)
	{
		const std::string config = inFolder + "/bus.conf";
		std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
								 " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
								 "<busconfig>\n"
								 "  <listen>unix:path="
							  << inFolder
							  << "/bus</listen>\n"
								 "  <auth>EXTERNAL</auth>\n"
								 "  <policy context=\"default\">\n"
								 "    <allow user=\"*\"/>\n"
								 "    <allow own=\"*\"/>\n"
								 "    <allow send_destination=\"*\"/>\n"
								 "    <allow receive_sender=\"*\"/>\n"
								 "    <allow send_requested_reply=\"true\"/>\n"
								 "    <allow receive_requested_reply=\"true\"/>\n"
								 "  </policy>\n"
								 "</busconfig>\n";
		int out[2];
		if (::pipe2(out, O_CLOEXEC) != 0)
			return;
		posix_spawn_file_actions_t actions;
		posix_spawn_file_actions_init(&actions);
		posix_spawn_file_actions_adddup2(&actions, out[1], 1);
		// It warns of the descriptor limit it may not raise.
		posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
		const std::string configOption = "--config-file=" + config;
		char* argv[] = {const_cast<char*>("dbus-daemon"), const_cast<char*>(configOption.c_str()),
				const_cast<char*>("--nofork"), const_cast<char*>("--print-address=1"), nullptr};
		if (::posix_spawnp(&fPid, "dbus-daemon", &actions, nullptr, argv, environ) != 0)
			fPid = -1;
		posix_spawn_file_actions_destroy(&actions);
		::close(out[1]);
		// The address is printed once the bus listens.
		char c;
		while (fPid > 0 && ::read(out[0], &c, 1) == 1 && c != '\n')
			fAddress += c;
		::close(out[0]);
	}
	~PrivateBus()
	{
		if (fPid > 0) {
			::kill(fPid, SIGTERM);
			::waitpid(fPid, nullptr, 0);
		}
	}
	PrivateBus(const PrivateBus&) = delete;
	PrivateBus& operator=(const PrivateBus&) = delete;

	const std::string& Address() const { return fAddress; }

private:
	pid_t fPid = -1;
	std::string fAddress;
};

constexpr const char* kLoginIntrospection =
		"<node>"
		"  <interface name='org.freedesktop.login1.Manager'>"
		"    <method name='Inhibit'>"
		"      <arg type='s' direction='in'/><arg type='s' direction='in'/>"
		"      <arg type='s' direction='in'/><arg type='s' direction='in'/>"
		"      <arg type='h' direction='out'/>"
		"    </method>"
		"    <signal name='PrepareForSleep'><arg type='b'/></signal>"
		"  </interface>"
		"</node>";

// The login manager as the notifier sees it: it hands out inhibitors (the
// write end of a pipe whose read end it keeps, so that it sees the
// inhibitor released) and sends PrepareForSleep.
class FakeLogin {
public:
	explicit FakeLogin(const std::string& inAddress) : fAddress(inAddress)
	{
		fContext = g_main_context_new();
		fLoop = g_main_loop_new(fContext, FALSE);
		fThread = std::thread([this] { _Run(); });
		std::unique_lock<std::mutex> lock(fMutex);
		fChanged.wait(lock, [this] { return fReady; });
	}
	~FakeLogin()
	{
		GSource* quit = g_idle_source_new();
		g_source_set_callback(
				quit,
				[](gpointer inLoop) -> gboolean {
					g_main_loop_quit(static_cast<GMainLoop*>(inLoop));
					return G_SOURCE_REMOVE;
				},
				fLoop, nullptr);
		g_source_attach(quit, fContext);
		g_source_unref(quit);
		fThread.join();
		g_main_loop_unref(fLoop);
		g_main_context_unref(fContext);
		for (int fd : fInhibitors)
			::close(fd);
	}
	FakeLogin(const FakeLogin&) = delete;
	FakeLogin& operator=(const FakeLogin&) = delete;

	bool OwnsName() const { return fOwnsName; }

	void SendPrepareForSleep(bool inSleep)
	{
		g_dbus_connection_emit_signal(fConnection, nullptr, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
				"PrepareForSleep", g_variant_new("(b)", inSleep), nullptr);
		g_dbus_connection_flush_sync(fConnection, nullptr, nullptr);
	}

	int InhibitorCount()
	{
		std::lock_guard<std::mutex> lock(fMutex);
		return static_cast<int>(fInhibitors.size());
	}
	// Whether the newest inhibitor is still held by the notifier.
	bool NewestHeld()
	{
		int fd = -1;
		{
			std::lock_guard<std::mutex> lock(fMutex);
			if (fInhibitors.empty())
				return false;
			fd = fInhibitors.back();
		}
		pollfd entry = {fd, POLLIN, 0};
		return ::poll(&entry, 1, 0) == 0;
	}
	// Waits until the newest inhibitor is released.
	bool AwaitNewestReleased()
	{
		int fd = -1;
		{
			std::lock_guard<std::mutex> lock(fMutex);
			if (fInhibitors.empty())
				return false;
			fd = fInhibitors.back();
		}
		pollfd entry = {fd, POLLIN, 0};
		return ::poll(&entry, 1, testing::kHangMilliseconds) == 1;
	}
	bool AwaitInhibitorCount(int inCount)
	{
		std::unique_lock<std::mutex> lock(fMutex);
		return fChanged.wait_for(lock, std::chrono::milliseconds(testing::kHangMilliseconds),
				[&] { return static_cast<int>(fInhibitors.size()) >= inCount; });
	}

private:
	void _Run()
	{
		g_main_context_push_thread_default(fContext);
		fConnection = g_dbus_connection_new_for_address_sync(fAddress.c_str(),
				static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
						G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
				nullptr, nullptr, nullptr);
		GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kLoginIntrospection, nullptr);
		static const GDBusInterfaceVTable vtable = {&FakeLogin::_OnMethod, nullptr, nullptr, {}};
		guint registration = 0;
		if (fConnection != nullptr && node != nullptr) {
			registration = g_dbus_connection_register_object(
					fConnection, "/org/freedesktop/login1", node->interfaces[0], &vtable, this, nullptr, nullptr);
			GVariant* reply = g_dbus_connection_call_sync(fConnection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
					"org.freedesktop.DBus", "RequestName", g_variant_new("(su)", "org.freedesktop.login1", 0u),
					G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
			if (reply != nullptr) {
				guint32 answer = 0;
				g_variant_get(reply, "(u)", &answer);
				fOwnsName = answer == 1;
				g_variant_unref(reply);
			}
		}
		{
			std::lock_guard<std::mutex> lock(fMutex);
			fReady = true;
		}
		fChanged.notify_all();
		g_main_loop_run(fLoop);
		if (registration != 0)
			g_dbus_connection_unregister_object(fConnection, registration);
		if (node != nullptr)
			g_dbus_node_info_unref(node);
		if (fConnection != nullptr) {
			g_dbus_connection_close_sync(fConnection, nullptr, nullptr);
			g_object_unref(fConnection);
		}
		while (g_main_context_iteration(fContext, FALSE)) {
		}
		g_main_context_pop_thread_default(fContext);
	}

	static void _OnMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* inMethod,
			GVariant* inParameters, GDBusMethodInvocation* inInvocation, gpointer inSelf)
	{
		auto* self = static_cast<FakeLogin*>(inSelf);
		const gchar* what = nullptr;
		const gchar* mode = nullptr;
		g_variant_get(inParameters, "(&s&s&s&s)", &what, nullptr, nullptr, &mode);
		int ends[2];
		if (g_strcmp0(inMethod, "Inhibit") != 0 || g_strcmp0(what, "sleep") != 0 || g_strcmp0(mode, "delay") != 0 ||
				::pipe2(ends, O_CLOEXEC) != 0) {
			g_dbus_method_invocation_return_dbus_error(inInvocation, "org.freedesktop.DBus.Error.Failed", "refused");
			return;
		}
		// Counted before the answer leaves: the caller may look at once.
		{
			std::lock_guard<std::mutex> lock(self->fMutex);
			self->fInhibitors.push_back(ends[0]);
		}
		self->fChanged.notify_all();
		GUnixFDList* fds = g_unix_fd_list_new_from_array(&ends[1], 1); // takes the write end
		g_dbus_method_invocation_return_value_with_unix_fd_list(inInvocation, g_variant_new("(h)", 0), fds);
		g_object_unref(fds);
	}

	std::string fAddress;
	GMainContext* fContext = nullptr;
	GMainLoop* fLoop = nullptr;
	GDBusConnection* fConnection = nullptr;
	std::thread fThread;
	std::mutex fMutex;
	std::condition_variable fChanged;
	bool fReady = false;
	bool fOwnsName = false;
	std::vector<int> fInhibitors; // read ends, newest last
};

bool HasDBusDaemon()
{
	return ::system("command -v dbus-daemon >/dev/null 2>&1") == 0;
}

// GLib is not built for the thread sanitizer: it reports the D-Bus worker
// thread's own memory handling, which it cannot see synchronised.
#if defined(__SANITIZE_THREAD__)
constexpr bool kGLibThreadsCheckable = false;
#else
constexpr bool kGLibThreadsCheckable = true;
#endif

TEST(SleepNotifierOverTheBus, InitWithoutTheLoginManagerSucceedsAndHearsNothing)
{
	if (!HasDBusDaemon())
		GTEST_SKIP() << "dbus-daemon is not installed";
	if (!kGLibThreadsCheckable)
		GTEST_SKIP() << "GLib's threads are not instrumented";
	testing::TempFolder temp;
	PrivateBus bus(temp.Path());
	ASSERT_FALSE(bus.Address().empty());
	testing::ScopedEnvironment environment;
	environment.Set("DBUS_SYSTEM_BUS_ADDRESS", bus.Address());
	XLinuxSleepNotifier platform;
	EXPECT_EQ(platform.Init(), VE_OK);
	EXPECT_FALSE(platform.IsListening());
}

TEST(SleepNotifierOverTheBus, HoldsTheSystemUntilTheHandlersRanAndAgainAfterWake)
{
	if (!HasDBusDaemon())
		GTEST_SKIP() << "dbus-daemon is not installed";
	if (!kGLibThreadsCheckable)
		GTEST_SKIP() << "GLib's threads are not instrumented";
	testing::TempFolder temp;
	PrivateBus bus(temp.Path());
	ASSERT_FALSE(bus.Address().empty());
	testing::ScopedEnvironment environment;
	environment.Set("DBUS_SYSTEM_BUS_ADDRESS", bus.Address());
	FakeLogin login(bus.Address());
	ASSERT_TRUE(login.OwnsName());

	Handler handler;
	bool heldDuringSleep = false;
	{
		VSleepNotifier notifier;
		ASSERT_EQ(notifier.Init(), VE_OK);
		ASSERT_EQ(notifier.RegisterSleepHandler(&handler), VE_OK);
		ASSERT_TRUE(login.AwaitInhibitorCount(1));
		EXPECT_TRUE(login.NewestHeld());
		handler.fOnSleep = [&] { heldDuringSleep = login.NewestHeld(); };

		login.SendPrepareForSleep(true);
		ASSERT_TRUE(handler.fSlept.Wait());
		EXPECT_NE(handler.fThread, std::this_thread::get_id());
		EXPECT_TRUE(login.AwaitNewestReleased());
		EXPECT_TRUE(heldDuringSleep);
		EXPECT_EQ(handler.fWakeUps, 0);

		login.SendPrepareForSleep(false);
		ASSERT_TRUE(handler.fWoke.Wait());
		EXPECT_EQ(login.InhibitorCount(), 2);
		EXPECT_TRUE(login.NewestHeld());
		EXPECT_EQ(handler.fSleeps, 1);
	}
	// The notifier's end gives the inhibitor back and lets the handler go.
	EXPECT_TRUE(login.AwaitNewestReleased());
	EXPECT_EQ(handler.GetRefCount(), 1u);
}

} // namespace
} // namespace qirn
