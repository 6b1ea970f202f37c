// Code tables and constants of the RealVideo 4 bitstream, taken from FFmpeg 5.1's rv40 decoder:
// libavcodec/rv34vlc.h, rv34data.h, rv40vlc2.h, rv40data.h and rv40dsp.c. They are facts of the
// format that an encoder must share with the decoder, kept in a shared library of their own so
// that they can be replaced.
//
// Copyright (c) 2007, 2008 Konstantin Shishkov (FFmpeg, the files named above).
//
// This file is free software; you can redistribute it and/or modify it under the terms of the
// GNU Lesser General Public License as published by the Free Software Foundation; either
// version 2.1 of the License, or (at your option) any later version. It is distributed in the
// hope that it will be useful, but WITHOUT ANY WARRANTY; without even the implied warranty of
// MERCHANTABILITY or FITNESS FOR A PARTICULAR PURPOSE. See the GNU Lesser General Public
// License for more details. SPDX-License-Identifier: LGPL-2.1-or-later

#pragma once

#include <cstdint>

namespace quenlar::rv40::tables {

// Code lengths of the coded-pattern symbol (16 * chroma code + luma nibble), per intra set, for
// 4x4 and 16x16 macroblocks. (rv34vlc.h)
extern const std::uint8_t kIntraCbpPatternLengths[5][2][1296];
// Code lengths of an 8x8 quadrant's 4x4 pattern, per intra set, indexed [2 * ones + is16].
// (rv34vlc.h)
extern const std::uint8_t kIntraCbpLengths[5][8][16];
// Code lengths of a block's first 2x2 subblock and subblock flags, per intra set and block
// kind. (rv34vlc.h)
extern const std::uint8_t kIntraFirstPatternLengths[5][4][864];
// Code lengths of the second and third 2x2 subblocks, per intra set, luma and chroma.
// (rv34vlc.h)
extern const std::uint8_t kIntraSecondPatternLengths[5][2][108];
// Code lengths of the last 2x2 subblock, per intra set, luma and chroma. (rv34vlc.h)
extern const std::uint8_t kIntraThirdPatternLengths[5][2][108];
// Code lengths of escaped coefficient magnitudes, per intra set. (rv34vlc.h)
extern const std::uint8_t kIntraCoefficientLengths[5][32];
// Code lengths of the coded-pattern symbol, per inter set. (rv34vlc.h)
extern const std::uint8_t kInterCbpPatternLengths[7][1296];
// Code lengths of an 8x8 quadrant's 4x4 pattern, per inter set and number of coded quadrants.
// (rv34vlc.h)
extern const std::uint8_t kInterCbpLengths[7][4][16];
// Code lengths of a block's first 2x2 subblock and subblock flags, per inter set, luma and
// chroma. (rv34vlc.h)
extern const std::uint8_t kInterFirstPatternLengths[7][2][864];
// Code lengths of the second and third 2x2 subblocks, per inter set. (rv34vlc.h)
extern const std::uint8_t kInterSecondPatternLengths[7][2][108];
// Code lengths of the last 2x2 subblock, per inter set. (rv34vlc.h)
extern const std::uint8_t kInterThirdPatternLengths[7][2][108];
// Code lengths of escaped coefficient magnitudes, per inter set. (rv34vlc.h)
extern const std::uint8_t kInterCoefficientLengths[7][32];
// The 4x4 pattern of an 8x8 quadrant that each quadrant code stands for. (rv34data.h)
extern const std::uint8_t kCbpCode[16];
// Chroma quantiser for AC [0] and DC [1] coefficients by luma quantiser. (rv34data.h)
extern const std::uint8_t kChromaQuant[2][32];
// Dequantisation step by quantiser. (rv34data.h)
extern const std::uint16_t kQuantScale[32];
// Code set by quantiser, for intra [0] and inter [1] blocks. (rv34data.h)
extern const std::uint8_t kQuantToCodeSet[2][32];
// Largest macroblock count for each width of the slice start field. (rv34data.h)
extern const std::uint16_t kMbCountLimits[6];
// Width of the slice start field. (rv34data.h)
extern const std::uint8_t kMbCountBits[6];
// (pattern, length) of the 4x4 modes of a macroblock's top row in a slice's first row.
// (rv40vlc2.h)
extern const std::uint8_t kTopRowModes[16][2];
// Mode pairs (first << 4 | second) in code order, per neighbour context. (rv40vlc2.h)
extern const std::uint8_t kModePairSymbols[20][81];
// Code lengths of the mode pairs, in the same order. (rv40vlc2.h)
extern const std::uint8_t kModePairLengths[20][81];
// (mode, length) in code order, per context top + 10 * left. (rv40vlc2.h)
extern const std::uint8_t kModeSingle[90][9][2];
// (macroblock type, length) in code order, per context; 255 is the escape. (rv40vlc2.h)
extern const std::uint8_t kPTypeCodes[7][8][2];
// P-frame macroblock type context by the neighbours' dominant type. (rv40vlc2.h)
extern const std::uint8_t kPTypeContext[12];
// The same for B-frames: (macroblock type, length) in code order, 255 the escape, and the type
// context by the neighbours' dominant type. (rv40vlc2.h)
extern const std::uint8_t kBTypeCodes[6][7][2];
extern const std::uint8_t kBTypeContext[12];
// Widths with a 3-bit code (0: escaped). (rv40data.h)
extern const int kStandardWidths[8];
// Heights with a 3-bit code (negative: one more bit chooses; 0: escaped). (rv40data.h)
extern const int kStandardHeights[12];
// Neighbour contexts (top-right + 16 * top + 256 * left) that code two 4x4 modes at once.
// (rv40data.h)
extern const std::uint16_t kModePairContexts[20];
// Quantiser of the separate luma DC block, intra [0] and inter [1]. (rv40data.h)
extern const std::uint8_t kLumaDcQuant[2][32];
// Loop filter alpha by quantiser. (rv40data.h)
extern const std::uint8_t kFilterAlpha[32];
// Loop filter beta by quantiser. (rv40data.h)
extern const std::uint8_t kFilterBeta[32];
// Loop filter clipping by edge strength and quantiser. (rv40data.h)
extern const std::uint8_t kFilterClip[3][32];
// Strong loop filter rounding, before the edge. (rv40dsp.c)
extern const std::uint8_t kFilterDitherLeft[16];
// Strong loop filter rounding, after the edge. (rv40dsp.c)
extern const std::uint8_t kFilterDitherRight[16];
// Chroma motion compensation rounding by [y / 2][x / 2] eighth-pel phase. (rv40dsp.c)
extern const std::uint8_t kChromaMcBias[4][4];

}  // namespace quenlar::rv40::tables
