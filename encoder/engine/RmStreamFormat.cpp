#include "engine/RmStreamFormat.h"

#include "engine/EncodeFailure.h"
#include "engine/RmFormatFacts.h"

namespace quenlar::encoder {

namespace {

// A frame's length needs 14 bits below this, else 30.
constexpr int kLongLengthFrom = 0x4000;
constexpr int kSoundIndexIntervalMs = 1000;

void FrameRealVideo(const AVPacket& frame, int64_t frameNumber, rm::Bytes& payload)
{
    const auto size = static_cast<uint32_t>(frame.size);
    rm::Put8(payload, rmfacts::kWholeFrameInPacket);
    rm::Put8(payload, (frame.flags & AV_PKT_FLAG_KEY) ? rmfacts::kKeyFramePart : rmfacts::kOtherFramePart);
    // The frame's length, then this part's offset from its end: the same, as the part is whole.
    for (int field = 0; field < 2; ++field) {
        if (frame.size >= kLongLengthFrom)
            rm::Put32(payload, size);
        else
            rm::Put16(payload, kLongLengthFrom | size);
    }
    rm::Put8(payload, static_cast<uint32_t>(frameNumber & 0xFF));
    payload.insert(payload.end(), frame.data, frame.data + frame.size);
}

void FrameDnet(const AVPacket& frame, int64_t, rm::Bytes& payload)
{
    const size_t start = payload.size();
    payload.insert(payload.end(), frame.data, frame.data + frame.size);
    for (size_t at = start; at + 1 < payload.size(); at += 2)
        std::swap(payload[at], payload[at + 1]);
}

RmStreamFormat Ac3Format(const AVCodecContext& encoder)
{
    RmStreamFormat format;
    format.bitRate = static_cast<int>(encoder.bit_rate);
    format.frameDuration = {encoder.frame_size, encoder.sample_rate};
    format.indexIntervalMs = kSoundIndexIntervalMs;
    format.frame = FrameDnet;
    const int codedFrame = rmfacts::Ac3CodedFrameBytes(encoder.bit_rate, encoder.frame_size, encoder.sample_rate);
    const auto bytesPerMinute = static_cast<uint32_t>(encoder.bit_rate / 8 * 60);
    rm::Bytes& header = format.typeSpecificData;
    rm::PutBytes(header, ".ra\xfd");
    rm::Put32(header, rmfacts::kRa4Version);
    rm::PutBytes(header, ".ra4");
    rm::Put32(header, rmfacts::kRa4StreamLength);
    rm::Put16(header, rmfacts::kRa4HeaderVersion);
    rm::Put32(header, rmfacts::kRa4HeaderBytes);
    rm::Put16(header, rmfacts::Ac3Flavor(encoder.sample_rate));
    rm::Put32(header, codedFrame);
    rm::Put32(header, rmfacts::kRa4Granularity);
    rm::Put32(header, bytesPerMinute);
    rm::Put32(header, bytesPerMinute);
    rm::Put16(header, 1);  // frames per packet
    rm::Put16(header, codedFrame);
    rm::Put32(header, 0);  // sub-packet size, unused without interleaving
    rm::Put16(header, encoder.sample_rate);
    rm::Put32(header, rmfacts::kRa4SampleSize);
    rm::Put16(header, encoder.ch_layout.nb_channels);
    rm::PutString8(header, rmfacts::kAc3Interleaver);
    rm::PutString8(header, rmfacts::kAc3FourCc);
    rm::Put16(header, 0);  // title, author and copyright: in the CONT chunk instead
    rm::Put16(header, 0);
    rm::Put16(header, 0);
    rm::Put8(header, 0);
    return format;
}

}  // namespace

RmStreamFormat RealVideoFormat(std::string_view fourcc, int width, int height, AVRational frameRate,
                               int bitRate, const rm::Bytes& setupData)
{
    RmStreamFormat format;
    format.video = true;
    format.bitRate = bitRate;
    format.frameDuration = av_inv_q(frameRate);
    format.frame = FrameRealVideo;
    const auto wholeRate = static_cast<uint32_t>(frameRate.num / frameRate.den);
    rm::Bytes& header = format.typeSpecificData;
    constexpr uint32_t kFixedBytes = 26;
    rm::Put32(header, kFixedBytes + static_cast<uint32_t>(setupData.size()));
    rm::PutBytes(header, "VIDO");
    rm::PutBytes(header, fourcc);
    rm::Put16(header, width);
    rm::Put16(header, height);
    rm::Put16(header, wholeRate);
    rm::Put32(header, 0);
    rm::Put32(header, wholeRate << 16);
    rm::PutBytes(header, setupData);
    return format;
}

RmStreamFormat RmStreamFormat::For(const AVCodecContext& encoder)
{
    switch (encoder.codec_id) {
    case AV_CODEC_ID_RV20: {
        rm::Bytes setup;
        rm::Put32(setup, rmfacts::kRv20Flags);
        rm::Put32(setup, rmfacts::kRv20SubId);
        return RealVideoFormat("RV20", encoder.width, encoder.height, av_inv_q(encoder.time_base),
                               static_cast<int>(encoder.bit_rate), setup);
    }
    case AV_CODEC_ID_AC3:
        return Ac3Format(encoder);
    default:
        throw EncodeFailure(EncodeResult::EncoderFailure,
                            std::string("The rm writer cannot carry ") + avcodec_get_name(encoder.codec_id));
    }
}

}  // namespace quenlar::encoder
