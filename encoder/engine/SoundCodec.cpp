#include "engine/SoundCodec.h"

#include "engine/Ac3SoundCodec.h"
#include "engine/CookSoundCodec.h"

namespace quenlar::encoder {

std::unique_ptr<SoundCodec> MakeSoundCodec(AudioCodec codec, int kbps)
{
    if (codec == AudioCodec::Cook)
        return std::make_unique<CookSoundCodec>(kbps);
    return std::make_unique<Ac3SoundCodec>(kbps);
}

}  // namespace quenlar::encoder
