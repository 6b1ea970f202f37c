#include "engine/TimestampMender.h"

namespace quenlar::encoder {

namespace {

// A jump this large either way is a discontinuity, not a gap in the stream.
constexpr int64_t kJumpThreshold = 10 * int64_t{AV_TIME_BASE};
// Going back in time by more than this is a reset.
constexpr int64_t kBackwardThreshold = AV_TIME_BASE / 10;

}  // namespace

void TimestampMender::Mend(AVPacket& packet, AVRational timeBase, int64_t frameTicks)
{
    if (packet.dts == AV_NOPTS_VALUE || !m_discontinuous)
        return;
    auto shift = [&](int64_t delta) {
        const int64_t ticks = av_rescale_q(delta, AV_TIME_BASE_Q, timeBase);
        packet.dts += ticks;
        if (packet.pts != AV_NOPTS_VALUE)
            packet.pts += ticks;
    };
    shift(m_offset);
    int64_t dts = av_rescale_q(packet.dts, timeBase, AV_TIME_BASE_Q);
    StreamClock& clock = m_streams[packet.stream_index];
    // A stream's first packet is measured against whatever came last.
    const int64_t expected = clock.next != AV_NOPTS_VALUE ? clock.next : m_lastDts;
    if (expected != AV_NOPTS_VALUE) {
        const int64_t delta = dts - expected;
        const bool jumped = delta < -kJumpThreshold || delta > kJumpThreshold;
        const bool wentBack = clock.last != AV_NOPTS_VALUE && dts + kBackwardThreshold < clock.last;
        if (jumped || wentBack) {
            m_offset -= delta;
            shift(-delta);
            dts = expected;
        }
    }
    const int64_t ticks = packet.duration > 0 ? packet.duration : frameTicks;
    clock.last = dts;
    clock.next = dts + av_rescale_q(ticks, timeBase, AV_TIME_BASE_Q);
    m_lastDts = dts;
}

}  // namespace quenlar::encoder
