// Makes packet timestamps continuous across jumps and resets, as joined files and Video CD
// discontinuities have them, so that the fps filter keeps every picture and the sound stays
// in step. Used on the reader thread only.
#pragma once

#include <map>

#include "engine/LibavPtr.h"

namespace quenlar::encoder {

class TimestampMender {
public:
    // `discontinuous`: the format allows jumps (MPEG program and transport streams); other
    // formats' timestamps are trusted as they are.
    explicit TimestampMender(bool discontinuous) : m_discontinuous(discontinuous) {}

    // Shifts the packet by the running offset and, where it jumps against what its stream
    // led us to expect, moves the offset so that it no longer does. `frameTicks`: one frame
    // of this stream in its time base, used when the packet carries no duration.
    void Mend(AVPacket& packet, AVRational timeBase, int64_t frameTicks);

private:
    struct StreamClock {
        int64_t next = AV_NOPTS_VALUE;  // expected dts of the stream's next packet
        int64_t last = AV_NOPTS_VALUE;  // dts of its last packet
    };

    bool m_discontinuous;
    int64_t m_offset = 0;               // added to every timestamp, AV_TIME_BASE units
    int64_t m_lastDts = AV_NOPTS_VALUE; // of any stream, for a stream's first packet
    std::map<int, StreamClock> m_streams;
};

}  // namespace quenlar::encoder
