#!/usr/bin/env bash
# A whole batch through the built program and the real encoder control, under a window manager
# that draws frames (openbox): a prepared settings file queues a Video CD .dat and an .mpg (in a
# folder with a Chinese name), Return starts the batch, Escape closes the window afterwards.
# Checks, from screenshots, that the progress bar shows below the encoder's display while a file
# encodes, and that the window comes back to its size; then two readable .rm files with the
# right names and title tags, the saved queue empty, and the log file a single NUL byte.
# $1: the build's output folder. QUENLAR_SHOTS=folder keeps the screenshots there.
set -euo pipefail
out=${1:?output folder}
here=$(cd "$(dirname "$0")" && pwd)

# A screen of our own: the window manager must not frame other tests' windows.
if [ -z "${QUENLAR_E2E_SCREEN:-}" ]; then
  QUENLAR_E2E_SCREEN=1 exec xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" bash "$0" "$@"
fi
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1

work=$(mktemp -d)
pid=
wm=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid" 2>/dev/null || true; fi
  if [ -n "$wm" ]; then kill "$wm" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
source "$(dirname "$0")/await_exit.bash"

openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || fail "openbox did not start: $(cat "$work/openbox.log")"

client_size() { xwininfo -id "$1" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'; }

# The progress bar in a screenshot of the client area: the lowest run of the bar's fill or
# trough colour down the column just inside its left end, with dialog background between it and
# the encoder's display above. Prints where they lie; fails when the bar cannot be seen there.
bar_below_display() {
  local shot=$1 height
  height=$(identify -format '%h' "$shot")
  convert "$shot" -crop "1x${height}+15+0" +repage txt:- | awk -v h="$height" '
    NR > 1 { split($1, at, /[,:]/); col[at[2]] = $3 }
    END {
      bg = "#F6F5F4"
      bar["#3584E4"] = 1; bar["#E1DEDB"] = 1        # done, still to do
      border["#185FB4"] = 1; border["#CDC7C2"] = 1
      bottom = -1
      for (y = h - 1; y >= 0; y--) if (col[y] in bar) { bottom = y; break }
      if (bottom < 0) { print "no progress bar to be seen"; exit 1 }
      top = bottom
      while (top > 0 && col[top - 1] == col[bottom]) top--
      if (bottom - top < 3) { print "only rows " top "-" bottom " of the bar show"; exit 1 }
      y = top - 1
      if (y >= 0 && col[y] in border) y--
      gap = 0
      while (y >= 0 && col[y] == bg) { gap++; y-- }
      if (gap < 1 || y < 0) { print "the bar (rows " top "-" bottom ") is not below the display"; exit 1 }
      print "bar rows " top "-" bottom ", display down to row " y ", client height " h
    }'
}

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
# Long enough for screenshots while it encodes.
clip -c:v mpeg2video -b:v 1500k -c:a mp2 -b:a 192k -f mpeg -t 40 "$trip/trip.part1.mpg"

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

# The pointer away from the window: a tooltip is a window of the program too.
xdotool mousemove 0 0
"$work/Quenlar" &
pid=$!
win=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name '^Quenlar$' | head -n 1) || true
[ -n "$win" ] || fail "no main window"
xprop -id "$win" _NET_FRAME_EXTENTS | grep -q '=' || fail "the window manager gave the window no frame"
before=$(client_size "$win")
xdotool windowfocus --sync "$win"
xdotool key Return

# While a file encodes, the window grows around the display; the bar must show below it.
# The batch ends when the second target has been renamed into place.
seen=
for n in $(seq 1 1200); do
  [ -f "$first" ] && [ -f "$second" ] && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended during the batch"
  if [ -z "$seen" ] && [ "$(client_size "$win")" != "$before" ] &&
     import -window "$win" "$work/mid.png" 2>/dev/null &&
     [ "$(identify -format '%wx%h' "$work/mid.png")" != "$before" ]; then
    if where=$(bar_below_display "$work/mid.png"); then
      seen="$where (client $(identify -format '%wx%h' "$work/mid.png"), at first $before)"
      if [ -n "${QUENLAR_SHOTS:-}" ]; then cp "$work/mid.png" "$QUENLAR_SHOTS/mid-encode-$n.png"; fi
    fi
  fi
  sleep 0.1
done
[ -n "$seen" ] || fail "never saw the progress bar below the display while encoding: $(bar_below_display "$work/mid.png")"
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

after=$(client_size "$win")
[ "$after" = "$before" ] || fail "the window did not come back to its size: $before at first, $after after"
if [ -n "${QUENLAR_SHOTS:-}" ]; then import -window "$win" "$QUENLAR_SHOTS/after.png"; fi

xdotool windowfocus --sync "$win"
xdotool key Escape
await_clean_exit "Escape (still encoding?)"

# Two readable files with the right streams and titles, decoded to the end without an error.
check_rm() {
  local file=$1 title=$2 info errors duration  # $3: seconds it should last
  info=$(ffprobe -v error -show_entries format=format_name,duration:format_tags=title \
           -show_entries stream=codec_type,codec_name -of default=noprint_wrappers=1 "$file") ||
    fail "ffprobe cannot read $file"
  grep -qx 'format_name=rm' <<<"$info" || fail "$file is not rm: $info"
  grep -qx 'codec_name=rv40' <<<"$info" || fail "$file has no rv40 video: $info"
  grep -qx 'codec_name=cook' <<<"$info" || fail "$file has no cook audio (the default row's): $info"
  grep -qxF "TAG:title=$title" <<<"$info" || fail "$file: title is not '$title': $info"
  duration=$(sed -n 's/^duration=//p' <<<"$info")
  awk -v d="$duration" -v s="$3" 'BEGIN { exit !(d > s - 0.5 && d < s + 0.5) }' || fail "$file lasts $duration s"
  errors=$(ffmpeg -nostdin -v error -i "$file" -f null - 2>&1) || fail "$file does not decode"
  [ -z "$errors" ] || fail "$file decodes with errors: $errors"
}
check_rm "$first" "Disc1_AVSEQ01" 3
check_rm "$second" "旅行_trip.part1" 40

# Closing saved the emptied queue and the log of a batch without failures.
tr -d '\r' < "$work/Quenlar.ini" | grep -qx 'Count=0' || { cat "$work/Quenlar.ini"; fail "saved queue not empty"; }
log_bytes=$(od -An -tx1 "$work/Quenlar.inf" | tr -d ' \n')
[ "$log_bytes" = "00" ] || fail "log file is not one NUL byte: $(od -c "$work/Quenlar.inf" | head -5)"
leftovers=$(find "$work/media" -name '.*' -type f)
[ -z "$leftovers" ] || fail "temporary files left: $leftovers"

echo "under openbox: $seen; back to $after after the batch"
echo "batch of two: $(basename "$first") and $(basename "$second") written and readable; queue saved empty; log empty"
