// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Byte-order helpers. Every multi-byte integer in the dBase files goes through these, never
// through a cast of a struct over a buffer.
// REQUIRES: the pointer addresses at least the number of bytes the name says.

#include <cstdint>

namespace welarik {

inline uint16_t decodeLe16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t decodeLe32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8)
           | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint32_t decodeBe32(const uint8_t *p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16)
           | (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

inline uint64_t decodeBe64(const uint8_t *p)
{
    return (static_cast<uint64_t>(decodeBe32(p)) << 32) | decodeBe32(p + 4);
}

inline void encodeLe16(uint8_t *p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void encodeLe32(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

inline void encodeBe32(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

inline void encodeBe64(uint8_t *p, uint64_t v)
{
    encodeBe32(p, static_cast<uint32_t>(v >> 32));
    encodeBe32(p + 4, static_cast<uint32_t>(v));
}

} // namespace welarik
