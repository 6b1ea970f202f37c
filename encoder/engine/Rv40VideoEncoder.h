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
    // Throws EncodeFailure when the size is one rv40 cannot code.
    Rv40VideoEncoder(int width, int height, AVRational frameRate, int bitRate);

    AVRational TimeBase() const override { return av_inv_q(m_frameRate); }
    RmStreamFormat StreamFormat() const override;
    bool PlacesKeyFrames() const override { return false; }
    // Measures the run's pictures and plans their quantisers.
    void BeginRun(const std::vector<FramePtr>& frames, int64_t firstPts) override;
    // The first frame of a run is coded as a key frame. A frame too large for an rm packet is
    // coded again coarser, as a key frame.
    void Encode(AVFrame* frame, const PacketSink& sink) override;

private:
    AVRational m_frameRate;
    int m_bitRate;
    std::unique_ptr<rv40::Encoder> m_encoder;
    rv40::Lookahead m_lookahead;
    rv40::RateControl m_rate;
    int64_t m_nextPts = 0;  // the stream's time of the next frame, in frames
    bool m_runStart = true;
    rv40::EncodedFrame m_coded;
    PacketPtr m_packet;
};

}  // namespace quenlar::encoder
