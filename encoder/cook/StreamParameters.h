// What a cook stream is: its rate, channels, frame length, coded bands and bytes per frame, and
// the codec data a decoder is given for it.
#pragma once

#include <cstdint>
#include <vector>

namespace quenlar::cook {

struct StreamParameters {
    int sampleRate = 44'100;
    int channels = 2;          // 1 or 2
    int frameSamples = 1024;   // per channel: 256, 512 or 1024
    int subbands = 0;          // bands of 20 coefficients coded per channel
    int jointStart = 0;        // two channels: bands from here up share one coded band; 0: none
    int couplingBits = 5;      // joint stereo: width of a coupling value, 2 to 6
    int frameBytes = 0;        // one coded frame, both channels

    bool Joint() const { return channels == 2 && jointStart > 0; }
    // Bands a unit codes: one channel's, or in joint stereo both channels' below the start.
    int UnitBands() const { return Joint() ? subbands + jointStart : subbands; }
    // Bit/s of the coded frames.
    int BitRate() const;
    // The codec data of the stream header: its version, samples a frame, bands, and the joint
    // stereo start and width; 8 bytes, or 16 in joint stereo.
    std::vector<std::uint8_t> CodecData() const;

    // Throws std::invalid_argument for a combination the decoder refuses.
    void Check() const;
};

}  // namespace quenlar::cook
