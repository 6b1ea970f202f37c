// Resamples decoded audio to 44.1 kHz stereo, keeps it on the picture's clock and encodes it in
// whole frames of its codec (used on the audio thread).
#pragma once

#include <functional>
#include <memory>

#include "engine/EncodeSettings.h"
#include "engine/LibavPtr.h"
#include "engine/RmStreamFormat.h"

namespace quenlar::encoder {

class SoundCodec;

class AudioEncoder {
public:
    // Encoded packets go here, in the encoder's time base (1/44100).
    using PacketSink = std::function<void(AVPacket*)>;

    // Throws EncodeFailure when the encoder or resampler cannot be set up. Decoded frames
    // carry their times in `inputTimeBase`.
    AudioEncoder(AudioCodec codec, int kbps, AVRational inputTimeBase);
    ~AudioEncoder();

    // When the first picture is shown, in input time; call before the first Encode. Sound
    // is kept on the picture's clock: late sound is preceded by silence, sound from before
    // the first picture is dropped, and gaps and overlaps later on are evened out.
    void StartAt(double videoStartSeconds) { m_videoStart = videoStartSeconds; }

    AVRational TimeBase() const;
    RmStreamFormat StreamFormat() const;

    // Encodes one decoded frame, or drains everything with nullptr. Throws EncodeFailure.
    void Encode(const AVFrame* frame, const PacketSink& sink);

private:
    void SetUpResampler(const AVFrame& frame);
    void Align(const AVFrame& frame, const PacketSink& sink);
    void PadWithSilence(int64_t samples, const PacketSink& sink);
    void EncodeWhole(bool drain, const PacketSink& sink);

    std::unique_ptr<SoundCodec> m_codec;
    AVChannelLayout m_layout{};
    SwrPtr m_resampler;
    AudioFifoPtr m_fifo;
    FramePtr m_frame;
    AVRational m_inputTimeBase;
    double m_videoStart = 0;
    bool m_aligned = false;
    int64_t m_samplesOut = 0;     // sent to the encoder
    int64_t m_samplesPlaced = 0;  // put on the output's clock, silence included
    int64_t m_samplesToSkip = 0;
    // The input format the resampler was made for; decoders may change it mid-stream.
    int m_inRate = 0;
    int m_inFormat = -1;
    int m_inChannels = 0;
};

}  // namespace quenlar::encoder
