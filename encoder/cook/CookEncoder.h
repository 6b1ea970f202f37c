// An encoder of cook (RealAudio G2/8) frames: planar float samples in, coded frames of a fixed
// size out, as FFmpeg's cook decoder and the players built on it read them. One instance codes
// one stream on one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "StreamParameters.h"

namespace quenlar::cook {

class ChannelState;

class Encoder {
public:
    // Throws std::invalid_argument for parameters the decoder refuses.
    explicit Encoder(const StreamParameters& stream);
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    const StreamParameters& Stream() const { return stream_; }

    // The next FrameSamples samples of each channel (full scale 1.0). A frame spans its own
    // samples and the next frame's, so the first call codes nothing; from the second on, the
    // frame before is coded into `frame` (FrameBytes) and true returned. Frame n decodes to the
    // samples of call n. To end, pass silence once more.
    bool Encode(std::span<const float* const> channels, std::span<std::uint8_t> frame);

    // From now on, what the decoder will output is kept: per channel, a frame's samples as each
    // frame is coded. The noise the decoder puts where a coefficient is zero takes its signs from
    // `noise` (true: negative; the decoder's random signs in its order), or is left out. For tests.
    void KeepSynthesis(std::function<bool()> noise = {});
    const std::vector<float>& Synthesis(int channel) const;

    // Units the rate control could not fit even at their coarsest (none is expected).
    int UnfittedUnits() const { return unfitted_; }
    // Blocks whose gain profile turns a quiet stretch before an attack down (one per channel,
    // or per frame in joint stereo).
    int ShapedBlocks() const { return shapedBlocks_; }

private:
    void CodeFrame(std::span<std::uint8_t> frame);

    StreamParameters stream_;
    std::vector<std::unique_ptr<ChannelState>> channels_;
    struct Units;
    std::unique_ptr<Units> units_;
    bool primed_ = false;
    bool keepSynthesis_ = false;
    std::function<bool()> noise_;
    int unfitted_ = 0;
    int shapedBlocks_ = 0;
};

}  // namespace quenlar::cook
