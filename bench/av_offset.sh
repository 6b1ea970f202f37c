#!/usr/bin/env bash
# The sound's offset from the picture, as the ffmpeg CLI plays a file: a source with a white
# picture and a 1 kHz beep at the start of every second, as a PAL Video CD and as an MP4, through
# quenlar-convert at each audio row asked for; prints the median offset (sound minus picture, ms) of
# the source and of the result.
#   bench/av_offset.sh build/bin [rows...]      (default rows: 0 1 2 3 4)
set -euo pipefail
bin=$(cd "$1" && pwd); shift
rows=("$@"); [ ${#rows[@]} -gt 0 ] || rows=(0 1 2 3 4)
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cd "$work"
video="color=black:size=352x288:rate=25,geq=lum='if(lt(mod(T,1),0.039),235,16)':cb=128:cr=128"
audio="aevalsrc='if(lt(mod(t,1),0.05),0.5*sin(2*PI*1000*t),0)':s=44100:c=stereo"
ffmpeg -v error -f lavfi -i "$video" -f lavfi -i "$audio" -t 12 -target pal-vcd flash.mpg
ffmpeg -v error -f lavfi -i "$video" -f lavfi -i "$audio" -t 12 -c:v libx264 -c:a aac -b:a 128k flash.mp4

offset() {  # FILE -> median (sound onset - picture flash), ms
    ffmpeg -v error -y -i "$1" -vf "signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=luma.txt" -an -f null -
    ffmpeg -v error -y -i "$1" -vn -af "aresample=async=1:first_pts=0" -ac 1 -ar 44100 -f f32le sound.f32
    /usr/bin/python3 - "$1" <<'PY'
import re, sys
import numpy as np
times, lumas = [], []
for line in open("luma.txt"):
    m = re.search(r"pts_time:([\d.]+)", line)
    if m: times.append(float(m.group(1)))
    m = re.search(r"YAVG=([\d.]+)", line)
    if m: lumas.append(float(m.group(1)))
flashes = [t for t, l, p in zip(times, lumas, [0] + lumas[:-1]) if l > 128 and p <= 128]
x = np.fromfile("sound.f32", np.float32)
env = np.convolve(np.abs(x), np.ones(44) / 44, "same")
onsets = [i / 44100 for i in range(1, len(env)) if env[i] > 0.1 and env[i - 1] <= 0.1]
pairs = [min(onsets, key=lambda o: abs(o - f)) - f for f in flashes if onsets]
pairs = [p for p in pairs if abs(p) < 0.5]
# The median: a decoder that starts silent (cook's drops its first two frames) clips the first
# beep, which would pull a mean.
print(f"{sys.argv[1]}: {1000 * np.median(pairs):+.1f} ms median over {len(pairs)} beeps "
      f"(mean {1000 * np.mean(pairs):+.1f}, spread {1000 * np.ptp(pairs):.1f} ms)")
PY
}

for source in flash.mpg flash.mp4; do
    offset "$source"
    for row in "${rows[@]}"; do
        "$bin/quenlar-convert" --quiet --audio "$row" "$source" >/dev/null
        cp "${source%.*}.rm" "row$row-${source%.*}.rm"
        offset "row$row-${source%.*}.rm"
    done
done
