#include "platform/desktop/DesktopNotification.h"

#include "platform/desktop/BusConnection.h"

namespace platform {

namespace {

constexpr int kCallTimeoutMs = 3000;

}  // namespace

bool NotifyDesktop(const DesktopNotification& notification)
{
    const std::string address = bus::SessionBusAddress();
    if (address.empty())
        return false;
    std::string failure;
    bus::ConnectionPtr connection = bus::Connect(address, true, failure);
    if (!connection)
        return false;

    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(notification.desktopEntry.c_str()));
    const gchar* const noActions[] = {nullptr};
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        connection.get(), "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
        "org.freedesktop.Notifications", "Notify",
        g_variant_new("(susss^asa{sv}i)", notification.appName.c_str(), 0u, notification.desktopEntry.c_str(),
                      notification.summary.c_str(), notification.body.c_str(), noActions, &hints, -1),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &error);
    g_clear_error(&error);
    if (!reply)
        return false;
    g_variant_unref(reply);
    return true;
}

}  // namespace platform
