// Values in the codec headers of rm streams that the format's published description leaves out.
//
// Origin: FFmpeg 5.1's libavformat (rmenc.c writes these values, rmdec.c reads them) and
// libavcodec (rv10.c reads the RealVideo setup data); FFmpeg is licensed under the GNU LGPL 2.1
// or later. Only the values are taken, as facts about the format. They are what our files carried
// when FFmpeg's muxer wrote them, and what FFmpeg, MPlayer, GStreamer and VLC were seen to play.
#pragma once

#include <cstdint>

namespace quenlar::encoder::rmfacts {

// RealVideo ("VIDO"): the whole frame rate stands both in the bits-per-pixel field and, as
// 16.16 fixed point, in the frame-rate field. The decoder's setup data follows: four bytes of
// flags, then the codec's sub-id (for rv20, plain H.263-style frames).
constexpr uint32_t kRv20Flags = 0x00000008;
constexpr uint32_t kRv20SubId = 0x20103001;
// rv40 (ours, not FFmpeg's muxer's: it writes no rv40): the same flags, and a sub-id whose top
// four bits hold the bitstream's major version (4) and the next eight its minor one (0), as
// other RealVideo 4 decoders read it; libavcodec's rv40 decoder reads neither. FFmpeg, MPlayer,
// GStreamer and VLC were seen to play such files.
constexpr uint32_t kRv40Flags = 0x00000008;
constexpr uint32_t kRv40SubId = 0x40000000;
// A packet holds a part of a frame: its first byte says whether it is the last (or only) part or
// one before it, with half the number of parts (rounded up) in its low six bits; the second
// carries the key-frame bit and the part's number, from 1.
constexpr uint8_t kLastFramePart = 0x80;
constexpr uint8_t kFramePart = 0x00;
constexpr uint8_t kKeyFrameBit = 0x80;

// RealAudio 4 (".ra4") header of an AC3 stream, stored as "dnet": AC3 with its 16-bit words
// byte-swapped, one frame a packet, not interleaved ("Int0").
constexpr uint32_t kRa4Version = 0x00040000;  // version 4, then two unused bytes
constexpr uint32_t kRa4StreamLength = 0x01b53530;
constexpr uint16_t kRa4HeaderVersion = 4;
constexpr uint32_t kRa4HeaderBytes = 0x39;
constexpr uint32_t kRa4Granularity = 0x51540;
constexpr uint32_t kRa4SampleSize = 0x10;
constexpr const char* kAc3Interleaver = "Int0";
constexpr const char* kAc3FourCc = "dnet";
// The header's "flavor" for AC3 is a sample-rate family code.
constexpr uint16_t Ac3Flavor(int sampleRate)
{
    switch (sampleRate) {
    case 48000:
    case 24000:
    case 12000:
        return 1;
    case 32000:
    case 16000:
    case 8000:
        return 3;
    default:
        return 2;
    }
}
// The coded frame length is the encoder's bytes per frame, rounded down; at 128 kbit/s and
// 44.1 kHz (557) it is the whole number of 16-bit words below (556).
constexpr int Ac3CodedFrameBytes(int64_t bitRate, int frameSamples, int sampleRate)
{
    const int bytes = static_cast<int>(bitRate * frameSamples / (8 * int64_t{sampleRate}));
    return bytes == 557 ? 556 : bytes;
}

// RealAudio 5 (".ra5") header of a cook stream: the fields FFmpeg's, GStreamer's, VLC's and
// MPlayer's demuxers read, at fixed offsets from ".ra\xfd": flavour (+22), coded frame size
// (+24, GStreamer's packet size: it must equal the bytes of a packet), bytes a minute (+32),
// interleaving height (+40), bytes a packet (+42), bytes a cook frame (+44), sample rate (+54),
// sample size (+58), channels (+60), interleaver (+62), fourcc (+66), then after four unused
// bytes the codec data's length (+74) and the codec data (+78).
constexpr uint16_t kRa5Version = 5;
constexpr uint32_t kRa5HeaderBytes = 0x4e;
constexpr uint16_t kRa5SampleSize = 16;
constexpr const char* kCookInterleaver = "genr";
constexpr const char* kCookFourCc = "cook";

}  // namespace quenlar::encoder::rmfacts
