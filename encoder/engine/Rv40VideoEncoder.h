// rv40 through our own encoder, with its rate control and the preview from its reconstruction
// (used on one encoder thread).
#pragma once

#include <vector>

#include "engine/VideoEncoder.h"
#include "rv40/Lookahead.h"
#include "rv40/RateControl.h"
#include "rv40/Rv40Encoder.h"

namespace quenlar::encoder {

class Rv40VideoEncoder : public VideoEncoder {
public:
    // Throws EncodeFailure when the size is one rv40 cannot code. `bFrames`: B pictures between
    // references (0 to kMaxBFrames).
    Rv40VideoEncoder(int width, int height, AVRational frameRate, int bitRate, int bFrames = 0);

    AVRational TimeBase() const override { return av_inv_q(m_frameRate); }
    RmStreamFormat StreamFormat() const override;
    bool PlacesKeyFrames() const override { return false; }
    bool Reorders() const override { return m_bFrames > 0; }
    // Measures the run's pictures and plans their quantisers.
    void BeginRun(const std::vector<FramePtr>& frames, int64_t firstPts) override;
    // The first frame of a run is coded as a key frame. A frame too large for an rm packet is
    // coded again coarser, as a key frame (a B picture as a B picture). A B picture is held
    // until the reference after it is coded; its packet follows that one's.
    void Encode(AVFrame* frame, const PacketSink& sink) override;

private:
    // Codes one picture whose stream time is `streamPts` (frames) and hands on its packet.
    void Code(const AVFrame& frame, int64_t streamPts, bool bidirectional, const PacketSink& sink);

    AVRational m_frameRate;
    int m_bitRate;
    std::unique_ptr<rv40::Encoder> m_encoder;
    rv40::Lookahead m_lookahead;
    rv40::RateControl m_rate;
    int m_bFrames;
    int64_t m_nextPts = 0;  // the stream's time of the next frame, in frames
    bool m_runStart = true;
    // The run's pictures in display order: which are B pictures, and the next one's place.
    std::vector<bool> m_bidirectional;
    size_t m_runIndex = 0;
    struct Held {
        FramePtr frame;
        int64_t streamPts;
    };
    std::vector<Held> m_held;  // B pictures waiting for the reference after them
    rv40::EncodedFrame m_coded;
    PacketPtr m_packet;
};

}  // namespace quenlar::encoder
