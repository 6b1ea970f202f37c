// How the engine codes cook at a given rate: the stream's layout, measured per audio row on
// full-band music, and how rm interleaves its frames.
#pragma once

#include "cook/StreamParameters.h"

namespace quenlar::encoder {

// The layout measured best at the rate nearest `kbps`, with frames of `kbps` (within half a
// byte a frame).
cook::StreamParameters CookStreamFor(int kbps);

// rm carries this many cook frames in a packet ...
inline constexpr int kCookFramesPerPacket = 4;
// ... and sends packets in interleaving blocks of this many ("genr"): one, so that every
// packet starts a block and players that seek or start anywhere get whole blocks.
inline constexpr int kCookInterleaveHeight = 1;

}  // namespace quenlar::encoder
