#include "engine/CodecIo.h"

namespace quenlar::encoder {

int SendAndReceive(AVCodecContext* encoder, const AVFrame* frame, AVPacket* packet,
                   const std::function<void(AVPacket*)>& onPacket)
{
    int error = avcodec_send_frame(encoder, frame);
    while (error >= 0) {
        error = avcodec_receive_packet(encoder, packet);
        if (error == AVERROR(EAGAIN) || error == AVERROR_EOF)
            return 0;
        if (error >= 0) {
            onPacket(packet);
            av_packet_unref(packet);
        }
    }
    return error;
}

}  // namespace quenlar::encoder
