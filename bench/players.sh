#!/usr/bin/env bash
# An .rm file in every independent player, as fast as each decodes: FFmpeg (must print nothing),
# GStreamer's playbin (rmdemux) and MPlayer's own demuxer played whole and from a seek, VLC's own
# demuxer (run as USER, VLC refuses root) from the start and from the seek. Prints per player the
# sound's and the picture's first and last times, their gap after the seek, and what went wrong.
#   bench/players.sh FILE.rm [seek seconds (300)] [user for VLC (nobody)]
set -euo pipefail
file=$(realpath "$1"); seek=${2:-300}; vlc_user=${3:-nobody}
work=$(mktemp -d); chmod 755 "$work"; trap 'rm -rf "$work"' EXIT
cd "$work"

echo "== ffmpeg -v warning"
ffmpeg -nostdin -v warning -i "$file" -f null - 2>&1 | head -5

echo "== GStreamer playbin"
for at in 0 "$seek"; do
/usr/bin/python3 - "$file" "$at" <<'PY'
import sys
import gi
gi.require_version("Gst", "1.0")
from gi.repository import Gst
Gst.init(None)
path, target = sys.argv[1], float(sys.argv[2])
play = Gst.ElementFactory.make("playbin")
play.set_property("uri", Gst.filename_to_uri(path))
times = {"video": [], "audio": []}
for kind in times:
    sink = Gst.ElementFactory.make("fakesink")
    sink.set_property("sync", False)
    sink.set_property("signal-handoffs", True)
    sink.connect("handoff", lambda s, b, p, k=kind: times[k].append((b.pts / Gst.SECOND, b.duration / Gst.SECOND)))
    play.set_property(kind + "-sink", sink)
bus = play.get_bus()
def wait_for(kind):
    m = bus.timed_pop_filtered(120 * Gst.SECOND, kind | Gst.MessageType.ERROR)
    if m is not None and m.type == Gst.MessageType.ERROR:
        print("  error:", m.parse_error()[0].message)
    return m is not None and m.type == kind
play.set_state(Gst.State.PAUSED)
wait_for(Gst.MessageType.ASYNC_DONE)
if target > 0:
    wait_for(Gst.MessageType.ASYNC_DONE) if not play.seek_simple(
        Gst.Format.TIME, Gst.SeekFlags.FLUSH | Gst.SeekFlags.KEY_UNIT, int(target * Gst.SECOND)) else wait_for(Gst.MessageType.ASYNC_DONE)
    for k in times: times[k].clear()
play.set_state(Gst.State.PLAYING)
ended = wait_for(Gst.MessageType.EOS)
play.set_state(Gst.State.NULL)
v, a = [t for t, _ in times["video"]], [t for t, _ in times["audio"]]
order = all(x < y for x, y in zip(v, v[1:])) and all(x < y for x, y in zip(a, a[1:]))
end = lambda l: l[-1][0] + l[-1][1] if l else -1
print("  from %.0f s: video %.3f..%.3f (%d), audio %.3f..%.3f, sound after picture %+.0f ms, times increasing %s, eos %d"
      % (target, v[0] if v else -1, end(times["video"]), len(v), a[0] if a else -1, end(times["audio"]),
         1000 * ((a[0] if a else 0) - (v[0] if v else 0)), order, ended))
PY
done

echo "== MPlayer -demuxer real"
for at in 0 "$seek"; do
    # As fast as it decodes, to the end; its A-V then means nothing, so sync is read from ten
    # seconds played in real time.
    mplayer -nolirc -noconfig all -demuxer real -vo null -ao pcm:fast:file=mp.wav -benchmark -ss "$at" \
        "$file" </dev/null > mp.log 2>&1 || true
    mplayer -nolirc -noconfig all -demuxer real -vo null -ao null -ss "$at" -endpos 10 \
        "$file" </dev/null > mp-real.log 2>&1 || true
    first=$(tr '\r' '\n' < mp.log | grep -a 'A-V' | head -1 | awk '{print $2, $4}' || true)
    last=$(tr '\r' '\n' < mp.log | grep -a 'A-V' | tail -1 | awk '{print $2, $4}' || true)
    sync=$(tr '\r' '\n' < mp-real.log | grep -a 'A-V' | awk '{print $6}' | sort -n |
        awk '{a[NR] = $1} END {if (NR) printf "median %+.3f, %+.3f..%+.3f s", a[int((NR + 1) / 2)], a[1], a[NR]}')
    problems=$(grep -a -i -E 'error|warn|fail|too many|bad|broken' mp.log | grep -v -E 'Failed to open|Could not open|DirectShow|VDecoder init failed|codecs/' | head -3 || true)
    echo "  from $at s: first A/V $first s, last A/V $last s, sound written $(ffprobe -v error -show_entries format=duration -of csv=p=0 mp.wav) s; A-V in real time $sync"
    [ -z "$problems" ] || echo "  said: $problems"
done

echo "== VLC --demux=real (as $vlc_user)"
# Played in real time (VLC's sound output to a file keeps the clock), so in pieces: the start,
# the seek and the last seconds to the end. Its stream output is no judge: its packetiser drops
# every sub-packet but the first of a block, as they carry no time of their own.
chmod 777 "$work"
cp "$file" in.rm; chmod 644 in.rm
duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 in.rm)
tail_at=$(/usr/bin/python3 -c "print(int(float('$duration')) - 15)")
for at in 0 "$seek" "$tail_at"; do
    rm -f vlc.wav
    stop=""; [ "$at" = "$tail_at" ] || stop="--stop-time=$((at + 15))"
    runuser -u "$vlc_user" -- env HOME="$work" XDG_RUNTIME_DIR="$work" DBUS_SESSION_BUS_ADDRESS=disabled: \
        cvlc -vv --no-plugins-cache --demux=real --start-time="$at" $stop --vout=dummy --aout=afile \
        --audiofile-file="$work/vlc.wav" --audiofile-wav --play-and-exit in.rm vlc://quit > vlc.log 2>&1 || true
    /usr/bin/python3 - "$work/vlc.wav" "$at" <<'PY'
import sys, wave, numpy as np
try:
    w = wave.open(sys.argv[1])
    x = np.frombuffer(w.readframes(w.getnframes()), np.int16).reshape(-1, w.getnchannels()).astype(float)
except Exception as e:
    print("  from %s s: no sound written (%s)" % (sys.argv[2], e)); sys.exit()
rate = w.getframerate()
loud = np.flatnonzero(np.abs(x).max(1) > 300)
print("  from %s s: %.2f s of sound, first audible after %.3f s, rms %.0f"
      % (sys.argv[2], len(x) / rate, loud[0] / rate if len(loud) else -1, np.sqrt((x ** 2).mean()) if len(x) else 0))
PY
    grep -a -E "(real demux|avcodec decoder|main decoder) (warning|error)|p_subpackets|this shouldn't" vlc.log |
        sed 's/^\[[0-9a-f]*\] //' | sort | uniq -c | head -5 || true
done
