// The encoder control registers itself with the control registry at start-up.
#pragma once

namespace quenlar::encoder {

// True once the static registrar ran. A program that links this library without whole-archive
// linking names this function so that the registrar is linked in.
bool EncoderControlRegistered();

}  // namespace quenlar::encoder
