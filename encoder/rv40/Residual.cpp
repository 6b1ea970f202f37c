#include "Residual.h"

#include <cstdlib>
#include <cstring>

namespace quenlar::rv40 {
namespace {

// Blocks the dead zone leaves this few levels in keep them: weighing them by rate and distortion
// took 6 % of the encoder's instructions and was worth about 0.1 dB on film.
constexpr int kPlainMostLevels = 2;

bool HasAc(const std::int16_t levels[16])
{
    for (int i = 1; i < 16; ++i)
        if (levels[i])
            return true;
    return false;
}

// Takes one step off the largest level among positions [from, 16); false if all are zero.
bool Shrink(std::int16_t levels[16], int from)
{
    int best = -1;
    for (int i = from; i < 16; ++i)
        if (levels[i] && (best < 0 || std::abs(levels[i]) > std::abs(levels[best])))
            best = i;
    if (best < 0)
        return false;
    levels[best] = static_cast<std::int16_t>(levels[best] > 0 ? levels[best] - 1 : levels[best] + 1);
    return true;
}

// Dequantises levels so that the decoder's 16-bit arithmetic reproduces them exactly, giving up
// levels where it would not; `dc`, when given, replaces position 0 (the separate DC block's).
// Returns whether the levels were kept as they were.
bool DequantiseSafely(std::int16_t levels[16], const QuantMatrix& q, std::int16_t out[16], const std::int16_t* dc)
{
    for (bool kept = true;; kept = false) {
        const bool stored = Dequantise(levels, q, out);
        if (dc)
            out[0] = *dc;
        const bool ac = HasAc(levels);
        // Without other coefficients the decoder adds the DC in 32 bits.
        if (stored && (!ac || FitsDecoder(out)))
            return kept;
        if (!Shrink(levels, dc ? 1 : 0))
            return false;
    }
}

}  // namespace

bool QuantisesToZero(const std::uint8_t* src, int srcStride, const std::uint8_t* pred, int predStride, int w, int h,
                     const QuantMatrix& q)
{
    std::int32_t coeffs[4][16];
    auto allZero = [&] {
        return QuantisesToZero(coeffs[0], q) && QuantisesToZero(coeffs[1], q) && QuantisesToZero(coeffs[2], q) &&
               QuantisesToZero(coeffs[3], q);
    };
    if (w == 16) {
        for (int y = 0; y < h; y += 4) {
            ForwardTransform16x4(src + y * srcStride, srcStride, pred + y * predStride, predStride, coeffs);
            if (!allZero())
                return false;
        }
        return true;
    }
    if (w == 8 && h == 8) {
        ForwardTransform8x8(src, srcStride, pred, predStride, coeffs);
        return allZero();
    }
    for (int y = 0; y < h; y += 4)
        for (int x = 0; x < w; x += 4) {
            ForwardTransform(src + y * srcStride + x, srcStride, pred + y * predStride + x, predStride, coeffs[0]);
            if (!QuantisesToZero(coeffs[0], q))
                return false;
        }
    return true;
}

namespace {

// CodeBlock from the block's forward transform.
bool CodeTransformed(const std::int32_t coeffs[16], std::uint8_t* dst, int dstStride, const QuantMatrix& q,
                     std::int16_t levels[16], const RdWeights* rd, int* bits)
{
    int codeBits = 0;
    const int plain = QuantisesToZero(coeffs, q) ? 0 : Quantise(coeffs, q, levels);
    if (!plain || (rd && plain > kPlainMostLevels && !QuantiseRd(coeffs, q, *rd, levels, &codeBits))) {
        std::memset(levels, 0, 16 * sizeof levels[0]);
        return false;
    }
    std::int16_t d[16];
    if (!DequantiseSafely(levels, q, d, nullptr))
        codeBits = 0;
    if (!levels[0] && !HasAc(levels))
        return false;
    InverseTransformAdd(dst, dstStride, d);
    if (bits)
        *bits = codeBits;
    return true;
}

}  // namespace

bool CodeBlock(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, const QuantMatrix& q,
               std::int16_t levels[16], const RdWeights* rd, int* bits)
{
    std::int32_t coeffs[16];
    ForwardTransform(src, srcStride, dst, dstStride, coeffs);
    return CodeTransformed(coeffs, dst, dstStride, q, levels, rd, bits);
}

unsigned CodeLuma16x16(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, const QuantMatrix& q,
                       std::int16_t levels[16][16], const RdWeights* rd, std::int16_t bits[16])
{
    // Each block is predicted on its own: a row of four is transformed before any is coded.
    unsigned cbp = 0;
    for (int y = 0; y < 16; y += 4) {
        std::int32_t coeffs[4][16];
        ForwardTransform16x4(src + y * srcStride, srcStride, dst + y * dstStride, dstStride, coeffs);
        for (int k = 0; k < 4; ++k) {
            const int b = y + k;
            int blockBits = 0;
            if (CodeTransformed(coeffs[k], dst + y * dstStride + 4 * k, dstStride, q, levels[b], rd, &blockBits))
                cbp |= 1u << b;
            bits[b] = static_cast<std::int16_t>(blockBits);
        }
    }
    return cbp;
}

unsigned CodeBlock16(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride,
                     const QuantMatrix& dcQuant, const QuantMatrix& acQuant, std::int16_t dc[16],
                     std::int16_t levels[16][16], const RdWeights* rd)
{
    std::int32_t coeffs[16][16];
    std::int32_t blockDc[16];
    for (int y = 0; y < 4; ++y)
        ForwardTransform16x4(src + 4 * y * srcStride, srcStride, dst + 4 * y * dstStride, dstStride, coeffs + 4 * y);
    for (int b = 0; b < 16; ++b) {
        blockDc[b] = coeffs[b][0];
        coeffs[b][0] = 0;
    }
    std::int32_t dcCoeffs[16];
    ForwardDcTransform(blockDc, dcCoeffs);
    Quantise(dcCoeffs, dcQuant, dc);
    std::int16_t dcValues[16];
    for (;;) {
        std::int16_t dd[16];
        const bool stored = Dequantise(dc, dcQuant, dd);
        InverseDcTransform(dd, dcValues);
        // The inverse is exact in the decoder's plain code; only its 16-bit storage can overflow.
        bool fits = stored;
        for (int i = 0; i < 16 && fits; ++i)
            fits = std::abs(dcValues[i]) < 16384;
        if (fits || !Shrink(dc, 0))
            break;
    }
    unsigned cbp = 0;
    for (int b = 0; b < 16; ++b) {
        const int x = (b & 3) * 4, y = (b >> 2) * 4;
        if (QuantisesToZero(coeffs[b], acQuant))
            std::memset(levels[b], 0, 16 * sizeof levels[b][0]);
        else if (rd)
            QuantiseRd(coeffs[b], acQuant, *rd, levels[b]);
        else
            Quantise(coeffs[b], acQuant, levels[b]);
        std::int16_t d[16];
        DequantiseSafely(levels[b], acQuant, d, &dcValues[b]);
        if (HasAc(levels[b]))
            cbp |= 1u << b;
        else
            for (int i = 1; i < 16; ++i)
                d[i] = 0;
        InverseTransformAdd(dst + y * dstStride + x, dstStride, d);
    }
    return cbp;
}

unsigned CodeChroma8x8(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, const QuantMatrix& q,
                       std::int16_t levels[4][16], const RdWeights* rd, std::int16_t bits[4])
{
    std::int32_t coeffs[4][16];
    ForwardTransform8x8(src, srcStride, dst, dstStride, coeffs);
    unsigned cbp = 0;
    for (int b = 0; b < 4; ++b) {
        const int x = (b & 1) * 4, y = (b >> 1) * 4;
        int blockBits = 0;
        if (CodeTransformed(coeffs[b], dst + y * dstStride + x, dstStride, q, levels[b], rd, &blockBits))
            cbp |= 1u << b;
        if (bits)
            bits[b] = static_cast<std::int16_t>(blockBits);
    }
    return cbp;
}

}  // namespace quenlar::rv40
