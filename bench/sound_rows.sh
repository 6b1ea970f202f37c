#!/usr/bin/env bash
# The sound of each "RA8" row against the CLI's codecs at the same rate, on a music clip: our
# cook through quenlar-convert (the clip under a still picture, its sound kept lossless), then
# ffmpeg's AC3 at the rate these rows used to carry, AAC-LC and Opus at the row's rate. Prints
# bandwidth and NMR per row and codec from ../shared/tools/audio_nmr.py (lower NMR is better).
#   bench/sound_rows.sh build/bin MUSIC [rows...]     (default rows: 0 1 2 3)
set -euo pipefail
bin=$(cd "$1" && pwd); music=$(realpath "$2"); shift 2
rows=("$@"); [ ${#rows[@]} -gt 0 ] || rows=(0 1 2 3)
nmr=$(cd "$(dirname "$0")/../.." && pwd)/shared/tools/audio_nmr.py
[ -f "$nmr" ] || nmr=$(dirname "$0")/../../shared/tools/audio_nmr.py
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cd "$work"
ffmpeg -v error -f lavfi -i color=gray:size=352x240:rate=25 -i "$music" -map 0:v -map 1:a -shortest -c:v mpeg2video \
    -c:a flac music.mkv
rate_of() { "$bin/quenlar-convert" --audio list | awk -v r="$1" '$1 == r { print int($(NF - 1)) }'; }
former_ac3() { case "$1" in 0) echo 32 ;; 1) echo 40 ;; 2) echo 64 ;; 3) echo 96 ;; esac; }
judge() {  # LABEL FILE
    printf '%-22s %s\n' "$1" "$(/usr/bin/python3 "$nmr" "$music" "$2" | grep -o 'bandwidth.*NMR [^ ]* dB')"
}
for row in "${rows[@]}"; do
    kbps=$(rate_of "$row")
    cp music.mkv "row$row.mkv"
    "$bin/quenlar-convert" --quiet --audio "$row" "row$row.mkv" >/dev/null
    judge "row $row cook $kbps" "row$row.rm"
    ac3=$(former_ac3 "$row")
    ffmpeg -v error -i "$music" -c:a ac3 -b:a "${ac3}k" "ac3-$row.ac3"
    judge "row $row ac3 $ac3" "ac3-$row.ac3"
    ffmpeg -v error -i "$music" -c:a aac -b:a "${kbps}k" "aac-$row.m4a"
    judge "row $row aac $kbps" "aac-$row.m4a"
    ffmpeg -v error -i "$music" -c:a libopus -b:a "${kbps}k" "opus-$row.opus"
    judge "row $row opus $kbps" "opus-$row.opus"
done
