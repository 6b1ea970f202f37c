#include "engine/RmStreamFormat.h"

#include "engine/EncodeFailure.h"
#include "engine/RmFormatFacts.h"

namespace quenlar::encoder {

namespace {

// A frame's length needs 14 bits below this, else 30.
constexpr int kLongLengthFrom = 0x4000;

// One part of a frame of `frameBytes` bytes: the part starting at `offset`, which is number
// `part` (from 1) of `parts`.
void FrameRealVideoPart(const uint8_t* data, uint32_t offset, uint32_t bytes, uint32_t frameBytes, int part,
                        int parts, bool key, int64_t frameNumber, rm::Bytes& payload)
{
    const bool last = part == parts;
    // The part's kind (the last, or one before it) and room for the parts the reader sets aside.
    rm::Put8(payload, (last ? rmfacts::kLastFramePart : rmfacts::kFramePart) | static_cast<uint32_t>((parts + 1) / 2));
    rm::Put8(payload, (key ? rmfacts::kKeyFrameBit : 0) | static_cast<uint32_t>(part));
    // The frame's length, then the part's offset; for the last part, its length instead.
    for (const uint32_t value : {frameBytes, last ? bytes : offset}) {
        if (value >= kLongLengthFrom)
            rm::Put32(payload, value);
        else
            rm::Put16(payload, kLongLengthFrom | value);
    }
    rm::Put8(payload, static_cast<uint32_t>(frameNumber & 0xFF));
    payload.insert(payload.end(), data + offset, data + offset + bytes);
}

void FrameRealVideo(const AVPacket& frame, int64_t frameNumber, std::vector<rm::Bytes>& payloads)
{
    const auto size = static_cast<uint32_t>(frame.size);
    FrameRealVideoPart(frame.data, 0, size, size, 1, 1, frame.flags & AV_PKT_FLAG_KEY, frameNumber,
                       payloads.emplace_back());
}

uint32_t LittleEndian32(const uint8_t* at)
{
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

void FrameRv40Slices(const AVPacket& frame, int64_t frameNumber, std::vector<rm::Bytes>& payloads)
{
    const auto fail = [] {
        throw EncodeFailure(EncodeResult::EncoderFailure, "The rv40 encoder made a frame without a valid slice table");
    };
    if (frame.size < 1)
        fail();
    const int slices = frame.data[0] + 1;
    const int table = 1 + 8 * slices;
    if (frame.size < table)
        fail();
    const uint8_t* data = frame.data + table;
    const auto size = static_cast<uint32_t>(frame.size - table);
    for (int slice = 0; slice < slices; ++slice) {
        const uint32_t start = LittleEndian32(frame.data + 1 + 8 * slice + 4);
        const uint32_t end = slice + 1 < slices ? LittleEndian32(frame.data + 1 + 8 * (slice + 1) + 4) : size;
        if (start > end || end > size || (slice == 0 && start != 0))
            fail();
        FrameRealVideoPart(data, start, end - start, size, slice + 1, slices, frame.flags & AV_PKT_FLAG_KEY,
                           frameNumber, payloads.emplace_back());
    }
}

void FrameDnet(const AVPacket& frame, int64_t, std::vector<rm::Bytes>& payloads)
{
    rm::Bytes& payload = payloads.emplace_back();
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
    format.indexBeforePictureKeyFrames = true;
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

int GenrFrameIndex(int height, int row, int slot)
{
    return height * slot + (height + 1) / 2 * (row & 1) + (row >> 1);
}

RmStreamFormat CookFormat(const cook::StreamParameters& stream, int height, int framesPerPacket)
{
    RmStreamFormat format;
    format.bitRate = stream.BitRate();
    format.frameDuration = {stream.frameSamples, stream.sampleRate};
    format.indexBeforePictureKeyFrames = true;
    format.interleaving = {height, framesPerPacket};
    const int packetBytes = stream.frameBytes * framesPerPacket;
    const auto bytesPerMinute = static_cast<uint32_t>(int64_t{stream.BitRate()} / 8 * 60);
    const std::vector<std::uint8_t> codecData = stream.CodecData();
    rm::Bytes& header = format.typeSpecificData;
    rm::PutBytes(header, ".ra\xfd");
    rm::Put16(header, rmfacts::kRa5Version);
    rm::Put16(header, 0);
    rm::PutBytes(header, ".ra5");
    rm::Put32(header, 0);  // data size: not needed to play
    rm::Put16(header, rmfacts::kRa5Version);
    rm::Put32(header, rmfacts::kRa5HeaderBytes);
    rm::Put16(header, 0);  // flavour: none of the players looks it up for cook
    rm::Put32(header, static_cast<uint32_t>(packetBytes));
    rm::Put32(header, 0);
    rm::Put32(header, bytesPerMinute);
    rm::Put32(header, bytesPerMinute);
    rm::Put16(header, static_cast<uint32_t>(height));
    rm::Put16(header, static_cast<uint32_t>(packetBytes));
    rm::Put16(header, static_cast<uint32_t>(stream.frameBytes));
    rm::Put16(header, 0);
    rm::Put16(header, 0);
    rm::Put16(header, static_cast<uint32_t>(stream.sampleRate));
    rm::Put16(header, 0);
    rm::Put16(header, static_cast<uint32_t>(stream.sampleRate));
    rm::Put16(header, 0);
    rm::Put16(header, rmfacts::kRa5SampleSize);
    rm::Put16(header, static_cast<uint32_t>(stream.channels));
    rm::PutBytes(header, rmfacts::kCookInterleaver);
    rm::PutBytes(header, rmfacts::kCookFourCc);
    rm::Put32(header, 0);
    rm::Put32(header, static_cast<uint32_t>(codecData.size()));
    header.insert(header.end(), codecData.begin(), codecData.end());
    return format;
}

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

RmStreamFormat Rv40Format(int width, int height, AVRational frameRate, int bitRate)
{
    rm::Bytes setup;
    rm::Put32(setup, rmfacts::kRv40Flags);
    rm::Put32(setup, rmfacts::kRv40SubId);
    RmStreamFormat format = RealVideoFormat("RV40", width, height, frameRate, bitRate, setup);
    format.frame = FrameRv40Slices;
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
