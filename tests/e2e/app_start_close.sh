#!/usr/bin/env bash
# The built program starts with a file on its command line (as the desktop's "Open with" passes
# it), shows its main window, closes on Escape with exit status 0, and writes its settings, with
# that file queued, beside itself on the way out. $1: the build's output folder.
set -euo pipefail
out=${1:?output folder}
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$out/Quenlar" "$out/Quenlar.htm" "$work/"

touch "$work/clip one.mpg"
(cd "$work" && exec ./Quenlar "clip one.mpg") &
pid=$!
win=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name '^Quenlar$' | head -n 1)
[ -n "$win" ] || { echo "no main window"; exit 1; }
xdotool windowfocus --sync "$win"
xdotool key Escape

status=0
for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then echo "still running after Escape"; exit 1; fi
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { echo "exit status $status"; exit 1; }
grep -q '^BitRate=450' "$work/Quenlar.ini" || { echo "settings not saved:"; cat "$work/Quenlar.ini" 2>/dev/null; exit 1; }
tr -d '\r' < "$work/Quenlar.ini" | grep -qxF "0=$work/clip one.mpg" ||
  { echo "the command line's file was not queued:"; cat "$work/Quenlar.ini"; exit 1; }
echo "started with a file, closed on Escape with status 0, settings saved with the file queued"
