// Fields of the rm format (big-endian numbers, four-character tags, counted strings) appended to
// a byte buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quenlar::encoder::rm {

using Bytes = std::vector<uint8_t>;

inline void Put8(Bytes& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
}

inline void Put16(Bytes& out, uint32_t value)
{
    Put8(out, value >> 8);
    Put8(out, value);
}

inline void Put32(Bytes& out, uint32_t value)
{
    Put16(out, value >> 16);
    Put16(out, value);
}

inline void PutBytes(Bytes& out, std::string_view bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

inline void PutBytes(Bytes& out, const Bytes& bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

inline void Patch32(Bytes& out, size_t at, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out[at++] = static_cast<uint8_t>(value >> shift);
}

// Text longer than its length field can count is cut, never inside a UTF-8 character.
inline std::string_view CutTo(std::string_view text, size_t limit)
{
    if (text.size() <= limit)
        return text;
    size_t end = limit;
    while (end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

inline void PutString8(Bytes& out, std::string_view text)
{
    text = CutTo(text, 0xFF);
    Put8(out, static_cast<uint32_t>(text.size()));
    PutBytes(out, text);
}

inline void PutString16(Bytes& out, std::string_view text)
{
    text = CutTo(text, 0xFFFF);
    Put16(out, static_cast<uint32_t>(text.size()));
    PutBytes(out, text);
}

}  // namespace quenlar::encoder::rm
