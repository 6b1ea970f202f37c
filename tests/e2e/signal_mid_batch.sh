#!/usr/bin/env bash
# SIGTERM while the program encodes (a logout, a shutdown, a kill), with the exit question open
# and unanswered: it closes as Yes on that question would, with exit status 0, the queue saved
# with the interrupted file first, and no file of its own left in the video folder. The file
# before it, whose name is 250 bytes long, was converted. $1: the build's output folder.
set -euo pipefail
out=${1:?output folder}

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" bash "$0" "$@"
fi
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1

work=$(mktemp -d)
pid=
feeder=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill -9 "$pid" 2>/dev/null || true; fi
  if [ -n "$feeder" ]; then kill "$feeder" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
source "$(dirname "$0")/await_exit.bash"

cp "$out/Quenlar" "$out/Quenlar.htm" "$work/"
media="$work/media"
mkdir -p "$media"
clip() {
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=352x288:rate=25" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100" -c:v mpeg2video -b:v 1500k -c:a mp2 -f mpeg "$@"
}
short="$media/$(printf 'n%.0s' $(seq 1 246)).mpg"   # 250 bytes: the longest names are legal too
long="$media/long.mpg"
clip -t 3 "$short"
# A file on disk of any length may be done before the signal comes (the encoder runs at many
# times real time); a pipe fed in real time keeps the encode going for as long as the test needs.
mkfifo "$long"
ffmpeg -nostdin -v error -re -f lavfi -i "testsrc2=size=352x288:rate=25" \
  -re -f lavfi -i "sine=frequency=440:sample_rate=44100" -t 120 \
  -c:v mpeg2video -b:v 1500k -c:a mp2 -f mpeg pipe:1 > "$long" 2>/dev/null &
feeder=$!

cat > "$work/Quenlar.ini" <<INI
[Config]
BitRate=450
AudioSetting=1
[Source]
Count=2
0=$short
1=$long
INI

# The pointer away from the window: a tooltip is a window of the program too.
xdotool mousemove 0 0
"$work/Quenlar" &
pid=$!
win=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name '^Quenlar$' | head -n 1) || true
[ -n "$win" ] || fail "no main window"
xdotool windowfocus --sync "$win"
xdotool key Return

first="${short%.mpg}.rm"
for _ in $(seq 1 600); do
  [ -f "$first" ] && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended during the batch"
  sleep 0.1
done
[ -f "$first" ] || fail "the 250-byte name was not converted: $(od -c "$work/Quenlar.inf" 2>/dev/null | head -5)"
# The checkpoint after the first file saves the queue without it; then the long file is under way.
for _ in $(seq 1 300); do
  tr -d '\r' < "$work/Quenlar.ini" | grep -qx 'Count=1' && break
  sleep 0.1
done
sleep 1
xdotool windowfocus --sync "$win"
xdotool key Escape   # the exit question, left open
for _ in $(seq 1 50); do
  [ "$(xdotool search --onlyvisible --pid "$pid" --name '^Quenlar$' | wc -l)" -ge 2 ] && break
  sleep 0.1
done
[ "$(xdotool search --onlyvisible --pid "$pid" --name '^Quenlar$' | wc -l)" -ge 2 ] || fail "no exit question"
kill -TERM "$pid"
await_clean_exit SIGTERM

ini=$(tr -d '\r' < "$work/Quenlar.ini")
grep -qx 'Count=1' <<<"$ini" || fail "saved queue: $ini"
grep -qxF "0=$long" <<<"$ini" || fail "the interrupted file is not first in the saved queue: $ini"
grep -qx 'BitRate=450' <<<"$ini" || fail "options not saved: $ini"
[ -f "$work/Quenlar.inf" ] || fail "log not saved"
ffprobe -v error -show_entries format=format_name -of csv=p=0 "$first" | grep -qx rm || fail "$first is not readable"
left=$(find "$media" -type f ! -name "$(basename "$short")" ! -name long.mpg ! -name "$(basename "$first")")
[ -z "$left" ] || fail "files left in the video folder: $left"
echo "SIGTERM mid-encode with the exit question open: exit 0, long.mpg first in the saved queue, nothing left; the 250-byte name converted"
