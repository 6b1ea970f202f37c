#!/usr/bin/env bash
# Wall time of quenlar-convert over a batch of 60 s PAL Video CD clips, with --jobs 1 and
# --jobs 2, against the ffmpeg CLI doing the same transcode (rv20 at 410k + ac3 at 40k = 450
# Kbps) one file after another. Rounds alternate the three, so that drift hits them alike;
# medians are printed with their ratio to the CLI.
# Usage: bench/convert_batch.sh BUILD_OUTPUT_DIR [FILES] [ROUNDS]
set -euo pipefail
out=${1:?build output folder}
files=${2:-8}
rounds=${3:-3}
convert="$out/quenlar-convert"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=352x288:rate=25" \
  -f lavfi -i "sine=frequency=440:sample_rate=44100" -t 60 -target pal-vcd "$work/clip.mpg"
for i in $(seq 1 "$files"); do cp "$work/clip.mpg" "$work/clip$i.mpg"; done
rm "$work/clip.mpg"

seconds() { local start=$EPOCHREALTIME; "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
            awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }'; }
cli_batch() { for f in "$work"/clip*.mpg; do
                ffmpeg -nostdin -v error -y -i "$f" -c:v rv20 -b:v 410k -c:a ac3 -b:a 40k "${f%.mpg}.cli.rm"
              done; }
median() { tr ' ' '\n' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

cli=() one=() two=()
for r in $(seq 1 "$rounds"); do
  cli+=("$(seconds cli_batch)")
  one+=("$(seconds "$convert" --quiet --jobs 1 "$work"/clip[0-9]*.mpg)")
  two+=("$(seconds "$convert" --quiet --jobs 2 "$work"/clip[0-9]*.mpg)")
  echo "round $r: cli ${cli[-1]} s, --jobs 1 ${one[-1]} s, --jobs 2 ${two[-1]} s"
done
c=$(echo "${cli[*]}" | median); o=$(echo "${one[*]}" | median); t=$(echo "${two[*]}" | median)
echo "median of $rounds rounds, $files files of 60 s, $(nproc) cores:"
awk -v c="$c" -v o="$o" -v t="$t" 'BEGIN {
  printf "  ffmpeg CLI, one after another  %6.2f s  1.00\n", c
  printf "  quenlar-convert --jobs 1       %6.2f s  %.2f\n", o, o / c
  printf "  quenlar-convert --jobs 2       %6.2f s  %.2f\n", t, t / c }'
