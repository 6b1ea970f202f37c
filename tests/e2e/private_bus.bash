# Sourced by the end-to-end scripts (not a test itself: ctest takes only *.sh).
# start_private_bus DIR: a dbus-daemon of our own at DIR/bus, standing in for both the system and
# the session bus, with python-dbusmock's logind and notification-daemon mocks on it; their calls
# are logged to DIR/logind.log and DIR/notify.log. Both bus addresses are exported; the machine's
# own buses are never reached. stop_private_bus ends what start_private_bus started.
bus_pids=()

start_private_bus() {
  local dir=$1 conf
  conf="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/support/private-bus.conf"
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/bus" DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus"
  dbus-daemon --nofork --config-file="$conf" --address="$DBUS_SESSION_BUS_ADDRESS" 2>/dev/null &
  bus_pids+=($!)
  for _ in $(seq 1 100); do [ -S "$dir/bus" ] && break; sleep 0.05; done
  [ -S "$dir/bus" ] || { echo "FAIL: dbus-daemon did not start (Debian: dbus-daemon)"; return 1; }
  # Debian's python3-dbusmock, whichever python3 comes first on the path.
  /usr/bin/python3 -m dbusmock --system --template logind -l "$dir/logind.log" >/dev/null 2>&1 &
  bus_pids+=($!)
  /usr/bin/python3 -m dbusmock --session --template notification_daemon -l "$dir/notify.log" >/dev/null 2>&1 &
  bus_pids+=($!)
  local name
  for name in org.freedesktop.login1 org.freedesktop.Notifications; do
    for _ in $(seq 1 200); do bus_has_name "$name" && break; sleep 0.05; done
    bus_has_name "$name" || { echo "FAIL: no $name on the private bus (Debian: python3-dbusmock)"; return 1; }
  done
}

bus_has_name() {
  gdbus call --address "$DBUS_SESSION_BUS_ADDRESS" --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}

# logind's inhibitors now, one "what who why mode" per line.
list_inhibitors() {
  gdbus call --address "$DBUS_SYSTEM_BUS_ADDRESS" --dest org.freedesktop.login1 \
    --object-path /org/freedesktop/login1 --method org.freedesktop.login1.Manager.ListInhibitors |
    { grep -o "('[^']*', '[^']*', '[^']*', '[^']*'" || true; } | tr -d "(',"
}

stop_private_bus() {
  local p
  for p in "${bus_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${bus_pids[@]}"; do wait "$p" 2>/dev/null || true; done
  bus_pids=()
}
