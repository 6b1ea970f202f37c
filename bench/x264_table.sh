#!/usr/bin/env bash
# Our rv40 against x264 held to rv40's tools and against the CLI's rv20, at one actual video rate,
# on the film clip made into a 16:9 PAL Video CD and a 16:9 PAL DVD. Ours goes through
# quenlar-convert at the asked total rate; every other encoder is fed the picture ours coded
# (the same size and scaler: area where it shrinks, bicubic where it grows) at 0.95 and 1.05 of
# our actual video rate, and its PSNR is interpolated (in log-rate) to ours. Each file's pictures
# are decoded, scaled up (bicubic) to the source's size and compared with the source's in order
# (PSNR-Y mean, ffmpeg's psnr filter on raw pictures of one rate, which pairs them by order).
# Run by hand: [ONLY=VCD|DVD] bench/x264_table.sh [build folder [seconds [Kbps]]]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
seconds="${2:-60}"
kbps="${3:-450}"
convert="$build/bin/quenlar-convert"
film="${QUENLAR_MEDIA:-$here/../shared/media}/bbb-60s.mp4"
[ -x "$convert" ] && [ -f "$film" ] || { echo "needs $convert and $film" >&2; exit 1; }
work="$(mktemp -d /tmp/quenlar-x264-XXXXXX)"
trap 'rm -rf "$work"' EXIT

# "kbit/s PSNR-Y" of a file's video, its pictures scaled to the source's size.
measure() { # file
  local bytes raw
  bytes=$(ffprobe -v error -select_streams v -show_entries packet=size -of csv=p=0 "$1" | awk '{ s += $1 } END { print s }')
  raw="-f rawvideo -pix_fmt yuv420p -s ${width}x${height} -r 25"
  ffmpeg -nostdin -v error -i "$1" -an -vsync passthrough -vf "scale=${width}:${height}:flags=bicubic" \
    -pix_fmt yuv420p -f rawvideo - |
    ffmpeg -nostdin -v info $raw -i - $raw -i "$work/source.yuv" -lavfi psnr -f null - 2>&1 |
    sed -n 's/.*PSNR y:\([0-9.]*\).*/\1/p' | tail -1 |
    awk -v b="$bytes" -v s="$seconds" '{ printf "%.1f %s\n", b * 8 / s / 1000, $1 }'
}

# PSNR of an encoder interpolated to our rate from two runs around it.
other() { # name codec-arguments...
  local name=$1 r1 p1 r2 p2
  shift
  for f in 0.95 1.05; do
    ffmpeg -nostdin -v error -y -i "$work/clip.mpg" -an -vf "scale=$size:flags=$scaler" \
      -b:v "$(awk -v r="$ours_rate" -v f="$f" 'BEGIN { printf "%d", r * f * 1000 }')" "$@" "$work/other.$ext"
    read -r r p < <(measure "$work/other.$ext")
    if [ "$f" = 0.95 ]; then r1=$r p1=$p; else r2=$r p2=$p; fi
  done
  awk -v n="$name" -v t="$ours_rate" -v r1="$r1" -v p1="$p1" -v r2="$r2" -v p2="$p2" -v o="$ours_psnr" 'BEGIN {
    p = p1 + (p2 - p1) * (log(t) - log(r1)) / (log(r2) - log(r1))
    printf "  %-46s %6.2f dB  (%s..%s kbit/s)  ours %+.2f\n", n, p, r1, r2, o - p }'
}

for input in "VCD 16:9|-target pal-vcd -aspect 16:9" "DVD 16:9|-target pal-dvd -aspect 16:9"; do
  name="${input%%|*}"
  [[ "$name" == *"${ONLY:-}"* ]] || continue
  ffmpeg -nostdin -v error -y -i "$film" -t "$seconds" ${input#*|} "$work/clip.mpg"
  IFS=, read -r width height < <(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 "$work/clip.mpg" | head -1)
  ffmpeg -nostdin -v error -y -i "$work/clip.mpg" -an -vsync passthrough -pix_fmt yuv420p -f rawvideo "$work/source.yuv"
  cp "$work/clip.mpg" "$work/ours.mpg"
  "$convert" --quiet --bitrate "$kbps" "$work/ours.mpg" >/dev/null
  IFS=, read -r ow oh < <(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 "$work/ours.rm")
  size="$ow:$oh"
  scaler=$([ "$ow" -le "$width" ] && [ "$oh" -le "$height" ] && echo area || echo bicubic)
  read -r ours_rate ours_psnr < <(measure "$work/ours.rm")
  echo "$name ${width}x${height} -> ${ow}x${oh} ($scaler), $kbps Kbps asked:"
  printf "  %-46s %6.2f dB  (%s kbit/s)\n" "ours (rv40)" "$ours_psnr" "$ours_rate"
  ext=mp4
  other "x264 baseline veryfast" -c:v libx264 -profile:v baseline -preset veryfast -tune psnr
  other "x264 baseline medium, 1 reference, no mb-tree" -c:v libx264 -profile:v baseline -preset medium -tune psnr \
    -x264-params ref=1:mbtree=0
  other "x264 main medium" -c:v libx264 -profile:v main -preset medium -tune psnr
  ext=rm
  other "CLI rv20" -c:v rv20
done
