// Joint stereo: the bands below the start are coded for each channel, interleaved; each band
// from the start up is coded once, and the decoder derives both channels from it by one pair of
// shares per coupling band.
#pragma once

#include "SideInfo.h"
#include "StreamParameters.h"

namespace quenlar::cook {

// The coupling band a band belongs to.
int CouplingBand(int band);

// Lays the two channels' coefficients out as the unit codes them, and chooses the coupling:
// each coupling band's shares follow the channels' energies, and its coded band keeps their
// sum, so that neither channel loses level.
void Couple(const StreamParameters& stream, const float* left, const float* right, float* unit,
            Coupling& coupling);

// What the decoder makes of a decoded unit.
void Decouple(const StreamParameters& stream, const Coupling& coupling, const float* unit, float* left,
              float* right);

}  // namespace quenlar::cook
