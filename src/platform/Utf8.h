// Cutting UTF-8 text to a byte limit without splitting a character: plain C++, for the settings
// files, the log and the clip title alike.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform {

// The longest start of `s` of at most `maxBytes` bytes that does not end inside a character.
// Bytes that are not UTF-8 count as characters of their own, so at most three more are dropped.
inline std::string_view Utf8Prefix(std::string_view s, std::size_t maxBytes)
{
    if (s.size() <= maxBytes)
        return s;
    std::size_t n = maxBytes;
    // s[n] is the first byte left out; if it continues a character, that character goes too.
    for (int back = 0; back < 3 && n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80; ++back)
        --n;
    return s.substr(0, n);
}

}  // namespace platform
