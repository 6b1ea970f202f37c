#include "platform/desktop/SleepInhibitor.h"

#include <gio/gunixfdlist.h>
#include <unistd.h>

#include "platform/desktop/BusConnection.h"

namespace platform {

namespace {

// logind answers at once; a hung one must not hold up the Start button for long.
constexpr int kCallTimeoutMs = 3000;

}  // namespace

bool SleepInhibitor::Take(const std::string& who, const std::string& why)
{
    Release();
    std::string failure;
    const std::string address = bus::SystemBusAddress(failure);
    if (address.empty())
        return false;
    bus::ConnectionPtr connection = bus::Connect(address, true, failure);
    if (!connection)
        return false;
    GUnixFDList* fds = nullptr;
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(
        connection.get(), "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
        "Inhibit", g_variant_new("(ssss)", "sleep:idle", who.c_str(), why.c_str(), "block"),
        G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &fds, nullptr, &error);
    if (!reply) {
        g_clear_error(&error);
        return false;
    }
    gint32 index = -1;
    g_variant_get(reply, "(h)", &index);
    g_variant_unref(reply);
    if (fds) {
        // A duplicate of our own: the list closes its copies when it goes.
        m_fd = g_unix_fd_list_get(fds, index, nullptr);
        g_object_unref(fds);
    }
    // The descriptor keeps the inhibitor; the connection is no longer needed.
    return m_fd >= 0;
}

void SleepInhibitor::Release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

}  // namespace platform
