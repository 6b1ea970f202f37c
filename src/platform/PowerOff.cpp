#include "platform/PowerOff.h"

#include <gio/gio.h>

#include <atomic>

#include "platform/desktop/BusConnection.h"

namespace platform {

namespace {

using bus::ConnectionPtr;
using bus::VariantPtr;

constexpr const char* kLogindName = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kLogindManager = "org.freedesktop.login1.Manager";
constexpr int kCallTimeoutMs = 10000;

IPowerOff* g_pPowerOff = nullptr;
std::atomic<bool> g_bSystemForbidden{false};

VariantPtr Call(GDBusConnection* connection, const char* destination, const char* method,
                GVariant* parameters, const GVariantType* replyType, std::string& failure)
{
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(connection, destination, kLogindPath, kLogindManager,
                                                  method, parameters, replyType, G_DBUS_CALL_FLAGS_NONE,
                                                  kCallTimeoutMs, nullptr, &error);
    if (!reply)
        failure = std::string("logind refused ") + method + " (" + bus::TakeErrorText(error) + ")";
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
        std::string failure;
        address = bus::SystemBusAddress(failure);
        if (address.empty()) {
            m_strFailureReason = "cannot find the system bus (" + failure + ")";
            return false;
        }
    }
    std::string failure;
    ConnectionPtr connection = bus::Connect(address, systemBus, failure);
    if (!connection) {
        m_strFailureReason = "cannot reach the system bus (" + failure + ")";
        return false;
    }
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
