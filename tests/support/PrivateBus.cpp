#include "support/PrivateBus.h"

#include <gio/gio.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

constexpr auto kStartWait = std::chrono::seconds(20);
constexpr auto kPoll = std::chrono::milliseconds(20);

struct Connection {
    explicit Connection(const std::string& address)
    {
        const auto flags = static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
        connection = g_dbus_connection_new_for_address_sync(address.c_str(), flags, nullptr, nullptr, nullptr);
    }
    ~Connection()
    {
        if (connection)
            g_object_unref(connection);
    }
    // The reply, or null; the caller unrefs it.
    GVariant* Call(const char* name, const char* path, const char* interface, const char* method,
                   GVariant* parameters) const
    {
        if (!connection)
            return nullptr;
        return g_dbus_connection_call_sync(connection, name, path, interface, method, parameters, nullptr,
                                           G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    }
    GDBusConnection* connection = nullptr;
};

void PointBusesAt(const std::string& address)
{
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
}

}  // namespace

PrivateBus::PrivateBus()
{
    const std::string socket = m_dir.File("bus");
    m_address = "unix:path=" + socket;
    if (Spawn({"dbus-daemon", "--nofork", "--config-file=" QUENLAR_SOURCE_DIR "/tests/support/private-bus.conf",
               "--address=" + m_address}) <= 0) {
        m_failure = "dbus-daemon did not start (Debian: dbus-daemon)";
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + kStartWait;
    while (!Connection(m_address).connection && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(kPoll);
    PointBusesAt(m_address);
    // The mocks are Debian's python3-dbusmock, whichever python3 comes first on the path.
    Spawn({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "logind"});
    Spawn({"/usr/bin/python3", "-m", "dbusmock", "--session", "--template", "notification_daemon"});
    if (!WaitForName("org.freedesktop.login1") || !WaitForName("org.freedesktop.Notifications"))
        m_failure = "the dbusmock templates did not come up on " + m_address + " (Debian: python3-dbusmock)";
}

PrivateBus::~PrivateBus()
{
    PointBusesAt(kNoBusAddress);
    // Only the processes this object started, newest first.
    for (auto child = m_children.rbegin(); child != m_children.rend(); ++child) {
        ::kill(*child, SIGTERM);
        int status = 0;
        ::waitpid(*child, &status, 0);
    }
}

pid_t PrivateBus::Spawn(const std::vector<std::string>& argv)
{
    std::vector<gchar*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<gchar*>(arg.c_str()));
    args.push_back(nullptr);
    GPid pid = 0;
    const auto flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                                G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL);
    if (!g_spawn_async(nullptr, args.data(), nullptr, flags, nullptr, nullptr, &pid, nullptr))
        return -1;
    m_children.push_back(pid);
    return pid;
}

bool PrivateBus::WaitForName(const std::string& name)
{
    const auto deadline = std::chrono::steady_clock::now() + kStartWait;
    while (std::chrono::steady_clock::now() < deadline) {
        const Connection bus(m_address);
        if (GVariant* reply = bus.Call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                       "NameHasOwner", g_variant_new("(s)", name.c_str()))) {
            gboolean owned = FALSE;
            g_variant_get(reply, "(b)", &owned);
            g_variant_unref(reply);
            if (owned)
                return true;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return false;
}

std::vector<PrivateBus::Inhibitor> PrivateBus::Inhibitors() const
{
    std::vector<Inhibitor> inhibitors;
    const Connection bus(m_address);
    GVariant* reply = bus.Call("org.freedesktop.login1", "/org/freedesktop/login1",
                               "org.freedesktop.login1.Manager", "ListInhibitors", nullptr);
    if (!reply)
        return inhibitors;
    GVariantIter* iter = nullptr;
    g_variant_get(reply, "(a(ssssuu))", &iter);
    const gchar *what, *who, *why, *mode;
    guint32 uid, pid;
    while (g_variant_iter_next(iter, "(&s&s&s&suu)", &what, &who, &why, &mode, &uid, &pid))
        inhibitors.push_back({what, who, why, mode});
    g_variant_iter_free(iter);
    g_variant_unref(reply);
    return inhibitors;
}

bool PrivateBus::WaitForInhibitors(std::size_t count) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Inhibitors().size() != count) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

std::vector<PrivateBus::Notification> PrivateBus::Notifications() const
{
    std::vector<Notification> notifications;
    const Connection bus(m_address);
    GVariant* reply = bus.Call("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                               "org.freedesktop.DBus.Mock", "GetMethodCalls", g_variant_new("(s)", "Notify"));
    if (!reply)
        return notifications;
    GVariantIter* calls = nullptr;
    g_variant_get(reply, "(a(tav))", &calls);
    guint64 when = 0;
    GVariantIter* args = nullptr;
    while (g_variant_iter_next(calls, "(tav)", &when, &args)) {
        std::vector<std::string> strings;
        GVariant* arg = nullptr;
        while (g_variant_iter_next(args, "v", &arg)) {
            strings.emplace_back(g_variant_is_of_type(arg, G_VARIANT_TYPE_STRING) ? g_variant_get_string(arg, nullptr)
                                                                                 : "");
            g_variant_unref(arg);
        }
        g_variant_iter_free(args);
        // Notify's arguments: app name, replaced id, icon, summary, body, ...
        if (strings.size() >= 5)
            notifications.push_back({strings[0], strings[3], strings[4]});
    }
    g_variant_iter_free(calls);
    g_variant_unref(reply);
    return notifications;
}
