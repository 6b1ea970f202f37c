// Feeding an encoder and draining its packets, shared by the audio and video encoders.
#pragma once

#include <functional>

#include "engine/LibavPtr.h"

namespace quenlar::encoder {

// Sends one frame to an encoder (null: flush it) and hands each packet it then has ready to
// onPacket, unreferencing it afterwards. Returns 0 once the encoder wants more input or has
// ended, else the libav error of the failed send or receive.
int SendAndReceive(AVCodecContext* encoder, const AVFrame* frame, AVPacket* packet,
                   const std::function<void(AVPacket*)>& onPacket);

}  // namespace quenlar::encoder
