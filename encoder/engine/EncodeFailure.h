// The exception that carries a failed step of an encode back to the job thread.
#pragma once

#include <stdexcept>
#include <string>

#include "engine/EncodeSettings.h"

namespace quenlar::encoder {

class EncodeFailure : public std::runtime_error {
public:
    EncodeFailure(EncodeResult code, const std::string& message)
        : std::runtime_error(message), m_code(code) {}
    EncodeResult Code() const { return m_code; }

private:
    EncodeResult m_code;
};

// "\"path\"" for messages; paths are shown as given.
inline std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

}  // namespace quenlar::encoder
