// Names the calling thread, so that profilers and /proc show the encoder's stages apart.
#pragma once

#include <pthread.h>
#include <string>

namespace quenlar::encoder {

// Linux keeps at most 15 characters.
inline void NameThisThread(const std::string& name)
{
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

}  // namespace quenlar::encoder
