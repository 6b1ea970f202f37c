#!/usr/bin/env bash
# The whole program against the ffmpeg CLI, in one run on one machine: the real dialog under
# Xvfb, a prepared Quenlar.ini, Return pressed, timed until the last .rm has its name. Scenarios:
# a 60 s and a 600 s PAL Video CD clip, 30 files of 6 s against one file of 180 s. Prints
# medians, the ratio to the CLI doing the same transcode, CPU seconds per thread of the program
# (sampled from /proc every 50 ms by a niced background loop, by thread name) and its peak RSS.
# The end is seen through inotify, so that the watcher neither polls nor competes for the cores.
# Run by hand after a build: [SCENARIOS="60 600 batch"] bench/program_vs_cli.sh [build/bin] [runs]
set -euo pipefail
out=$(cd "${1:-build/bin}" && pwd)
runs=${2:-3}
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" bash "$0" "$out" "$runs"
fi
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
work=$(mktemp -d /tmp/quenlar-program-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

clip() { # seconds file
  ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=352x288:rate=25 \
    -f lavfi -i sine=frequency=440:sample_rate=44100 -t "$1" -target pal-vcd "$2"
}
mkdir -p "$work/clips"
clip 60 "$work/clips/c60.mpg"
clip 600 "$work/clips/c600.mpg"
clip 180 "$work/clips/c180.mpg"
clip 6 "$work/clips/c6.mpg"
# BitRate 500 with the 64 Kbps row: 436k video and ac3 at 64k, as below.
cli_args=(-c:v rv20 -b:v 436k -c:a ac3 -b:a 64k -ac 2 -ar 44100)

median() { awk 'NF' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
now() { date +%s.%N; }

# Samples the program's threads until it is killed; prints "<name> <ticks>" a thread on exit.
sampler() { # pid
  local task stat name pause
  declare -A ticks names
  pause=$(mktemp -u); mkfifo "$pause"; exec 3<>"$pause"; rm "$pause"
  trap 'for t in "${!ticks[@]}"; do echo "${names[$t]} ${ticks[$t]}"; done; exit 0' TERM
  while :; do
    for task in /proc/"$1"/task/*; do
      { read -r name < "$task/comm"; } 2>/dev/null || continue
      { read -r -a stat < "$task/stat"; } 2>/dev/null || continue
      ticks[${task##*/}]=$((stat[13] + stat[14]))
      names[${task##*/}]=$name
    done
    read -r -t 0.05 -u 3 || true
  done
}

# program <name> <files...>: one batch through the program; leaves the seconds from Return to
# the last target in elapsed, the per-thread CPU in cpu_report and the peak RSS in rss_kb.
program() {
  local name=$1 dir="$work/run-$1" i=0 pid win start end last targets=() f sampler watcher
  shift
  rm -rf "$dir"; mkdir -p "$dir/media"
  cp "$out/Quenlar" "$out/Quenlar.htm" "$dir/"
  {
    printf '[Config]\nBitRate=500\nFolderAsPrefix=0\nAutoShutdown=0\nAudioSetting=2\nAuthor=bench\n'
    printf '[Source]\nCount=%d\n' $#
    for f in "$@"; do
      cp "$f" "$dir/media/f$i.mpg"
      printf '%d=%s\n' $i "$dir/media/f$i.mpg"
      targets+=("$dir/media/f$i.rm")
      i=$((i + 1))
    done
  } > "$dir/Quenlar.ini"
  env ${PROGRAM_ENV:-} "$dir/Quenlar" > "$dir/out.log" 2>&1 & pid=$!
  win=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name '^Quenlar$' | head -n 1)
  xdotool windowfocus --sync "$win" > /dev/null
  last=${targets[-1]}
  nice -n 19 bash -c "$(declare -f sampler); sampler $pid" > "$dir/cpu" & sampler=$!
  # The target appears by a rename into the folder.
  inotifywait -q -q -e moved_to -e create --include "/${last##*/}\$" "$dir/media" & watcher=$!
  sleep 0.3  # the watch is set up
  start=$(now)
  xdotool key Return
  wait "$watcher" || true
  end=$(now)
  [ -f "$last" ] || { echo "no $last" >&2; exit 1; }
  rss_kb=$(awk '/VmHWM/ { print $2 }' /proc/"$pid"/status)
  kill -TERM "$sampler"; wait "$sampler" || true
  cpu_report=$(sed 's/-[0-9]* / /' "$dir/cpu" |
    awk -v hz="$(getconf CLK_TCK)" '{ s[$1] += $2 } END { for (n in s) printf "%s %.2f s, ", n, s[n] / hz }')
  sleep 1
  xdotool windowfocus --sync "$win" > /dev/null; xdotool key Escape
  for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  elapsed=$(echo "$end - $start" | bc -l)
}

cli() { # files...: the same transcode, one file after another
  local start f
  start=$(now)
  for f in "$@"; do ffmpeg -nostdin -v error -y -i "$f" "${cli_args[@]}" "$work/cli.rm"; done
  echo "$(now) - $start" | bc -l
}

batch=()
for _ in $(seq 1 30); do batch+=("$work/clips/c6.mpg"); done

report() { # label program-times cli-times
  local p c
  p=$(tr ' ' '\n' <<<"$2" | median); c=$(tr ' ' '\n' <<<"$3" | median)
  printf '%-22s program %7.3f s   CLI %7.3f s   ratio %.2f\n' "$1" "$p" "$c" "$(echo "$p / $c" | bc -l)"
}

scenarios=${SCENARIOS:-60 600 batch}
for scenario in ${scenarios/batch/}; do
  pt=""; ct=""
  for _ in $(seq 1 "$runs"); do
    program "c$scenario" "$work/clips/c$scenario.mpg"
    pt+=" $elapsed"
    ct+=" $(cli "$work/clips/c$scenario.mpg")"
  done
  report "$scenario s PAL VCD" "$pt" "$ct"
  echo "    per thread (last run): $cpu_report peak RSS $((rss_kb / 1024)) MB"
done
if [[ " $scenarios " == *" batch "* ]]; then
  bt=""; ot=""; o1t=""; ct=""
  for _ in $(seq 1 "$runs"); do
    program batch "${batch[@]}"
    bt+=" $elapsed"
    batch_rss=$rss_kb
    batch_cpu=$cpu_report
    program one180 "$work/clips/c180.mpg"
    ot+=" $elapsed"
    one_cpu=$cpu_report
    PROGRAM_ENV=QUENLAR_VIDEO_THREADS=1 program one180x1 "$work/clips/c180.mpg"
    o1t+=" $elapsed"
    ct+=" $(cli "${batch[@]}")"
  done
  report "30 files of 6 s" "$bt" "$ct"
  echo "    per thread (last run): $batch_cpu"
  b=$(tr ' ' '\n' <<<"$bt" | median); o=$(tr ' ' '\n' <<<"$ot" | median)
  printf '%-22s program %7.3f s   -> %.1f ms a file between files (peak RSS of the batch %d MB)\n' \
    "one file of 180 s" "$o" "$(echo "($b - $o) * 1000 / 30" | bc -l)" $((batch_rss / 1024))
  echo "    per thread (last run): $one_cpu"
  # A 6 s file gets one encoder instance, the 180 s file one per core: the figure above also
  # counts that. Against the 180 s file on one instance it is the cost between files alone.
  o1=$(tr ' ' '\n' <<<"$o1t" | median)
  printf '%-22s program %7.3f s   -> %.1f ms a file between files, at equal encoder instances\n' \
    "180 s on one instance" "$o1" "$(echo "($b - $o1) * 1000 / 30" | bc -l)"
fi
echo "CLI: ffmpeg -i <file> ${cli_args[*]} out.rm"
