#include "process/platform/XLinuxSleepNotifier.h"

#include "process/VSleepNotifier.h"

#include <gio/gio.h>
#include <gio/gunixfdlist.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace qirn {

namespace {

constexpr const char* kLoginName = "org.freedesktop.login1";
constexpr const char* kLoginPath = "/org/freedesktop/login1";
constexpr const char* kLoginInterface = "org.freedesktop.login1.Manager";
// The login manager answers at once; a bus that does not must not hold the
// notifier's thread for long.
constexpr int kCallTimeoutMs = 5000;

// Whether the login manager is on the bus.
bool HasLoginManager(GDBusConnection* inConnection)
{
	GVariant* reply = g_dbus_connection_call_sync(inConnection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
			"org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", kLoginName), G_VARIANT_TYPE("(b)"),
			G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr);
	if (reply == nullptr)
		return false;
	gboolean hasOwner = FALSE;
	g_variant_get(reply, "(b)", &hasOwner);
	g_variant_unref(reply);
	return hasOwner != FALSE;
}

} // namespace

struct XLinuxSleepNotifier::Listener {
	XLinuxSleepNotifier* fNotifier = nullptr;
	GDBusConnection* fConnection = nullptr;
	GMainContext* fContext = nullptr;
	GMainLoop* fLoop = nullptr;
	std::thread fThread;
	guint fSubscription = 0;

	std::mutex fMutex;
	std::condition_variable fReadyChanged;
	bool fReady = false;
	int fInhibitor = -1; // under fMutex for readers on other threads

	~Listener()
	{
		if (fThread.joinable()) {
			// Quit from inside the loop: a quit before the loop runs is lost.
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
		}
		if (fLoop != nullptr)
			g_main_loop_unref(fLoop);
		if (fContext != nullptr)
			g_main_context_unref(fContext);
		if (fConnection != nullptr) {
			g_dbus_connection_close_sync(fConnection, nullptr, nullptr);
			g_object_unref(fConnection);
		}
	}

	// On the listener's thread.
	void Run()
	{
		g_main_context_push_thread_default(fContext);
		// Subscribed with the context pushed: the signal is dispatched here.
		fSubscription = g_dbus_connection_signal_subscribe(fConnection, kLoginName, kLoginInterface,
				"PrepareForSleep", kLoginPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &Listener::OnSignal, this, nullptr);
		TakeInhibitor();
		{
			std::lock_guard<std::mutex> lock(fMutex);
			fReady = true;
		}
		fReadyChanged.notify_all();

		g_main_loop_run(fLoop);

		g_dbus_connection_signal_unsubscribe(fConnection, fSubscription);
		ReleaseInhibitor();
		// Callbacks of the subscription still queued are dropped here.
		while (g_main_context_iteration(fContext, FALSE)) {
		}
		g_main_context_pop_thread_default(fContext);
	}

	// A "delay" lock: the system waits for it (up to its own limit) before
	// it sleeps. Refused (no right to it), the notifier still hears the
	// signal: the system then sleeps without waiting.
	void TakeInhibitor()
	{
		if (HoldsInhibitor())
			return;
		GUnixFDList* fds = nullptr;
		GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(fConnection, kLoginName, kLoginPath,
				kLoginInterface, "Inhibit",
				g_variant_new("(ssss)", "sleep", g_get_prgname() != nullptr ? g_get_prgname() : "qirn",
						"Prepares for sleep", "delay"),
				G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &fds, nullptr, nullptr);
		int fd = -1;
		if (reply != nullptr && fds != nullptr) {
			gint32 index = -1;
			g_variant_get(reply, "(h)", &index);
			// A duplicate, closed on exec, of the list's descriptor.
			fd = g_unix_fd_list_get(fds, index, nullptr);
		}
		if (reply != nullptr)
			g_variant_unref(reply);
		if (fds != nullptr)
			g_object_unref(fds);
		std::lock_guard<std::mutex> lock(fMutex);
		fInhibitor = fd;
	}

	void ReleaseInhibitor()
	{
		int fd = -1;
		{
			std::lock_guard<std::mutex> lock(fMutex);
			fd = fInhibitor;
			fInhibitor = -1;
		}
		if (fd >= 0)
			::close(fd);
	}

	bool HoldsInhibitor()
	{
		std::lock_guard<std::mutex> lock(fMutex);
		return fInhibitor >= 0;
	}

	static void OnSignal(GDBusConnection* /*inConnection*/, const gchar* /*inSender*/, const gchar* /*inPath*/,
			const gchar* /*inInterface*/, const gchar* /*inSignal*/, GVariant* inParameters, gpointer inListener)
	{
		auto* listener = static_cast<Listener*>(inListener);
		if (!g_variant_is_of_type(inParameters, G_VARIANT_TYPE("(b)")))
			return;
		gboolean goingToSleep = FALSE;
		g_variant_get(inParameters, "(b)", &goingToSleep);
		VSleepNotifier* owner = listener->fNotifier->fOwner.load(std::memory_order_acquire);
		if (goingToSleep) {
			if (owner != nullptr)
				owner->HaveSleepNotification();
			// The handlers are done: the system may sleep.
			listener->ReleaseInhibitor();
		} else {
			// Taken first, so that a quick next sleep waits for the handlers.
			listener->TakeInhibitor();
			if (owner != nullptr)
				owner->HaveWakeupNotification();
		}
	}
};

XLinuxSleepNotifier::XLinuxSleepNotifier() = default;

XLinuxSleepNotifier::~XLinuxSleepNotifier() = default;

VError XLinuxSleepNotifier::Init()
{
	if (fListener != nullptr)
		return VE_OK;

	// A connection of our own, not the process's shared one: its signals go
	// to our thread only, and it closes with the notifier.
	gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr);
	if (address == nullptr)
		return VE_OK;
	GDBusConnection* connection = g_dbus_connection_new_for_address_sync(address,
			static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
					G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
			nullptr, nullptr, nullptr);
	g_free(address);
	if (connection == nullptr)
		return VE_OK;
	// A bus without the login manager never tells of sleep.
	if (!HasLoginManager(connection)) {
		g_dbus_connection_close_sync(connection, nullptr, nullptr);
		g_object_unref(connection);
		return VE_OK;
	}

	auto listener = std::make_unique<Listener>();
	listener->fNotifier = this;
	listener->fConnection = connection;
	listener->fContext = g_main_context_new();
	listener->fLoop = g_main_loop_new(listener->fContext, FALSE);
	try {
		listener->fThread = std::thread([raw = listener.get()] { raw->Run(); });
	} catch (const std::system_error&) {
		return VE_SLEEP_NOTIFIER_CANNOT_REGISTER;
	}
	{
		// Listening once Init returns: a signal sent afterwards is heard.
		std::unique_lock<std::mutex> lock(listener->fMutex);
		listener->fReadyChanged.wait(lock, [&] { return listener->fReady; });
	}
	fListener = std::move(listener);
	return VE_OK;
}

bool XLinuxSleepNotifier::IsListening() const
{
	return fListener != nullptr;
}

bool XLinuxSleepNotifier::HoldsInhibitor() const
{
	return fListener != nullptr && fListener->HoldsInhibitor();
}

} // namespace qirn
