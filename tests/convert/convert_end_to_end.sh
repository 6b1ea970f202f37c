#!/usr/bin/env bash
# quenlar-convert as scripts use it, with no display: a Video CD .dat in Disc1/, an .mpg in a
# folder with a blank, a garbage file and a missing one side by side; a Quenlar.ini queue with
# its options; GNU parallel over four files; Ctrl+C and SIGTERM in the middle of an encode.
# $1: the build's output folder.
set -euo pipefail
out=${1:?output folder}
here=$(cd "$(dirname "$0")" && pwd)
convert="$out/quenlar-convert"
unset DISPLAY WAYLAND_DISPLAY

work=$(mktemp -d)
writer=
cleanup() {
  if [ -n "$writer" ]; then kill "$writer" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
cd "$work"

# No toolkit: the converter runs where there is no display and no GUI library.
gui=$(ldd "$convert" | grep -E 'libwx_|libgtk-|libgdk-3' || true)
[ -z "$gui" ] || fail "the converter links GUI libraries: $gui"

clip() {
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=352x288:rate=25" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100" -t "$1" "${@:2}"
}
clip 3 -target pal-vcd vcd.mpg
mkdir Disc1 "My Films"
perl "$here/../e2e/make_vcd_dat.pl" vcd.mpg Disc1/AVSEQ01.DAT
clip 3 -c:v mpeg2video -b:v 1500k -c:a mp2 -b:a 192k -f mpeg "My Films/trip.mpg"
head -c 100000 /dev/urandom > garbage.mpg

# Readable rm with rv40 and cook (the default audio row) of about three seconds; the title (and author, when given).
check_rm() {
  local file=$1 title=$2 author=${3:-} info duration
  info=$(ffprobe -v error -show_entries format=format_name,duration:format_tags=title,author \
           -show_entries stream=codec_name,bit_rate -of default=noprint_wrappers=1 "$file") ||
    fail "ffprobe cannot read $file"
  grep -qx 'format_name=rm' <<<"$info" || fail "$file is not rm: $info"
  grep -qx 'codec_name=rv40' <<<"$info" || fail "$file has no rv40 video: $info"
  grep -qx 'codec_name=cook' <<<"$info" || fail "$file has no cook audio (the default row's): $info"
  grep -qxF "TAG:title=$title" <<<"$info" || fail "$file: title is not '$title': $info"
  [ -z "$author" ] || grep -qxF "TAG:author=$author" <<<"$info" || fail "$file: author is not '$author': $info"
  duration=$(sed -n 's/^duration=//p' <<<"$info")
  awk -v d="$duration" 'BEGIN { exit !(d > 2.5 && d < 3.5) }' || fail "$file lasts $duration s"
}
no_leftovers() {
  local extra
  extra=$(find "$work" -name '.*' -o -name '*.tmp' | grep -v "^$work$" || true)
  [ -z "$extra" ] || fail "temporary files left: $extra"
}

# 1. Two good files among a garbage and a missing one, two at a time, folder names as prefix.
status=0
"$convert" --jobs 2 --folder-prefix Disc1/AVSEQ01.DAT "My Films/trip.mpg" garbage.mpg missing.mpg \
  > run1.txt 2>&1 || status=$?
[ "$status" -eq 1 ] || { cat run1.txt; fail "exit status $status, not 1"; }
check_rm Disc1/Disc1_AVSEQ01.rm Disc1_AVSEQ01
check_rm "My Films/My Films_trip.rm" "My Films_trip"
grep -qxF 'ok Disc1/AVSEQ01.DAT -> Disc1/Disc1_AVSEQ01.rm' <(sed 's/ (.*//' run1.txt) || fail "no ok line: $(cat run1.txt)"
grep -q '^failed garbage\.mpg: .*garbage\.mpg' run1.txt || fail "garbage not named: $(cat run1.txt)"
grep -q '^failed missing\.mpg: .*missing\.mpg' run1.txt || fail "missing file not named: $(cat run1.txt)"
grep -qx 'done: 2 converted, 2 failed (.*)' run1.txt || fail "no summary: $(cat run1.txt)"
[ ! -e garbage.rm ] && [ ! -e missing.rm ] || fail "a failed file left a target"
no_leftovers

# 2. A dialog's queue: its [Config] options apply, converted entries leave the file, the failed
#    one stays queued.
cp vcd.mpg q1.mpg
printf '[Config]\r\nBitRate=500\r\nFolderAsPrefix=0\r\nAutoShutdown=0\r\nAudioSetting=3\r\nAuthor=Queue Author\r\n[Source]\r\nCount=2\r\n0=%s\r\n1=%s\r\n' \
  "$work/q1.mpg" "$work/gone.mpg" > Quenlar.ini
status=0
"$convert" --queue Quenlar.ini > run2.txt 2>&1 || status=$?
[ "$status" -eq 1 ] || { cat run2.txt; fail "queue run: exit status $status, not 1"; }
check_rm q1.rm q1 "Queue Author"
audio_rate=$(ffprobe -v error -select_streams a -show_entries stream=bit_rate -of csv=p=0 q1.rm)
# Row 3 is cook at its named 96 kbit/s, within 1 %.
awk -v r="$audio_rate" 'BEGIN { exit !(r > 95040 && r < 96960) }' || fail "AudioSetting=3 gave audio at $audio_rate bit/s"
queue=$(tr -d '\r' < Quenlar.ini)
grep -qx 'Count=1' <<<"$queue" && grep -qxF "0=$work/gone.mpg" <<<"$queue" ||
  fail "queue not updated: $queue"

# 3. GNU parallel spreads files over converters, as it would over hosts.
for i in 1 2 3 4; do cp vcd.mpg "p$i.mpg"; done
parallel -j2 "$convert" --quiet ::: p1.mpg p2.mpg p3.mpg p4.mpg > run3.txt 2>&1 ||
  fail "parallel: $(cat run3.txt)"
for i in 1 2 3 4; do
  [ "$(ffprobe -v error -show_entries format=format_name -of csv=p=0 "p$i.rm")" = rm ] || fail "p$i.rm unreadable"
done
no_leftovers

# 4. Ctrl+C and SIGTERM while an encode runs: it stops, an existing target stays as it was,
#    nothing else is left. The source is a pipe fed in real time, so the encode is surely running.
set -m  # background jobs keep SIGINT instead of ignoring it
clip 20 -target pal-vcd live-source.mpg
mkdir live
for signal in INT TERM; do
  rm -f live/src.mpg
  mkfifo live/src.mpg
  echo "precious" > live/src.rm
  ffmpeg -nostdin -v quiet -re -i live-source.mpg -c copy -f mpeg -y live/src.mpg &
  writer=$!
  "$convert" live/src.mpg > run4.txt 2>&1 &
  pid=$!
  # Mid-encode: the converter has its output open in the folder.
  for _ in $(seq 1 100); do
    ls -l "/proc/$pid/fd" 2>/dev/null | grep -qE -- "-> $work/live/(\.|#)" && break
    sleep 0.1
  done
  sleep 0.5
  kill -"$signal" "$pid"
  status=0
  wait "$pid" || status=$?
  kill "$writer" 2>/dev/null || true
  wait "$writer" 2>/dev/null || true
  writer=
  expected=$([ "$signal" = INT ] && echo 130 || echo 143)
  [ "$status" -eq "$expected" ] || { cat run4.txt; fail "SIG$signal: exit status $status, not $expected"; }
  grep -q '^stopped: 0 converted, 0 failed, 1 not converted' run4.txt || fail "SIG$signal: $(cat run4.txt)"
  [ "$(cat live/src.rm)" = precious ] || fail "SIG$signal replaced the existing target"
  left=$(ls -A live | grep -vx 'src.mpg' | grep -vx 'src.rm' || true)
  [ -z "$left" ] || fail "SIG$signal left: $left"
done

echo "converter: failures named, queue options applied and entries removed, parallel x4, stops clean"
