// The codec behind the audio encoder: whole frames of 44.1 kHz planar float stereo in, coded
// frames out as packets timed in samples, and how rm carries them. Used on the audio thread.
#pragma once

#include <functional>
#include <memory>

#include "engine/EncodeSettings.h"
#include "engine/LibavPtr.h"
#include "engine/RmStreamFormat.h"

namespace quenlar::encoder {

class SoundCodec {
public:
    using PacketSink = std::function<void(AVPacket*)>;

    virtual ~SoundCodec() = default;

    // Samples a frame takes, per channel.
    virtual int FrameSamples() const = 0;
    // One frame of FrameSamples() samples, or nullptr once at the end to drain. Packets' times
    // are in samples. Throws EncodeFailure.
    virtual void Encode(const AVFrame* frame, const PacketSink& sink) = 0;
    virtual RmStreamFormat StreamFormat() const = 0;
};

inline constexpr int kSoundSampleRate = 44'100;

// Throws EncodeFailure when the codec cannot be set up.
std::unique_ptr<SoundCodec> MakeSoundCodec(AudioCodec codec, int kbps);

}  // namespace quenlar::encoder
