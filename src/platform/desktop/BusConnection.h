// Private connections to the system and session buses, for the few desktop services the
// programs use (power-off, the sleep inhibitor, notifications, the one-instance name). GIO only:
// the headless converter links this too.
#pragma once

#include <gio/gio.h>

#include <memory>
#include <string>

namespace platform::bus {

struct ConnectionDeleter {
    void operator()(GDBusConnection* connection) const { g_object_unref(connection); }
};
using ConnectionPtr = std::unique_ptr<GDBusConnection, ConnectionDeleter>;

struct VariantDeleter {
    void operator()(GVariant* value) const { g_variant_unref(value); }
};
using VariantPtr = std::unique_ptr<GVariant, VariantDeleter>;

// The error's own text, without the D-Bus error name that GIO puts in front of remote errors.
// Clears the error.
std::string TakeErrorText(GError*& error);

// The system bus's address ($DBUS_SYSTEM_BUS_ADDRESS, else the well-known socket); empty with
// `failure` set when there is none.
std::string SystemBusAddress(std::string& failure);
// The session bus's address ($DBUS_SESSION_BUS_ADDRESS, else $XDG_RUNTIME_DIR/bus when that
// socket exists), or empty when there is none. Never starts a bus: GLib's own lookup would
// launch one for an X11 session that has none.
std::string SessionBusAddress();

// A connection of our own: the shared one would end the whole program if its bus went away
// (exit-on-close), and is not ours to change. `messageBus`: a bus daemon rather than a direct
// peer. Null with `failure` set to the reason when it cannot be made.
ConnectionPtr Connect(const std::string& address, bool messageBus, std::string& failure);

}  // namespace platform::bus
