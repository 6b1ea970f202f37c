#include "Rv40Encoder.h"

#include <stdexcept>

#include "FrameCoder.h"

namespace quenlar::rv40 {

Encoder::Encoder(int width, int height) : width_(width), height_(height)
{
    if (width < 16 || height < 16 || width > 4092 || height > 4092 || width % 4 || height % 4)
        throw std::invalid_argument("rv40: the picture size must be a multiple of 4 from 16 to 4092");
    coder_ = std::make_unique<FrameCoder>(width, height);
}

Encoder::~Encoder() = default;

void Encoder::Encode(const SourcePicture& picture, const FrameOptions& options, EncodedFrame& out)
{
    out.key = coder_->Code(picture, options, out.data);
    out.bidirectional = options.bidirectional && !out.key;
}

void Encoder::TimeLoopFilter()
{
    coder_->TimeLoopFilter();
}

double Encoder::LoopFilterSeconds() const
{
    return coder_->LoopFilterSeconds();
}

const Picture& Encoder::Reconstruction() const
{
    return coder_->Reconstruction();
}

}  // namespace quenlar::rv40
