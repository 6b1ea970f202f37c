// UTF-8 at the byte level, in one place: cutting to a byte limit without splitting a character
// (the settings files, the clip title), and mending text from elsewhere (a log file, a name) for
// a window that takes only UTF-8. Plain C++.
#pragma once

#include <cstddef>
#include <string>
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

// `s` with every byte that is not part of a valid UTF-8 character replaced by U+FFFD: the window
// would show nothing at all for text with a single stray byte.
std::string ValidUtf8(std::string_view s);

}  // namespace platform
