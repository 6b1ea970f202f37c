// Code tables and constants of the cook (RealAudio G2/8) bitstream, taken from FFmpeg 5.1's cook
// decoder: libavcodec/cookdata.h. They are facts of the format that an encoder must share with
// the decoder, kept in a shared library of their own so that they can be replaced.
//
// Copyright (c) 2003 Sascha Sommer, (c) 2005 Benjamin Larsson (FFmpeg, the file named above).
//
// This file is free software; you can redistribute it and/or modify it under the terms of the
// GNU Lesser General Public License as published by the Free Software Foundation; either
// version 2.1 of the License, or (at your option) any later version. It is distributed in the
// hope that it will be useful, but WITHOUT ANY WARRANTY; without even the implied warranty of
// MERCHANTABILITY or FITNESS FOR A PARTICULAR PURPOSE. See the GNU Lesser General Public
// License for more details. SPDX-License-Identifier: LGPL-2.1-or-later

#pragma once

#include <cstdint>

namespace quenlar::cook::tables {

// The bits a band of 20 coefficients is expected to take in each category (0 finest, 7 not
// coded), as the decoder's bit allocation assumes. (expbits_tab)
extern const int kCategoryBits[8];
// The magnitude of the noise a zero coefficient decodes to, per category. (dither_tab)
extern const float kDither[9];
// The value each quantisation index decodes to, in units of the band's scale, per category.
// (quant_centroid_tab)
extern const float kCentroids[7][14];
// The largest index, the coefficients per vector and the vectors per band of each category.
// (kmax_tab, vd_tab, vpr_tab)
extern const int kMaxIndex[7];
extern const int kVectorSize[7];
extern const int kVectorsPerBand[7];
// Huffman codes as the number of codes of each length from 1 to 16, then the symbols in code
// order. Envelope differences: 13 tables, symbols are the difference + 12.
// (envelope_quant_index_huffcounts, _huffsyms)
extern const std::uint8_t kEnvelopeCounts[13][16];
extern const std::uint8_t kEnvelopeSymbols[13][24];
// Coefficient vectors, per category: a symbol holds a vector's indices as the digits of a
// number in base kMaxIndex + 1, the first coefficient most significant. (cvh_huffcounts,
// cvh_huffsyms0-6)
extern const std::uint8_t kVectorCounts[7][16];
extern const std::uint16_t* const kVectorSymbols[7];
// Joint stereo: coupling values for 2 to 6 bits, their codes and scales; the coupling band
// each band belongs to. (ccpl_huffcounts, ccpl_huffsyms2-6, cplband, cplscale2-6)
extern const std::uint8_t kCouplingCounts[5][16];
extern const std::uint8_t* const kCouplingSymbols[5];
extern const int kCouplingBand[51];
extern const float* const kCouplingScales[5];

}  // namespace quenlar::cook::tables
