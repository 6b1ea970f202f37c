#!/usr/bin/env bash
# The program left alone on a desktop: a 1280x720 screen under openbox, and a private bus with
# logind and a notification daemon (python-dbusmock). A second launch with a file hands it to the
# running window and ends; the batch (a 16:9 DVD file and that file) holds a sleep inhibitor while
# it runs, keeps the window within the screen, and ends with one notification and the inhibitor
# released; everything queued is converted and the settings file holds the queue throughout.
# Then the converter: --notify sends its own, --no-inhibit takes none.
# $1: the build's output folder. QUENLAR_SHOTS=folder keeps a screenshot from mid-batch there.
set -euo pipefail
out=${1:?output folder}

if [ -z "${QUENLAR_E2E_SCREEN:-}" ]; then
  QUENLAR_E2E_SCREEN=1 exec xvfb-run -a -s "-screen 0 1280x720x24 -noreset" bash "$0" "$@"
fi
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1

work=$(mktemp -d)
pid=
wm=
feeder=
source "$(dirname "$0")/await_exit.bash"
source "$(dirname "$0")/private_bus.bash"
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid" 2>/dev/null || true; fi
  if [ -n "$wm" ]; then kill "$wm" 2>/dev/null || true; fi
  if [ -n "$feeder" ]; then kill "$feeder" 2>/dev/null || true; fi
  stop_private_bus
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

start_private_bus "$work"
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

cp "$out/Quenlar" "$out/Quenlar.htm" "$work/"
media="$work/media"
mkdir -p "$media"
# The encoder runs at many times real time: a 16:9 DVD picture fed through a pipe in real time
# keeps the window grown for as long as the checks need.
mkfifo "$media/wide.mpg"
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=352x288:rate=25" -f lavfi -i "sine=sample_rate=44100" \
  -t 3 -target pal-vcd "$media/second.mpg"
printf '[Config]\nBitRate=450\nAudioSetting=1\n[Source]\nCount=1\n0=%s\n' "$media/wide.mpg" > "$work/Quenlar.ini"
ini() { tr -d '\r' < "$work/Quenlar.ini"; }
# The window with its frame, as "left top right bottom".
frame_box() {
  local x y w h l r t b
  read -r x y w h < <(xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
    /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }')
  read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  echo "$((x - l)) $((y - t)) $((x + w + r)) $((y + h + b))"
}
within_screen() {
  local left top right bottom
  read -r left top right bottom < <(frame_box "$1")
  [ "$left" -ge 0 ] && [ "$top" -ge 0 ] && [ "$right" -le 1280 ] && [ "$bottom" -le 720 ] ||
    fail "$2 left the screen: $left,$top to $right,$bottom"
  echo "$left,$top to $right,$bottom"
}

xdotool mousemove 0 0
"$work/Quenlar" &
pid=$!
win=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name '^Quenlar$' | head -n 1) || true
[ -n "$win" ] || fail "no main window"

# The second launch hands its file over and ends at once, with status 0 and no window.
status=0
(cd "$media" && timeout 20 "$work/Quenlar" second.mpg) || status=$?
[ "$status" -eq 0 ] || fail "the second launch ended with status $status"
windows=$(xdotool search --onlyvisible --name '^Quenlar$' | wc -l)
[ "$windows" -eq 1 ] || fail "$windows windows after the second launch"
ini | grep -qx 'Count=2' && ini | grep -qxF "1=$media/second.mpg" ||
  fail "the handed-over file is not queued and saved: $(ini)"

before_width=$(xwininfo -id "$win" | awk '/Width:/ { print $2 }')
ffmpeg -nostdin -v error -re -f lavfi -i "testsrc2=size=720x576:rate=25" -re -f lavfi -i "sine=sample_rate=48000" \
  -t 6 -c:v mpeg2video -b:v 4000k -aspect 16:9 -c:a mp2 -f dvd pipe:1 > "$media/wide.mpg" 2>/dev/null &
feeder=$!
xdotool windowfocus --sync "$win"
xdotool key Return

# While it runs: the inhibitor is held, and the grown window stays on the 1280x720 screen.
grown=
for _ in $(seq 1 1200); do
  [ -f "$media/wide.rm" ] && [ -f "$media/second.rm" ] && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended during the batch"
  if [ -z "$grown" ] && [ "$(xwininfo -id "$win" | awk '/Width:/ { print $2 }')" -gt $((before_width + 100)) ]; then
    sleep 0.3
    grown=$(within_screen "$win" "the window")
    inhibitors=$(list_inhibitors)
    [ "$inhibitors" = "sleep:idle Quenlar Converting 2 files block" ] || fail "inhibitors while converting: $inhibitors"
    if [ -n "${QUENLAR_SHOTS:-}" ]; then import -window root "$QUENLAR_SHOTS/desktop-mid.png"; fi
  fi
  sleep 0.1
done
[ -f "$media/wide.rm" ] && [ -f "$media/second.rm" ] || fail "not every queued file was converted"
[ -n "$grown" ] || fail "never saw the window grow around the 16:9 display"

# The end: the inhibitor goes, and one notification tells what happened.
for _ in $(seq 1 100); do
  [ -z "$(list_inhibitors)" ] && grep -q ' Notify ' "$work/notify.log" 2>/dev/null && break
  sleep 0.1
done
[ -z "$(list_inhibitors)" ] || fail "the inhibitor was not released at the end: $(list_inhibitors)"
notes=$(grep ' Notify ' "$work/notify.log" || true)
[ "$(wc -l <<<"$notes")" -eq 1 ] && grep -qF '"Quenlar: the batch is done" "2 converted"' <<<"$notes" ||
  fail "expected one notification of 2 converted: $notes"
[ "$(grep -c ' Inhibit ' "$work/logind.log")" -eq 1 ] || fail "Inhibit calls: $(cat "$work/logind.log")"

# "+" (the next tab stop after Start, which has the focus): the chooser, grown by its file list, fits the screen.
xdotool windowfocus --sync "$win"
xdotool key Tab Return
# (The search may list the main window too.)
for _ in $(seq 1 100); do
  chooser=$(xdotool search --onlyvisible --pid "$pid" --name '^Source Files$' | grep -vx "$win" | head -n 1) || true
  [ -n "$chooser" ] && break
  sleep 0.1
done
[ -n "$chooser" ] || fail "no file chooser"
sleep 1
chooser_box=$(within_screen "$chooser" "the file chooser")
xdotool windowfocus --sync "$chooser"
xdotool key Escape
for _ in $(seq 1 50); do xwininfo -id "$chooser" 2>/dev/null | grep -q IsViewable || break; sleep 0.1; done

xdotool windowfocus --sync "$win"
xdotool key Escape
await_clean_exit "Escape"
ini | grep -qx 'Count=0' || fail "the saved queue is not empty: $(ini)"

# The converter: --notify tells its end, --no-inhibit lets the machine sleep.
"$out/quenlar-convert" --quiet --no-inhibit --notify "$media/second.mpg" >/dev/null
[ "$(grep -c ' Inhibit ' "$work/logind.log")" -eq 1 ] || fail "--no-inhibit still inhibited: $(cat "$work/logind.log")"
grep -qF '"quenlar-convert is done" "1 converted"' "$work/notify.log" || fail "no notification from --notify"

echo "chooser within 1280x720 ($chooser_box); second launch handed its file over (one window);"
echo "window within 1280x720 ($grown) while converting;"
echo "inhibitor held during the batch and released at its end; one notification: 2 converted"
