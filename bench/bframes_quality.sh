#!/usr/bin/env bash
# rv40 with B pictures against without, through quenlar-convert, on the film clip made into a 16:9
# PAL Video CD and a 16:9 PAL DVD: each file's pictures decoded, scaled up (bicubic) to the
# source's size and compared with the source's pictures in order (PSNR-Y mean, by ffmpeg's psnr
# filter on raw pictures of one rate, which pairs them by order), and the video packets' actual
# rate. Each setting runs at three total rates around the asked one; the gain is the B pictures'
# PSNR interpolated (in log-rate) to the actual video rate without them.
# Run by hand: [ONLY=VCD|DVD] bench/bframes_quality.sh [build folder [seconds [Kbps [B pictures]]]]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
seconds="${2:-60}"
kbps="${3:-450}"
bframes="${4:-2}"
convert="$build/bin/quenlar-convert"
film="${QUENLAR_MEDIA:-$here/../shared/media}/bbb-60s.mp4"
[ -x "$convert" ] && [ -f "$film" ] || { echo "needs $convert and $film" >&2; exit 1; }
work="$(mktemp -d /tmp/quenlar-bframes-XXXXXX)"
trap 'rm -rf "$work"' EXIT

# kbit/s of the video packets, PSNR-Y at the source's size: "kbps psnr frames".
measure() {
  local rm="$1" width="$2" height="$3" frames
  local bytes
  bytes=$(ffprobe -v error -select_streams v -show_entries packet=size -of csv=p=0 "$rm" | awk '{ s += $1 } END { print s }')
  ffmpeg -nostdin -v error -y -i "$rm" -an -vsync passthrough -vf "scale=${width}:${height}:flags=bicubic" \
    -pix_fmt yuv420p -f rawvideo "$work/decoded.yuv"
  frames=$(( $(stat -c %s "$work/decoded.yuv") / (width * height * 3 / 2) ))
  local raw="-f rawvideo -pix_fmt yuv420p -s ${width}x${height} -r 25"
  local psnr
  psnr=$(ffmpeg -nostdin -v info $raw -i "$work/decoded.yuv" $raw -i "$work/source.yuv" -lavfi psnr -f null - 2>&1 |
    sed -n 's/.*PSNR y:\([0-9.]*\).*/\1/p' | tail -1)
  echo "$(awk -v b="$bytes" -v s="$seconds" 'BEGIN { printf "%.1f", b * 8 / s / 1000 }') $psnr $frames"
}

printf "%-14s %2s %6s %9s %8s %7s\n" input B asked "video" PSNR-Y frames
for input in "VCD 16:9|-target pal-vcd -aspect 16:9" "DVD 16:9|-target pal-dvd -aspect 16:9"; do
  name="${input%%|*}"
  [[ "$name" == *"${ONLY:-}"* ]] || continue
  ffmpeg -nostdin -v error -y -i "$film" -t "$seconds" ${input#*|} "$work/clip.mpg"
  size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 "$work/clip.mpg" | head -1)
  width=$(echo "$size" | cut -d, -f1) height=$(echo "$size" | cut -d, -f2)
  ffmpeg -nostdin -v error -y -i "$work/clip.mpg" -an -vsync passthrough -pix_fmt yuv420p -f rawvideo "$work/source.yuv"
  declare -A rate psnr
  for b in 0 "$bframes"; do
    for asked in $((kbps * 9 / 10)) "$kbps" $((kbps * 11 / 10)); do
      cp "$work/clip.mpg" "$work/b$b.mpg"
      nice -n 10 "$convert" --quiet --bitrate "$asked" --b-frames "$b" "$work/b$b.mpg" >/dev/null
      read -r r p f < <(measure "$work/b$b.rm" "$width" "$height")
      rate[$b,$asked]=$r psnr[$b,$asked]=$p
      printf "%-14s %2s %6s %9s %8s %7s\n" "$name" "$b" "$asked" "$r" "$p" "$f"
    done
  done
  # Without B at the asked rate, against with B interpolated to that actual video rate.
  target=${rate[0,$kbps]}
  awk -v t="$target" -v p0="${psnr[0,$kbps]}" -v name="$name" \
    -v r1="${rate[$bframes,$((kbps * 9 / 10))]}" -v q1="${psnr[$bframes,$((kbps * 9 / 10))]}" \
    -v r2="${rate[$bframes,$kbps]}" -v q2="${psnr[$bframes,$kbps]}" \
    -v r3="${rate[$bframes,$((kbps * 11 / 10))]}" -v q3="${psnr[$bframes,$((kbps * 11 / 10))]}" 'BEGIN {
      if (t < r2) { a = r1; pa = q1; b = r2; pb = q2 } else { a = r2; pa = q2; b = r3; pb = q3 }
      p = pa + (pb - pa) * (log(t) - log(a)) / (log(b) - log(a))
      printf "%s: without B %.2f dB at %.1f kbit/s; with B %.2f dB at that rate: %+.2f dB\n", name, p0, t, p, p - p0 }'
  unset rate psnr
done
