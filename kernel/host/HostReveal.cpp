#include "host/HostReveal.h"
#include "host/HostTrash.h"

#include <cerrno>
#include <cstdlib>
#include <gio/gio.h>
#include <string>
#include <sys/stat.h>

namespace qirn::host {

namespace {

constexpr int kCallTimeoutMilliseconds = 5000;

// The session bus's address from the environment or the usual socket; empty
// when there is none. GLib's own lookup may start a bus (autolaunch), which
// a program without a session must never wait for.
std::string SessionBusAddress()
{
	if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address != nullptr && address[0] != 0)
		return address;
	const char* runtime = std::getenv("XDG_RUNTIME_DIR");
	if (runtime == nullptr || runtime[0] == 0)
		return std::string();
	const std::string socket = std::string(runtime) + "/bus";
	struct stat status{};
	if (::stat(socket.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode))
		return std::string();
	gchar* escaped = g_dbus_address_escape_value(socket.c_str());
	std::string address = std::string("unix:path=") + escaped;
	g_free(escaped);
	return address;
}

int ErrnoFromError(const GError* inError)
{
	if (inError == nullptr)
		return EIO;
	if (inError->domain == G_IO_ERROR)
		return ErrnoFromGIOError(inError->code);
	if (inError->domain == G_DBUS_ERROR) {
		switch (inError->code) {
		case G_DBUS_ERROR_SERVICE_UNKNOWN:
		case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
		case G_DBUS_ERROR_UNKNOWN_METHOD:
		case G_DBUS_ERROR_UNKNOWN_INTERFACE:
		case G_DBUS_ERROR_UNKNOWN_OBJECT:
			return ENOTSUP;
		case G_DBUS_ERROR_ACCESS_DENIED:
		case G_DBUS_ERROR_AUTH_FAILED:
			return EACCES;
		case G_DBUS_ERROR_NO_REPLY:
		case G_DBUS_ERROR_TIMEOUT:
		case G_DBUS_ERROR_TIMED_OUT:
			return ETIMEDOUT;
		default:
			return EIO;
		}
	}
	return EIO;
}

} // namespace

int RevealItem(const char* inPath)
{
	if (inPath == nullptr || inPath[0] == 0)
		return EINVAL;
	const std::string address = SessionBusAddress();
	if (address.empty())
		return ENOTCONN;
	GError* error = nullptr;
	GDBusConnection* bus = g_dbus_connection_new_for_address_sync(address.c_str(),
		static_cast<GDBusConnectionFlags>(
			G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
		nullptr, nullptr, &error);
	if (bus == nullptr) {
		const int result = error != nullptr && error->domain == G_IO_ERROR ? ENOTCONN : ErrnoFromError(error);
		g_clear_error(&error);
		return result;
	}
	gchar* uri = g_filename_to_uri(inPath, nullptr, &error);
	int result = 0;
	if (uri == nullptr) {
		result = EINVAL;
		g_clear_error(&error);
	} else {
		const gchar* uris[] = {uri, nullptr};
		GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.FileManager1",
			"/org/freedesktop/FileManager1", "org.freedesktop.FileManager1", "ShowItems",
			g_variant_new("(^ass)", uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMilliseconds,
			nullptr, &error);
		if (reply != nullptr)
			g_variant_unref(reply);
		else
			result = ErrnoFromError(error);
		g_clear_error(&error);
		g_free(uri);
	}
	g_dbus_connection_close_sync(bus, nullptr, nullptr);
	g_object_unref(bus);
	return result;
}

} // namespace qirn::host
