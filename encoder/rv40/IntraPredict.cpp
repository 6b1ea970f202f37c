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

void FromEdges(const Edges& e, int m, std::uint8_t* pred, int predStride)
{
    const int* t = e.t;
    const int* l = e.l;
    const int lt = e.lt;
    std::uint8_t p[4][4]; // [y][x]
    switch (m) {
    case kDc128:
    case kIntraDc:
    case kLeftDc:
    case kTopDc: {
        int dc = 128;
        if (m == kIntraDc)
            dc = (t[0] + t[1] + t[2] + t[3] + l[0] + l[1] + l[2] + l[3] + 4) >> 3;
        else if (m == kLeftDc)
            dc = (l[0] + l[1] + l[2] + l[3] + 2) >> 2;
        else if (m == kTopDc)
            dc = (t[0] + t[1] + t[2] + t[3] + 2) >> 2;
        Fill(pred, predStride, 4, static_cast<std::uint8_t>(dc));
        return;
    }
    case kIntraVertical:
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                p[y][x] = static_cast<std::uint8_t>(t[x]);
        break;
    case kIntraHorizontal:
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                p[y][x] = static_cast<std::uint8_t>(l[y]);
        break;
    case kIntraDiagDownRight:
        p[3][0] = (l[3] + 2 * l[2] + l[1] + 2) >> 2;
        p[2][0] = p[3][1] = (l[2] + 2 * l[1] + l[0] + 2) >> 2;
        p[1][0] = p[2][1] = p[3][2] = (l[1] + 2 * l[0] + lt + 2) >> 2;
        p[0][0] = p[1][1] = p[2][2] = p[3][3] = (l[0] + 2 * lt + t[0] + 2) >> 2;
        p[0][1] = p[1][2] = p[2][3] = (lt + 2 * t[0] + t[1] + 2) >> 2;
        p[0][2] = p[1][3] = (t[0] + 2 * t[1] + t[2] + 2) >> 2;
        p[0][3] = (t[1] + 2 * t[2] + t[3] + 2) >> 2;
        break;
    case kIntraDiagDownLeft:
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const int d = x + y;
                p[y][x] = d < 6 ? (t[d] + 2 * t[d + 1] + t[d + 2] + l[d] + 2 * l[d + 1] + l[d + 2] + 4) >> 3
                                : (t[6] + t[7] + l[6] + l[7] + 2) >> 2;
            }
        break;
    case kIntraVerticalRight:
        p[0][0] = p[2][1] = (lt + t[0] + 1) >> 1;
        p[0][1] = p[2][2] = (t[0] + t[1] + 1) >> 1;
        p[0][2] = p[2][3] = (t[1] + t[2] + 1) >> 1;
        p[0][3] = (t[2] + t[3] + 1) >> 1;
        p[1][0] = p[3][1] = (l[0] + 2 * lt + t[0] + 2) >> 2;
        p[1][1] = p[3][2] = (lt + 2 * t[0] + t[1] + 2) >> 2;
        p[1][2] = p[3][3] = (t[0] + 2 * t[1] + t[2] + 2) >> 2;
        p[1][3] = (t[1] + 2 * t[2] + t[3] + 2) >> 2;
        p[2][0] = (lt + 2 * l[0] + l[1] + 2) >> 2;
        p[3][0] = (l[0] + 2 * l[1] + l[2] + 2) >> 2;
        break;
    case kIntraVerticalLeft:
        p[0][0] = (2 * t[0] + 2 * t[1] + l[1] + 2 * l[2] + l[3] + 4) >> 3;
        p[0][1] = p[2][0] = (t[1] + t[2] + 1) >> 1;
        p[0][2] = p[2][1] = (t[2] + t[3] + 1) >> 1;
        p[0][3] = p[2][2] = (t[3] + t[4] + 1) >> 1;
        p[2][3] = (t[4] + t[5] + 1) >> 1;
        p[1][0] = (t[0] + 2 * t[1] + t[2] + l[2] + 2 * l[3] + l[4] + 4) >> 3;
        p[1][1] = p[3][0] = (t[1] + 2 * t[2] + t[3] + 2) >> 2;
        p[1][2] = p[3][1] = (t[2] + 2 * t[3] + t[4] + 2) >> 2;
        p[1][3] = p[3][2] = (t[3] + 2 * t[4] + t[5] + 2) >> 2;
        p[3][3] = (t[4] + 2 * t[5] + t[6] + 2) >> 2;
        break;
    case kIntraHorizontalUp:
        p[0][0] = (t[1] + 2 * t[2] + t[3] + 2 * l[0] + 2 * l[1] + 4) >> 3;
        p[0][1] = (t[2] + 2 * t[3] + t[4] + l[0] + 2 * l[1] + l[2] + 4) >> 3;
        p[0][2] = p[1][0] = (t[3] + 2 * t[4] + t[5] + 2 * l[1] + 2 * l[2] + 4) >> 3;
        p[0][3] = p[1][1] = (t[4] + 2 * t[5] + t[6] + l[1] + 2 * l[2] + l[3] + 4) >> 3;
        p[1][2] = p[2][0] = (t[5] + 2 * t[6] + t[7] + 2 * l[2] + 2 * l[3] + 4) >> 3;
        p[1][3] = p[2][1] = (t[6] + 3 * t[7] + l[2] + 3 * l[3] + 4) >> 3;
        p[2][3] = p[3][1] = (l[3] + 2 * l[4] + l[5] + 2) >> 2;
        p[3][0] = p[2][2] = (t[6] + t[7] + l[3] + l[4] + 2) >> 2;
        p[3][2] = (l[4] + l[5] + 1) >> 1;
        p[3][3] = (l[4] + 2 * l[5] + l[6] + 2) >> 2;
        break;
    case kIntraHorizontalDown:
        p[0][0] = p[1][2] = (lt + l[0] + 1) >> 1;
        p[0][1] = p[1][3] = (l[0] + 2 * lt + t[0] + 2) >> 2;
        p[0][2] = (lt + 2 * t[0] + t[1] + 2) >> 2;
        p[0][3] = (t[0] + 2 * t[1] + t[2] + 2) >> 2;
        p[1][0] = p[2][2] = (l[0] + l[1] + 1) >> 1;
        p[1][1] = p[2][3] = (lt + 2 * l[0] + l[1] + 2) >> 2;
        p[2][0] = p[3][2] = (l[1] + l[2] + 1) >> 1;
        p[2][1] = p[3][3] = (l[0] + 2 * l[1] + l[2] + 2) >> 2;
        p[3][0] = (l[2] + l[3] + 1) >> 1;
        p[3][1] = (l[1] + 2 * l[2] + l[3] + 2) >> 2;
        break;
    default:
        break;
    }
    for (int y = 0; y < 4; ++y)
        std::memcpy(pred + y * predStride, p[y], 4);
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
