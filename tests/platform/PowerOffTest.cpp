// The logind power-off against a private D-Bus peer that plays logind's manager, the fake, and the
// process-wide service. No test here talks to the system bus.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/PowerOff.h"
#include "support/FakePowerOff.h"

using namespace platform;

namespace {

// Every test in this program: the real service answers false instead of reaching the system bus,
// whatever a test forgot to install.
const bool g_forbidden = (ForbidSystemPowerOff(), true);

constexpr const char* kManagerXml =
    "<node><interface name='org.freedesktop.login1.Manager'>"
    "<method name='CanPowerOff'><arg type='s' direction='out'/></method>"
    "<method name='PowerOff'><arg type='b' direction='in'/></method>"
    "</interface></node>";

// logind's manager on a private socket, served from its own thread and main context.
class FakeLogind {
public:
    FakeLogind(std::string canAnswer, bool refusePowerOff = false)
        : m_canAnswer(std::move(canAnswer)), m_refusePowerOff(refusePowerOff)
    {
        char pattern[] = "/tmp/quenlar-logind-XXXXXX";
        m_dir = g_mkdtemp(pattern);
        m_address = "unix:path=" + m_dir + "/bus";
        m_context = g_main_context_new();
        m_loop = g_main_loop_new(m_context, FALSE);
        std::promise<void> ready;
        std::future<void> started = ready.get_future();
        m_thread = std::thread([this, &ready] { Serve(ready); });
        started.wait();
    }

    ~FakeLogind()
    {
        g_main_context_invoke(m_context, [](gpointer loop) -> gboolean {
            g_main_loop_quit(static_cast<GMainLoop*>(loop));
            return G_SOURCE_REMOVE;
        }, m_loop);
        m_thread.join();
        g_main_loop_unref(m_loop);
        g_main_context_unref(m_context);
        std::filesystem::remove_all(m_dir);
    }

    const std::string& Address() const { return m_address; }

    std::vector<std::string> Calls()
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    void Serve(std::promise<void>& ready)
    {
        g_main_context_push_thread_default(m_context);
        gchar* guid = g_dbus_generate_guid();
        GDBusServer* server = g_dbus_server_new_sync(m_address.c_str(), G_DBUS_SERVER_FLAGS_NONE, guid,
                                                     nullptr, nullptr, nullptr);
        g_free(guid);
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kManagerXml, nullptr);
        m_interface = node->interfaces[0];
        if (server) {
            g_signal_connect(server, "new-connection", G_CALLBACK(OnNewConnection), this);
            g_dbus_server_start(server);
        }
        ready.set_value();
        g_main_loop_run(m_loop);
        for (GDBusConnection* connection : m_connections) {
            g_dbus_connection_close_sync(connection, nullptr, nullptr);
            g_object_unref(connection);
        }
        if (server) {
            g_dbus_server_stop(server);
            g_object_unref(server);
        }
        g_dbus_node_info_unref(node);
        g_main_context_pop_thread_default(m_context);
    }

    static gboolean OnNewConnection(GDBusServer*, GDBusConnection* connection, gpointer self)
    {
        auto* logind = static_cast<FakeLogind*>(self);
        static const GDBusInterfaceVTable vtable = {OnMethodCall, nullptr, nullptr, {}};
        g_dbus_connection_register_object(connection, "/org/freedesktop/login1", logind->m_interface, &vtable,
                                          logind, nullptr, nullptr);
        logind->m_connections.push_back(G_DBUS_CONNECTION(g_object_ref(connection)));
        return TRUE;
    }

    static void OnMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                             GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self)
    {
        auto* logind = static_cast<FakeLogind*>(self);
        std::lock_guard lock(logind->m_mutex);
        if (g_strcmp0(method, "CanPowerOff") == 0) {
            logind->m_calls.push_back("CanPowerOff");
            g_dbus_method_invocation_return_value(invocation, g_variant_new("(s)", logind->m_canAnswer.c_str()));
            return;
        }
        gboolean interactive = TRUE;
        g_variant_get(parameters, "(b)", &interactive);
        logind->m_calls.push_back(interactive ? "PowerOff(true)" : "PowerOff(false)");
        if (logind->m_refusePowerOff)
            g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.AccessDenied",
                                                       "not allowed");
        else
            g_dbus_method_invocation_return_value(invocation, nullptr);
    }

    std::string m_canAnswer;
    bool m_refusePowerOff;
    std::string m_dir;
    std::string m_address;
    GMainContext* m_context = nullptr;
    GMainLoop* m_loop = nullptr;
    GDBusInterfaceInfo* m_interface = nullptr;
    std::vector<GDBusConnection*> m_connections;  // touched on the serving thread only
    std::mutex m_mutex;                           // guards m_calls
    std::vector<std::string> m_calls;
    std::thread m_thread;
};

}  // namespace

TEST(PowerOff, LogindPowersOffWhenAllowedOrChallenged)
{
    for (const char* answer : {"yes", "challenge"}) {
        SCOPED_TRACE(answer);
        FakeLogind logind(answer);
        EXPECT_TRUE(LogindPowerOff(logind.Address()).PowerOff());
        EXPECT_EQ(logind.Calls(), (std::vector<std::string>{"CanPowerOff", "PowerOff(false)"}));
    }
}

TEST(PowerOff, LogindAsksNothingMoreWhenNotAllowed)
{
    for (const char* answer : {"no", "na", ""}) {
        SCOPED_TRACE(answer);
        FakeLogind logind(answer);
        LogindPowerOff service(logind.Address());
        EXPECT_FALSE(service.PowerOff());
        EXPECT_EQ(logind.Calls(), std::vector<std::string>{"CanPowerOff"});
        EXPECT_EQ(service.FailureReason(),
                  std::string("logind does not allow it (CanPowerOff answered \"") + answer + "\")");
    }
}

TEST(PowerOff, LogindFailuresAnswerFalse)
{
    FakeLogind refusing("yes", true);
    LogindPowerOff refused(refusing.Address());
    EXPECT_FALSE(refused.PowerOff());
    EXPECT_EQ(refusing.Calls(), (std::vector<std::string>{"CanPowerOff", "PowerOff(false)"}));
    EXPECT_EQ(refused.FailureReason(), "logind refused PowerOff (not allowed)");

    LogindPowerOff unreachable("unix:path=/nonexistent/quenlar-bus");
    EXPECT_FALSE(unreachable.PowerOff());
    EXPECT_EQ(unreachable.FailureReason().rfind("cannot reach the system bus (", 0), 0u)
        << unreachable.FailureReason();
}

TEST(PowerOff, InstalledServiceIsUsedUntilTheGuardEnds)
{
    ASSERT_TRUE(g_forbidden);
    IPowerOff* before = &PowerOffService();
    {
        FakePowerOff fake(false);
        int seen = 0;
        fake.OnCall([&] { seen = fake.Calls(); });
        ScopedPowerOff guard(fake);
        EXPECT_EQ(&PowerOffService(), &fake);
        EXPECT_FALSE(PowerOffService().PowerOff());
        fake.SetResult(true);
        EXPECT_TRUE(PowerOffService().PowerOff());
        EXPECT_EQ(fake.Calls(), 2);
        EXPECT_EQ(seen, 2);
    }
    EXPECT_EQ(&PowerOffService(), before);
}
