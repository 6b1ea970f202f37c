#include "platform/desktop/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/desktop/AppId.h"

namespace platform {

namespace {

constexpr const char* kInterface = "org.freedesktop.Application";
constexpr const char* kIntrospection =
    "<node><interface name='org.freedesktop.Application'>"
    "<method name='Activate'><arg type='a{sv}' name='platform_data' direction='in'/></method>"
    "<method name='Open'><arg type='as' name='uris' direction='in'/>"
    "<arg type='a{sv}' name='platform_data' direction='in'/></method>"
    "</interface></node>";
constexpr const char* kStartupIdKey = "desktop-startup-id";
constexpr auto kClaimRetry = std::chrono::milliseconds(100);
constexpr int kRequestNameTimeoutMs = 5000;
// The running program answers from its UI thread, which a long task may hold for a while.
constexpr int kOpenTimeoutMs = 30000;

// What a folder and a name that may not exist yet really are: the folder resolved, the name kept.
std::string RealPath(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    char* real = ::realpath(folder.c_str(), nullptr);
    if (!real)
        return path;
    std::string result = real;
    std::free(real);
    return result + (result == "/" ? "" : "/") + path.substr(slash == std::string::npos ? 0 : slash + 1);
}

GVariant* PlatformData(const std::string& startupId)
{
    GVariantBuilder data;
    g_variant_builder_init(&data, G_VARIANT_TYPE("a{sv}"));
    if (!startupId.empty())
        g_variant_builder_add(&data, "{sv}", kStartupIdKey, g_variant_new_string(startupId.c_str()));
    return g_variant_builder_end(&data);
}

std::string StartupIdOf(GVariant* platformData)
{
    const gchar* id = nullptr;
    if (platformData && g_variant_lookup(platformData, kStartupIdKey, "&s", &id) && id)
        return id;
    return {};
}

// Errors that mean nobody is serving the name any more (it was given up, or its owner ended
// between our look and our call): try again.
bool OwnerWentAway(const GError* error)
{
    return g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_OBJECT) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_INTERFACE);
}

}  // namespace

std::string InstanceBusName(const std::string& settingsPath)
{
    gchar* digest = g_compute_checksum_for_string(G_CHECKSUM_SHA256, RealPath(settingsPath).c_str(), -1);
    // A name's elements may not begin with a digit.
    std::string name = std::string(kDesktopAppId) + ".I" + std::string(digest).substr(0, 40);
    g_free(digest);
    return name;
}

SingleInstance::SingleInstance(std::string settingsPath)
    : m_settingsPath(std::move(settingsPath)), m_busName(InstanceBusName(m_settingsPath))
{
    m_objectPath = "/" + m_busName;
    for (char& c : m_objectPath)
        if (c == '.')
            c = '/';
    const size_t slash = m_settingsPath.find_last_of('/');
    m_lockPath = slash == std::string::npos ? "." + m_settingsPath + ".lock"
                                            : m_settingsPath.substr(0, slash + 1) + "." +
                                                  m_settingsPath.substr(slash + 1) + ".lock";
}

SingleInstance::~SingleInstance()
{
    StopServing();
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

SingleInstance::Outcome SingleInstance::Claim(const std::vector<std::string>& files, const std::string& startupId,
                                              std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        bool owner = false;
        if (Connect()) {
            owner = RequestName();
            if (!owner) {
                const int handed = HandOver(files, startupId);
                if (handed > 0)
                    return Outcome::HandedOver;
                if (handed < 0)
                    return Outcome::Busy;
            }
        }
        // With the name (or without a bus to hold one), the lock decides.
        if ((owner || !m_connection) && TryLock())
            return Outcome::First;
        if (std::chrono::steady_clock::now() > deadline) {
            StopServing();
            return Outcome::Busy;
        }
        std::this_thread::sleep_for(kClaimRetry);
    }
}

bool SingleInstance::Connect()
{
    if (m_connection)
        return true;
    const std::string address = bus::SessionBusAddress();
    if (address.empty())
        return false;
    std::string failure;
    m_connection = bus::Connect(address, true, failure);
    // Served before the name is taken, so that no call finds the name without the object.
    if (m_connection && !RegisterObject())
        m_connection.reset();
    return m_connection != nullptr;
}

bool SingleInstance::RegisterObject()
{
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    static const GDBusInterfaceVTable vtable = {OnMethodCall, nullptr, nullptr, {}};
    // Calls are dispatched by this thread's main context: the UI thread's loop.
    m_registration = g_dbus_connection_register_object(m_connection.get(), m_objectPath.c_str(),
                                                       node->interfaces[0], &vtable, this, nullptr, nullptr);
    g_dbus_node_info_unref(node);
    return m_registration != 0;
}

bool SingleInstance::RequestName()
{
    constexpr guint32 kDoNotQueue = 4;
    constexpr guint32 kPrimaryOwner = 1;
    constexpr guint32 kAlreadyOwner = 4;
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        m_connection.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", m_busName.c_str(), kDoNotQueue), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE,
        kRequestNameTimeoutMs, nullptr, &error);
    g_clear_error(&error);
    if (!reply)
        return false;
    guint32 result = 0;
    g_variant_get(reply, "(u)", &result);
    g_variant_unref(reply);
    return result == kPrimaryOwner || result == kAlreadyOwner;
}

int SingleInstance::HandOver(const std::vector<std::string>& files, const std::string& startupId)
{
    GVariant* parameters = nullptr;
    const char* method = "Activate";
    if (files.empty()) {
        parameters = g_variant_new("(@a{sv})", PlatformData(startupId));
    } else {
        GVariantBuilder uris;
        g_variant_builder_init(&uris, G_VARIANT_TYPE("as"));
        for (const std::string& file : files) {
            // A URI carries any bytes of a name, where a D-Bus string must be UTF-8.
            if (gchar* uri = g_filename_to_uri(file.c_str(), nullptr, nullptr)) {
                g_variant_builder_add(&uris, "s", uri);
                g_free(uri);
            }
        }
        parameters = g_variant_new("(as@a{sv})", &uris, PlatformData(startupId));
        method = "Open";
    }
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(m_connection.get(), m_busName.c_str(), m_objectPath.c_str(),
                                                  kInterface, method, parameters, G_VARIANT_TYPE_UNIT,
                                                  G_DBUS_CALL_FLAGS_NONE, kOpenTimeoutMs, nullptr, &error);
    if (reply) {
        g_variant_unref(reply);
        return 1;
    }
    const int result = OwnerWentAway(error) ? 0 : -1;
    g_clear_error(&error);
    return result;
}

bool SingleInstance::TryLock()
{
    if (m_lockFd >= 0)
        return true;
    const int fd = ::open(m_lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // A folder we cannot write holds no settings of ours to protect.
    if (fd < 0)
        return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_lockFd = fd;
    return true;
}

void SingleInstance::SetOpenHandler(OpenHandler handler)
{
    m_handler = std::move(handler);
    std::vector<Pending> pending = std::move(m_pending);
    m_pending.clear();
    for (Pending& open : pending)
        Deliver(std::move(open.files), std::move(open.startupId));
}

void SingleInstance::StopServing()
{
    if (!m_connection)
        return;
    if (m_registration)
        g_dbus_connection_unregister_object(m_connection.get(), m_registration);
    m_registration = 0;
    // Closing gives the name up at once; a later launch then waits for the lock.
    g_dbus_connection_close_sync(m_connection.get(), nullptr, nullptr);
    m_connection.reset();
}

void SingleInstance::Deliver(std::vector<std::string> files, std::string startupId)
{
    if (m_handler)
        m_handler(files, startupId);
    else
        m_pending.push_back({std::move(files), std::move(startupId)});
}

void SingleInstance::OnMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                                  GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self)
{
    auto* instance = static_cast<SingleInstance*>(self);
    std::vector<std::string> files;
    GVariant* platformData = nullptr;
    if (g_strcmp0(method, "Open") == 0) {
        GVariantIter* uris = nullptr;
        g_variant_get(parameters, "(as@a{sv})", &uris, &platformData);
        const gchar* uri = nullptr;
        while (g_variant_iter_loop(uris, "&s", &uri)) {
            if (gchar* file = g_filename_from_uri(uri, nullptr, nullptr)) {
                files.emplace_back(file);
                g_free(file);
            }
        }
        g_variant_iter_free(uris);
    } else {
        g_variant_get(parameters, "(@a{sv})", &platformData);
    }
    const std::string startupId = StartupIdOf(platformData);
    if (platformData)
        g_variant_unref(platformData);
    // Answered first: the launch that asked ends now, whatever the handler then shows.
    g_dbus_method_invocation_return_value(invocation, nullptr);
    instance->Deliver(std::move(files), startupId);
}

}  // namespace platform
