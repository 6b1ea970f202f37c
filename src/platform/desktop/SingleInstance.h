// One running program per settings file. The first launch owns a well-known name on the session
// bus, derived from the settings file's path, and serves the desktop's org.freedesktop.Application
// interface there; a later launch hands its files to it through Open and ends. A lock file beside
// the settings file keeps a second program from writing the same file where there is no session
// bus (or two launches see different buses).
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/desktop/BusConnection.h"

namespace platform {

// The bus name for a settings file: the program's id and a digest of the file's real path.
std::string InstanceBusName(const std::string& settingsPath);

// Lives on the UI thread, from before the main window until after the last write of the
// settings file. Hand-overs are delivered by the thread's main loop.
class SingleInstance {
public:
    enum class Outcome {
        First,       // this program is the one: go on
        HandedOver,  // the running one took the files: end, status 0
        Busy,        // another one holds the settings file and could not be reached
    };
    // Files from a later launch (absolute paths, as bytes), and that launch's startup id.
    using OpenHandler = std::function<void(const std::vector<std::string>& files, const std::string& startupId)>;

    explicit SingleInstance(std::string settingsPath);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Becomes the instance for the settings file, or hands `files` (and the launch's startup id,
    // so that the running window may come to the front) to the one that is. Waits up to `wait`
    // for one that is closing to let go of the settings file.
    Outcome Claim(const std::vector<std::string>& files, const std::string& startupId,
                  std::chrono::milliseconds wait = std::chrono::seconds(10));
    // Where later launches' files go; those that came before it was set are handed to it now.
    void SetOpenHandler(OpenHandler handler);
    // Gives the name up, so that later launches wait for the lock instead of handing files to a
    // program that is closing. The lock is kept until this object goes.
    void StopServing();

    const std::string& LockPath() const { return m_lockPath; }

private:
    struct Pending {
        std::vector<std::string> files;
        std::string startupId;
    };

    bool Connect();
    bool RegisterObject();
    // True when this connection owns the name now.
    bool RequestName();
    // 1: handed over; 0: nobody took them (the owner went meanwhile); -1: the owner failed to.
    int HandOver(const std::vector<std::string>& files, const std::string& startupId);
    bool TryLock();
    void Deliver(std::vector<std::string> files, std::string startupId);
    static void OnMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                             GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self);

    std::string m_settingsPath;
    std::string m_busName;
    std::string m_objectPath;
    std::string m_lockPath;
    bus::ConnectionPtr m_connection;
    unsigned m_registration = 0;
    int m_lockFd = -1;
    OpenHandler m_handler;
    std::vector<Pending> m_pending;
};

}  // namespace platform
