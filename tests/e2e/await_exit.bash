# Sourced by the end-to-end scripts (not a test itself: ctest takes only *.sh).
# await_clean_exit WHAT: the program $pid must end within 10 s of WHAT (what was done to it) with
# exit status 0. Clears pid, so that the script's clean-up leaves it alone.
await_clean_exit() {
  local status=0
  for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "still running 10 s after $1"
  wait "$pid" || status=$?
  pid=
  [ "$status" -eq 0 ] || fail "exit status $status after $1"
}
