#!/usr/bin/python3
# Seeks a file in GStreamer's playbin (fake sinks, as fast as it decodes) and plays it to its end.
# Prints "seeked=0|1 first=S last=S eos=0|1 increasing=0|1": the first and last video frame times
# after the seek, and whether every frame's time after it rose.
import sys

import gi

gi.require_version("Gst", "1.0")
from gi.repository import Gst  # noqa: E402

Gst.init(None)
path, target = sys.argv[1], float(sys.argv[2])
play = Gst.ElementFactory.make("playbin")
play.set_property("uri", Gst.filename_to_uri(path))
video, audio = Gst.ElementFactory.make("fakesink"), Gst.ElementFactory.make("fakesink")
for sink in (video, audio):
    sink.set_property("sync", False)
video.set_property("signal-handoffs", True)
play.set_property("video-sink", video)
play.set_property("audio-sink", audio)
shown = []
video.connect("handoff", lambda sink, buffer, pad: shown.append(buffer.pts / Gst.SECOND))
bus = play.get_bus()


def wait_for(kind):
    message = bus.timed_pop_filtered(20 * Gst.SECOND, kind | Gst.MessageType.ERROR)
    return message is not None and message.type == kind


play.set_state(Gst.State.PAUSED)
wait_for(Gst.MessageType.ASYNC_DONE)
seeked = play.seek_simple(Gst.Format.TIME, Gst.SeekFlags.FLUSH | Gst.SeekFlags.KEY_UNIT,
                          int(target * Gst.SECOND)) and wait_for(Gst.MessageType.ASYNC_DONE)
shown.clear()
play.set_state(Gst.State.PLAYING)
ended = wait_for(Gst.MessageType.EOS)
play.set_state(Gst.State.NULL)
increasing = all(b > a for a, b in zip(shown, shown[1:]))
print("seeked=%d first=%.3f last=%.3f eos=%d increasing=%d"
      % (seeked, shown[0] if shown else -1, shown[-1] if shown else -1, ended, increasing))
