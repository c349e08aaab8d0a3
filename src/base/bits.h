// Small arithmetic on sizes and bytes, shared by the decoders and the textures.
#pragma once

#include <cstdint>

// The smallest power of two not below n; 0 for 0 and for n above 2^31.
inline uint32_t pow2_ceil(uint32_t n) {
    --n;
    n |= n >> 1;
    n |= n >> 2;
    n |= n >> 4;
    n |= n >> 8;
    n |= n >> 16;
    return n + 1;
}
// The largest power of two not above n (0 for 0).
inline uint32_t pow2_floor(uint32_t n) {
    const uint32_t up = pow2_ceil(n);
    return up > n ? up / 2 : up;
}
// Little-endian fields.
inline uint16_t read_u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t read_u32(const uint8_t* p) { return read_u16(p) | static_cast<uint32_t>(read_u16(p + 2)) << 16; }
inline void put_le16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void put_le32(uint8_t* p, uint32_t v) {
    put_le16(p, v);
    put_le16(p + 2, v >> 16);
}
