#include "platform/PowerOff.h"

#include <gio/gio.h>

#include <atomic>
#include <memory>

namespace platform {

namespace {

constexpr const char* kLogindName = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kLogindManager = "org.freedesktop.login1.Manager";
constexpr int kCallTimeoutMs = 10000;

IPowerOff* g_pPowerOff = nullptr;
std::atomic<bool> g_bSystemForbidden{false};

struct ConnectionDeleter {
    void operator()(GDBusConnection* connection) const { g_object_unref(connection); }
};
using ConnectionPtr = std::unique_ptr<GDBusConnection, ConnectionDeleter>;

struct VariantDeleter {
    void operator()(GVariant* value) const { g_variant_unref(value); }
};
using VariantPtr = std::unique_ptr<GVariant, VariantDeleter>;

// The error's own text, without the D-Bus error name that GIO puts in front of remote errors.
std::string ErrorText(GError* error)
{
    if (!error)
        return "no reason given";
    if (g_dbus_error_is_remote_error(error))
        g_dbus_error_strip_remote_error(error);
    return error->message;
}

// A private connection: the shared system-bus connection would end the whole program if the bus
// went away (exit-on-close), and is not ours to change.
ConnectionPtr Connect(const std::string& address, bool messageBus, std::string& failure)
{
    auto flags = G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT;
    if (messageBus)
        flags = static_cast<GDBusConnectionFlags>(flags | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
    GError* error = nullptr;
    GDBusConnection* connection =
        g_dbus_connection_new_for_address_sync(address.c_str(), flags, nullptr, nullptr, &error);
    if (!connection)
        failure = "cannot reach the system bus (" + ErrorText(error) + ")";
    g_clear_error(&error);
    return ConnectionPtr(connection);
}

VariantPtr Call(GDBusConnection* connection, const char* destination, const char* method,
                GVariant* parameters, const GVariantType* replyType, std::string& failure)
{
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(connection, destination, kLogindPath, kLogindManager,
                                                  method, parameters, replyType, G_DBUS_CALL_FLAGS_NONE,
                                                  kCallTimeoutMs, nullptr, &error);
    if (!reply)
        failure = std::string("logind refused ") + method + " (" + ErrorText(error) + ")";
    g_clear_error(&error);
    return VariantPtr(reply);
}

}  // namespace

bool LogindPowerOff::PowerOff()
{
    m_strFailureReason.clear();
    const bool systemBus = m_strBusAddress.empty();
    std::string address = m_strBusAddress;
    if (systemBus) {
        if (g_bSystemForbidden) {
            m_strFailureReason = "the system's power-off is forbidden in this program";
            return false;
        }
        GError* error = nullptr;
        gchar* systemAddress = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
        if (!systemAddress) {
            m_strFailureReason = "cannot find the system bus (" + ErrorText(error) + ")";
            g_clear_error(&error);
            return false;
        }
        address = systemAddress;
        g_free(systemAddress);
    }
    ConnectionPtr connection = Connect(address, systemBus, m_strFailureReason);
    if (!connection)
        return false;
    // A direct peer has no bus to route by name.
    const char* destination = systemBus ? kLogindName : nullptr;

    VariantPtr answer = Call(connection.get(), destination, "CanPowerOff", nullptr, G_VARIANT_TYPE("(s)"),
                             m_strFailureReason);
    if (!answer)
        return false;
    const gchar* can = nullptr;
    g_variant_get(answer.get(), "(&s)", &can);
    // "challenge" is tried: polkit's rules may still let a non-interactive request through.
    if (g_strcmp0(can, "yes") != 0 && g_strcmp0(can, "challenge") != 0) {
        m_strFailureReason = std::string("logind does not allow it (CanPowerOff answered \"") + can + "\")";
        return false;
    }

    return Call(connection.get(), destination, "PowerOff", g_variant_new("(b)", FALSE), G_VARIANT_TYPE_UNIT,
                m_strFailureReason) != nullptr;
}

IPowerOff& PowerOffService()
{
    static LogindPowerOff logind;
    return g_pPowerOff ? *g_pPowerOff : logind;
}

IPowerOff* InstallPowerOff(IPowerOff* service)
{
    IPowerOff* previous = g_pPowerOff;
    g_pPowerOff = service;
    return previous;
}

void ForbidSystemPowerOff()
{
    g_bSystemForbidden = true;
}

}  // namespace platform
