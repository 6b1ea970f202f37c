#include "CookEncoder.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "GainControl.h"
#include "JointStereo.h"
#include "Transform.h"
#include "UnitCoder.h"

namespace quenlar::cook {

namespace {

// The decoder scales a frame's second half by its gain profile, ramping between the 8 segment
// starts; this is that curve at sample i.
float GainAt(const GainProfile& profile, int i, int segment)
{
    const int s = i / segment;
    const int from = profile.gain[s];
    const int to = profile.gain[s + 1];
    const float position = static_cast<float>(i % segment) / static_cast<float>(segment);
    return std::exp2(static_cast<float>(from) + static_cast<float>(to - from) * position);
}

void FillCurve(const GainProfile& profile, std::vector<float>& curve)
{
    const int n = static_cast<int>(curve.size());
    if (profile.Flat()) {
        std::fill(curve.begin(), curve.end(), 1.0f);
        return;
    }
    for (int i = 0; i < n; ++i)
        curve[static_cast<std::size_t>(i)] = GainAt(profile, i, n / 8);
}

int CountBits(const StreamParameters& stream)
{
    if (!stream.Joint() || stream.frameSamples <= 256)
        return 5;
    return stream.frameSamples <= 512 ? 6 : 7;
}

}  // namespace

// One channel's samples and gains across frames, and what the decoder will have made of them.
class ChannelState {
public:
    explicit ChannelState(int size)
        : transform(size), previous(size), current(size), input(2 * size), coefficients(size), decoded(size),
          frame(2 * size), overlap(size), lastCurve(size, 1.0f), curve(size, 1.0f)
    {
    }

    // The next frame: this one's gains now lie over the previous block.
    void NextGain(const GainProfile& next)
    {
        lastGain = gain;
        std::swap(lastCurve, curve);
        gain = next;
        FillCurve(gain, curve);
    }

    // The frame over the previous and the current block, each divided by the gain the decoder
    // will multiply it by.
    void Analyse()
    {
        const int n = transform.Size();
        const float first = std::exp2(static_cast<float>(gain.gain[0]));
        for (int i = 0; i < n; ++i) {
            input[i] = previous[i] / (lastCurve[i] * first);
            input[n + i] = current[i] / curve[i];
        }
        transform.Forward(input.data(), coefficients.data());
    }

    // The decoder's output for the previous block: this frame's first half at its first gain and
    // the last frame's second half, both under the last frame's profile.
    void Synthesise()
    {
        const int n = transform.Size();
        transform.Inverse(decoded.data(), frame.data());
        const float first = std::exp2(static_cast<float>(gain.gain[0]));
        // The decoder's output saturates at full scale.
        for (int i = 0; i < n; ++i)
            synthesis.push_back(std::clamp(lastCurve[i] * (first * frame[i] + overlap[i]), -1.0f, 1.0f));
        std::copy(frame.begin() + n, frame.end(), overlap.begin());
    }

    Transform transform;
    std::vector<float> previous;  // the block a frame starts with
    std::vector<float> current;   // and the one it ends with
    std::vector<float> input;
    std::vector<float> coefficients;
    std::vector<float> decoded;
    std::vector<float> frame;
    std::vector<float> overlap;
    GainProfile lastGain;  // the previous frame's, over the previous block
    GainProfile gain;      // this frame's, over the current block
    std::vector<float> lastCurve;  // what the decoder multiplies by over the previous block
    std::vector<float> curve;      // and over the current one
    std::vector<float> synthesis;
};

struct Encoder::Units {
    explicit Units(const StreamParameters& stream)
        : coder({stream.UnitBands(), stream.Joint() ? stream.jointStart : 0, stream.frameSamples, CountBits(stream)}),
          coefficients(static_cast<std::size_t>(stream.UnitBands()) * kBandSize),
          decoded(coefficients.size())
    {
    }

    UnitCoder coder;
    Coupling coupling;
    std::vector<float> coefficients;
    std::vector<float> decoded;
};

Encoder::Encoder(const StreamParameters& stream) : stream_(stream)
{
    stream_.Check();
    for (int c = 0; c < stream_.channels; ++c)
        channels_.push_back(std::make_unique<ChannelState>(stream_.frameSamples));
    units_ = std::make_unique<Units>(stream_);
}

Encoder::~Encoder() = default;

void Encoder::KeepSynthesis(std::function<bool()> noise)
{
    keepSynthesis_ = true;
    noise_ = std::move(noise);
}

const std::vector<float>& Encoder::Synthesis(int channel) const
{
    return channels_[static_cast<std::size_t>(channel)]->synthesis;
}

bool Encoder::Encode(std::span<const float* const> channels, std::span<std::uint8_t> frame)
{
    const int n = stream_.frameSamples;
    for (std::size_t c = 0; c < channels_.size(); ++c) {
        ChannelState& state = *channels_[c];
        std::swap(state.previous, state.current);
        std::copy(channels[c], channels[c] + n, state.current.begin());
    }
    // Joint stereo codes one unit, so both channels take one profile (the decoder reads one).
    const std::size_t profiles = stream_.Joint() ? 1 : channels_.size();
    for (std::size_t p = 0; p < profiles; ++p) {
        SegmentEnergies before{}, now{};
        for (std::size_t c = p; c < (stream_.Joint() ? channels_.size() : p + 1); ++c) {
            AddSegmentEnergies(channels_[c]->previous, before);
            AddSegmentEnergies(channels_[c]->current, now);
        }
        const GainProfile gain = ChooseGain(before, now);
        shapedBlocks_ += !gain.Flat();
        for (std::size_t c = p; c < (stream_.Joint() ? channels_.size() : p + 1); ++c)
            channels_[c]->NextGain(gain);
    }
    if (!std::exchange(primed_, true))
        return false;
    CodeFrame(frame);
    return true;
}

void Encoder::CodeFrame(std::span<std::uint8_t> frame)
{
    for (auto& channel : channels_)
        channel->Analyse();
    Units& units = *units_;
    const std::size_t coded = static_cast<std::size_t>(stream_.subbands) * kBandSize;
    const std::span<float> decoded = keepSynthesis_ ? std::span<float>(units.decoded) : std::span<float>();
    if (stream_.Joint()) {
        ChannelState& left = *channels_[0];
        ChannelState& right = *channels_[1];
        Couple(stream_, left.coefficients.data(), right.coefficients.data(), units.coefficients.data(),
               units.coupling);
        unfitted_ += !units.coder.Code(left.gain, &units.coupling, units.coefficients, frame, decoded, noise_);
        if (keepSynthesis_)
            Decouple(stream_, units.coupling, units.decoded.data(), left.decoded.data(), right.decoded.data());
    } else {
        const std::size_t share = frame.size() / channels_.size();
        for (std::size_t c = 0; c < channels_.size(); ++c) {
            ChannelState& channel = *channels_[c];
            unfitted_ += !units.coder.Code(channel.gain, nullptr,
                                           std::span<const float>(channel.coefficients.data(), coded),
                                           frame.subspan(c * share, share), decoded, noise_);
            if (keepSynthesis_) {
                std::copy(units.decoded.begin(), units.decoded.begin() + static_cast<long>(coded),
                          channel.decoded.begin());
                std::fill(channel.decoded.begin() + static_cast<long>(coded), channel.decoded.end(), 0.0f);
            }
        }
    }
    if (keepSynthesis_) {
        for (auto& channel : channels_)
            channel->Synthesise();
    }
}

}  // namespace quenlar::cook
