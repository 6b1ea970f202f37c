#include "IntraPredict.h"

#include <algorithm>
#include <cstring>

namespace quenlar::rv40 {
namespace {

// Modes after adjustment for missing neighbours (the coded ones first).
enum Effective : int {
    kDc128 = kIntra4x4Modes,
    kLeftDc,
    kTopDc,
};

inline std::uint8_t Clip(int v)
{
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

void Fill(std::uint8_t* pred, int predStride, int size, std::uint8_t value)
{
    for (int y = 0; y < size; ++y)
        std::memset(pred + y * predStride, value, size);
}

// The pixels around a 4x4 block as its predictions read them, with the replacements the
// decoder makes for missing ones.
struct Edges {
    int t[8] = {};
    int l[8] = {};
    int lt = 0;
};

Edges LoadEdges(const std::uint8_t* src, int stride, Neighbours n)
{
    Edges e;
    // Without the row below-left (or without the left column) the three modes that reach down
    // there repeat the last left pixel instead.
    const bool down = n.down && n.left;
    if (n.up) {
        for (int i = 0; i < 4; ++i)
            e.t[i] = src[i - stride];
        for (int i = 4; i < 8; ++i)
            e.t[i] = n.right ? src[i - stride] : e.t[3];
    }
    if (n.left) {
        for (int i = 0; i < 4; ++i)
            e.l[i] = src[i * stride - 1];
        for (int i = 4; i < 8; ++i)
            e.l[i] = down ? src[i * stride - 1] : e.l[3];
    }
    if (n.up && n.left)
        e.lt = src[-stride - 1];
    return e;
}

// The mode the decoder applies for a coded one, given the missing neighbours.
int Effective(int mode, Neighbours n)
{
    if (!n.up && !n.left)
        return kDc128;
    if (!n.up) {
        if (mode == kIntraVertical)
            return kIntraHorizontal;
        if (mode == kIntraDc)
            return kLeftDc;
    } else if (!n.left) {
        if (mode == kIntraHorizontal)
            return kIntraVertical;
        if (mode == kIntraDc)
            return kTopDc;
    }
    return mode;
}

inline std::uint8_t Avg2(int a, int b)
{
    return static_cast<std::uint8_t>((a + b + 1) >> 1);
}

inline std::uint8_t Avg3(int a, int b, int c)
{
    return static_cast<std::uint8_t>((a + 2 * b + c + 2) >> 2);
}

// Row y of the prediction from four consecutive values.
inline void Row(std::uint8_t* pred, int predStride, int y, const std::uint8_t* from)
{
    std::memcpy(pred + y * predStride, from, 4);
}

// Each diagonal mode's rows are runs of one short sequence of filtered edge values.
void FromEdges(const Edges& e, int m, std::uint8_t* pred, int predStride)
{
    const int* t = e.t;
    const int* l = e.l;
    const int lt = e.lt;
    switch (m) {
    case kDc128:
        Fill(pred, predStride, 4, 128);
        return;
    case kIntraDc:
        Fill(pred, predStride, 4, static_cast<std::uint8_t>((t[0] + t[1] + t[2] + t[3] + l[0] + l[1] + l[2] + l[3] + 4) >> 3));
        return;
    case kLeftDc:
        Fill(pred, predStride, 4, static_cast<std::uint8_t>((l[0] + l[1] + l[2] + l[3] + 2) >> 2));
        return;
    case kTopDc:
        Fill(pred, predStride, 4, static_cast<std::uint8_t>((t[0] + t[1] + t[2] + t[3] + 2) >> 2));
        return;
    case kIntraVertical: {
        const std::uint8_t top[4] = {static_cast<std::uint8_t>(t[0]), static_cast<std::uint8_t>(t[1]),
                                     static_cast<std::uint8_t>(t[2]), static_cast<std::uint8_t>(t[3])};
        for (int y = 0; y < 4; ++y)
            Row(pred, predStride, y, top);
        return;
    }
    case kIntraHorizontal:
        for (int y = 0; y < 4; ++y)
            std::memset(pred + y * predStride, l[y], 4);
        return;
    default:
        break;
    }
    // The left column upwards, the corner and the top row: z[4] is the corner.
    const int z[9] = {l[3], l[2], l[1], l[0], lt, t[0], t[1], t[2], t[3]};
    std::uint8_t seq[10];
    switch (m) {
    case kIntraDiagDownRight: {
        for (int k = 1; k < 8; ++k)
            seq[k] = Avg3(z[k - 1], z[k], z[k + 1]);
        for (int y = 0; y < 4; ++y)
            Row(pred, predStride, y, seq + 4 - y);
        return;
    }
    case kIntraDiagDownLeft: {
        for (int d = 0; d < 6; ++d)
            seq[d] = static_cast<std::uint8_t>(
                (t[d] + 2 * t[d + 1] + t[d + 2] + l[d] + 2 * l[d + 1] + l[d + 2] + 4) >> 3);
        seq[6] = static_cast<std::uint8_t>((t[6] + t[7] + l[6] + l[7] + 2) >> 2);
        for (int y = 0; y < 4; ++y)
            Row(pred, predStride, y, seq + y);
        return;
    }
    case kIntraVerticalRight: {
        // Rows 0 and 2 from the averages of two, rows 1 and 3 from those of three.
        const std::uint8_t even[5] = {Avg3(z[2], z[3], z[4]), Avg2(z[4], z[5]), Avg2(z[5], z[6]), Avg2(z[6], z[7]),
                                      Avg2(z[7], z[8])};
        const std::uint8_t odd[5] = {Avg3(z[1], z[2], z[3]), Avg3(z[3], z[4], z[5]), Avg3(z[4], z[5], z[6]),
                                     Avg3(z[5], z[6], z[7]), Avg3(z[6], z[7], z[8])};
        Row(pred, predStride, 0, even + 1);
        Row(pred, predStride, 1, odd + 1);
        Row(pred, predStride, 2, even);
        Row(pred, predStride, 3, odd);
        return;
    }
    case kIntraHorizontalDown: {
        const std::uint8_t run[10] = {Avg2(z[0], z[1]), Avg3(z[0], z[1], z[2]), Avg2(z[1], z[2]),
                                      Avg3(z[1], z[2], z[3]), Avg2(z[2], z[3]), Avg3(z[2], z[3], z[4]),
                                      Avg2(z[3], z[4]), Avg3(z[3], z[4], z[5]), Avg3(z[4], z[5], z[6]),
                                      Avg3(z[5], z[6], z[7])};
        for (int y = 0; y < 4; ++y)
            Row(pred, predStride, y, run + 6 - 2 * y);
        return;
    }
    case kIntraVerticalLeft: {
        const std::uint8_t even[5] = {
            static_cast<std::uint8_t>((2 * t[0] + 2 * t[1] + l[1] + 2 * l[2] + l[3] + 4) >> 3), Avg2(t[1], t[2]),
            Avg2(t[2], t[3]), Avg2(t[3], t[4]), Avg2(t[4], t[5])};
        const std::uint8_t odd[5] = {
            static_cast<std::uint8_t>((t[0] + 2 * t[1] + t[2] + l[2] + 2 * l[3] + l[4] + 4) >> 3),
            Avg3(t[1], t[2], t[3]), Avg3(t[2], t[3], t[4]), Avg3(t[3], t[4], t[5]), Avg3(t[4], t[5], t[6])};
        Row(pred, predStride, 0, even);
        Row(pred, predStride, 1, odd);
        Row(pred, predStride, 2, even + 1);
        Row(pred, predStride, 3, odd + 1);
        return;
    }
    case kIntraHorizontalUp: {
        const std::uint8_t run[10] = {
            static_cast<std::uint8_t>((t[1] + 2 * t[2] + t[3] + 2 * l[0] + 2 * l[1] + 4) >> 3),
            static_cast<std::uint8_t>((t[2] + 2 * t[3] + t[4] + l[0] + 2 * l[1] + l[2] + 4) >> 3),
            static_cast<std::uint8_t>((t[3] + 2 * t[4] + t[5] + 2 * l[1] + 2 * l[2] + 4) >> 3),
            static_cast<std::uint8_t>((t[4] + 2 * t[5] + t[6] + l[1] + 2 * l[2] + l[3] + 4) >> 3),
            static_cast<std::uint8_t>((t[5] + 2 * t[6] + t[7] + 2 * l[2] + 2 * l[3] + 4) >> 3),
            static_cast<std::uint8_t>((t[6] + 3 * t[7] + l[2] + 3 * l[3] + 4) >> 3),
            static_cast<std::uint8_t>((t[6] + t[7] + l[3] + l[4] + 2) >> 2),
            Avg3(l[3], l[4], l[5]),
            Avg2(l[4], l[5]),
            Avg3(l[4], l[5], l[6])};
        for (int y = 0; y < 4; ++y)
            Row(pred, predStride, y, run + 2 * y);
        return;
    }
    default:
        return;
    }
}

}  // namespace

void Predict4x4(const std::uint8_t* src, int stride, int mode, Neighbours n, std::uint8_t* pred, int predStride)
{
    FromEdges(LoadEdges(src, stride, n), Effective(mode, n), pred, predStride);
}

void Predict4x4Modes(const std::uint8_t* src, int stride, const int* modes, int count, Neighbours n,
                     std::uint8_t (*pred)[16])
{
    const Edges e = LoadEdges(src, stride, n);
    for (int i = 0; i < count; ++i)
        FromEdges(e, Effective(modes[i], n), pred[i], 4);
}

void Predict16x16(const std::uint8_t* src, int stride, int mode, bool up, bool left, std::uint8_t* pred,
                  int predStride)
{
    if (!up && !left) {
        Fill(pred, predStride, 16, 128);
        return;
    }
    if (!up && mode != kIntra16Horizontal)
        mode = mode == kIntra16Dc ? -1 : kIntra16Horizontal; // -1: mean of the left column
    else if (!left && mode != kIntra16Vertical)
        mode = mode == kIntra16Dc ? -2 : kIntra16Vertical;   // -2: mean of the row above
    const std::uint8_t* top = src - stride;
    switch (mode) {
    case -1:
    case -2:
    case kIntra16Dc: {
        int sum = 0;
        if (mode != -2)
            for (int i = 0; i < 16; ++i)
                sum += src[i * stride - 1];
        if (mode != -1)
            for (int i = 0; i < 16; ++i)
                sum += top[i];
        const int dc = mode == kIntra16Dc ? (sum + 16) >> 5 : (sum + 8) >> 4;
        Fill(pred, predStride, 16, static_cast<std::uint8_t>(dc));
        return;
    }
    case kIntra16Vertical:
        for (int y = 0; y < 16; ++y)
            std::memcpy(pred + y * predStride, top, 16);
        return;
    case kIntra16Horizontal:
        for (int y = 0; y < 16; ++y)
            std::memset(pred + y * predStride, src[y * stride - 1], 16);
        return;
    default: {
        const int corner = top[-1];
        int h = top[8] - top[6];
        int v = src[8 * stride - 1] - src[6 * stride - 1];
        for (int k = 2; k <= 8; ++k) {
            h += k * (top[7 + k] - (k == 8 ? corner : top[7 - k]));
            v += k * (src[(7 + k) * stride - 1] - (k == 8 ? corner : src[(7 - k) * stride - 1]));
        }
        h = (h + (h >> 2)) >> 4;
        v = (v + (v >> 2)) >> 4;
        int a = 16 * (src[15 * stride - 1] + top[15] + 1) - 7 * (v + h);
        for (int y = 0; y < 16; ++y, a += v)
            for (int x = 0; x < 16; ++x)
                pred[y * predStride + x] = Clip((a + x * h) >> 5);
        return;
    }
    }
}

void PredictChroma8x8(const std::uint8_t* src, int stride, int mode, bool up, bool left, std::uint8_t* pred,
                      int predStride)
{
    if (mode == kIntra16Plane)
        mode = kIntra16Dc;
    if (!up && !left) {
        Fill(pred, predStride, 8, 128);
        return;
    }
    if (!up && mode == kIntra16Vertical)
        mode = kIntra16Horizontal;
    if (!left && mode == kIntra16Horizontal)
        mode = kIntra16Vertical;
    const std::uint8_t* top = src - stride;
    switch (mode) {
    case kIntra16Vertical:
        for (int y = 0; y < 8; ++y)
            std::memcpy(pred + y * predStride, top, 8);
        return;
    case kIntra16Horizontal:
        for (int y = 0; y < 8; ++y)
            std::memset(pred + y * predStride, src[y * stride - 1], 8);
        return;
    default: {
        int sum = 0;
        if (left)
            for (int i = 0; i < 8; ++i)
                sum += src[i * stride - 1];
        if (up)
            for (int i = 0; i < 8; ++i)
                sum += top[i];
        const int dc = up && left ? (sum + 8) >> 4 : (sum + 4) >> 3;
        Fill(pred, predStride, 8, static_cast<std::uint8_t>(dc));
        return;
    }
    }
}

}  // namespace quenlar::rv40
