#include "StreamParameters.h"

#include <stdexcept>
#include <string>

#include "Allocation.h"
#include "Codes.h"

namespace quenlar::cook {

namespace {

constexpr std::uint32_t kMono = 0x01000001;
constexpr std::uint32_t kStereo = 0x01000002;
constexpr std::uint32_t kJointStereo = 0x01000003;
constexpr int kMaxSubbands = 50;

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    Put16(out, value >> 16);
    Put16(out, value & 0xFFFF);
}

}  // namespace

int StreamParameters::BitRate() const
{
    return static_cast<int>(static_cast<long long>(frameBytes) * 8 * sampleRate / frameSamples);
}

std::vector<std::uint8_t> StreamParameters::CodecData() const
{
    std::vector<std::uint8_t> data;
    Put32(data, channels == 1 ? kMono : Joint() ? kJointStereo : kStereo);
    Put16(data, static_cast<std::uint32_t>(frameSamples * channels));
    Put16(data, static_cast<std::uint32_t>(subbands));
    if (Joint()) {
        Put32(data, 0);
        Put16(data, static_cast<std::uint32_t>(jointStart));
        Put16(data, static_cast<std::uint32_t>(couplingBits));
    }
    return data;
}

void StreamParameters::Check() const
{
    const auto fail = [](const std::string& what) { throw std::invalid_argument("cook: " + what); };
    if (channels != 1 && channels != 2)
        fail("one or two channels");
    if (frameSamples != 256 && frameSamples != 512 && frameSamples != 1024)
        fail("256, 512 or 1024 samples a frame");
    if (sampleRate < 8000 || sampleRate > 65535)
        fail("sample rate out of range");
    if (subbands < 1 || subbands > kMaxSubbands || subbands * kBandSize > frameSamples)
        fail("subbands out of range");
    if (Joint() && (jointStart >= subbands || UnitBands() > kMaxUnitBands || couplingBits < kMinCouplingBits ||
                    couplingBits > kMaxCouplingBits))
        fail("joint stereo out of range");
    // Two channels coded apart share a frame in halves.
    if (frameBytes < 16 || frameBytes > 0xFFFF || (channels == 2 && !Joint() && frameBytes % 2))
        fail("frame bytes out of range");
}

}  // namespace quenlar::cook
