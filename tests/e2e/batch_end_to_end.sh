#!/usr/bin/env bash
# A whole batch through the built program and the real encoder control: a prepared settings
# file queues a Video CD .dat and an .mpg (in a folder with a Chinese name), Return starts the
# batch, Escape closes the window afterwards. Checks two readable .rm files with the right
# names and title tags, the saved queue empty, and the log file a single NUL byte.
# $1: the build's output folder.
set -euo pipefail
out=${1:?output folder}
here=$(cd "$(dirname "$0")" && pwd)

# Outside ctest's Xvfb (run by hand), bring a screen of our own.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" bash "$0" "$@"
fi
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1

work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

cp "$out/Quenlar" "$out/Quenlar.htm" "$work/"

# The clips: three seconds of test picture and tone each.
disc="$work/media/Disc1"
trip="$work/media/旅行"
mkdir -p "$disc" "$trip"
clip() {
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=352x288:rate=25" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100" -t 3 "$@"
}
clip -target pal-vcd "$work/vcd.mpg"
perl "$here/make_vcd_dat.pl" "$work/vcd.mpg" "$disc/AVSEQ01.DAT"
clip -c:v mpeg2video -b:v 1500k -c:a mp2 -b:a 192k -f mpeg "$trip/trip.part1.mpg"

cat > "$work/Quenlar.ini" <<INI
[Config]
BitRate=450
FolderAsPrefix=1
AutoShutdown=0
AudioSetting=1
Author=End To End
[Source]
Count=2
0=$disc/AVSEQ01.DAT
1=$trip/trip.part1.mpg
INI

first="$disc/Disc1_AVSEQ01.rm"
second="$trip/旅行_trip.part1.rm"

"$work/Quenlar" &
pid=$!
win=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name '^Quenlar$' | head -n 1) || true
[ -n "$win" ] || fail "no main window"
xdotool windowfocus --sync "$win"
xdotool key Return

# The batch ends when the second target has been renamed into place.
for _ in $(seq 1 1200); do
  [ -f "$first" ] && [ -f "$second" ] && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended during the batch"
  sleep 0.1
done
[ -f "$first" ] || fail "no $first"
[ -f "$second" ] || fail "no $second"
# The finished event follows the rename; Escape before it would ask whether to stop encoding.
# Wait until the program has gone idle: its CPU time stops growing.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
last=$(cpu_ticks)
for _ in $(seq 1 60); do
  sleep 0.5
  now=$(cpu_ticks)
  [ $((now - last)) -le 1 ] && break
  last=$now
done

xdotool windowfocus --sync "$win"
xdotool key Escape
for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "still running after Escape (still encoding?)"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "exit status $status"

# Two readable files with the right streams and titles, decoded to the end without an error.
check_rm() {
  local file=$1 title=$2 info errors duration
  info=$(ffprobe -v error -show_entries format=format_name,duration:format_tags=title \
           -show_entries stream=codec_type,codec_name -of default=noprint_wrappers=1 "$file") ||
    fail "ffprobe cannot read $file"
  grep -qx 'format_name=rm' <<<"$info" || fail "$file is not rm: $info"
  grep -qx 'codec_name=rv20' <<<"$info" || fail "$file has no rv20 video: $info"
  grep -qx 'codec_name=ac3' <<<"$info" || fail "$file has no ac3 audio: $info"
  grep -qxF "TAG:title=$title" <<<"$info" || fail "$file: title is not '$title': $info"
  duration=$(sed -n 's/^duration=//p' <<<"$info")
  awk -v d="$duration" 'BEGIN { exit !(d > 2.5 && d < 3.5) }' || fail "$file lasts $duration s"
  errors=$(ffmpeg -nostdin -v error -i "$file" -f null - 2>&1) || fail "$file does not decode"
  [ -z "$errors" ] || fail "$file decodes with errors: $errors"
}
check_rm "$first" "Disc1_AVSEQ01"
check_rm "$second" "旅行_trip.part1"

# Closing saved the emptied queue and the log of a batch without failures.
tr -d '\r' < "$work/Quenlar.ini" | grep -qx 'Count=0' || { cat "$work/Quenlar.ini"; fail "saved queue not empty"; }
log_bytes=$(od -An -tx1 "$work/Quenlar.inf" | tr -d ' \n')
[ "$log_bytes" = "00" ] || fail "log file is not one NUL byte: $(od -c "$work/Quenlar.inf" | head -5)"
leftovers=$(find "$work/media" -name '.*' -type f)
[ -z "$leftovers" ] || fail "temporary files left: $leftovers"

echo "batch of two: $(basename "$first") and $(basename "$second") written and readable; queue saved empty; log empty"
