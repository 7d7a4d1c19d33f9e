#pragma once
// Little-endian stores for the binary records of a workbook. The records are
// built in plain byte buffers and flushed in large blocks, so these write
// through a char pointer and return the position after the value.
#include <cstdint>
#include <cstring>

namespace xls {

inline char* put8(char* p, std::uint8_t v)
{
    *p = static_cast<char>(v);
    return p + 1;
}

inline char* put16(char* p, std::uint16_t v)
{
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>(v >> 8);
    return p + 2;
}

inline char* put32(char* p, std::uint32_t v)
{
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>((v >> 8) & 0xFF);
    p[2] = static_cast<char>((v >> 16) & 0xFF);
    p[3] = static_cast<char>(v >> 24);
    return p + 4;
}

inline char* putBytes(char* p, const void* data, std::size_t n)
{
    std::memcpy(p, data, n);
    return p + n;
}

} // namespace xls
