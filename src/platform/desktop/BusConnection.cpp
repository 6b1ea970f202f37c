#include "platform/desktop/BusConnection.h"

#include <sys/stat.h>

#include <cstdlib>

namespace platform::bus {

std::string TakeErrorText(GError*& error)
{
    if (!error)
        return "no reason given";
    if (g_dbus_error_is_remote_error(error))
        g_dbus_error_strip_remote_error(error);
    std::string text = error->message;
    g_clear_error(&error);
    return text;
}

std::string SystemBusAddress(std::string& failure)
{
    GError* error = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
    if (!address) {
        failure = TakeErrorText(error);
        return {};
    }
    std::string result = address;
    g_free(address);
    return result;
}

std::string SessionBusAddress()
{
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
        return address;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || runtime[0] != '/')
        return {};
    const std::string socket = std::string(runtime) + "/bus";
    struct stat st {};
    if (::stat(socket.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode))
        return {};
    return "unix:path=" + socket;
}

ConnectionPtr Connect(const std::string& address, bool messageBus, std::string& failure)
{
    auto flags = G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT;
    if (messageBus)
        flags = static_cast<GDBusConnectionFlags>(flags | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
    GError* error = nullptr;
    GDBusConnection* connection =
        g_dbus_connection_new_for_address_sync(address.c_str(), flags, nullptr, nullptr, &error);
    if (!connection)
        failure = TakeErrorText(error);
    return ConnectionPtr(connection);
}

}  // namespace platform::bus
