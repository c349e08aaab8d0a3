// Test helpers: uncompressed 24-bit BMP files with the 40-byte header, and pixels of top-down RGB rows.
#pragma once

#include "test_files.h"

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
inline std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "rgb(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << ")";
}

// Pixel (x, y) counts y from the top of the picture; rows are stored bottom-up, padded to 4 bytes.
template <class Pixel> Bytes bmp24(int32_t w, int32_t h, const Pixel& pixel) {
    const uint32_t row = (w * 3u + 3) & ~3u, head[] = {54 + row * h, 0, 54, 40, uint32_t(w), uint32_t(h), 1 | 24 << 16};
    Bytes b = {'B', 'M'};
    for (int i = 0; i < 52; ++i) b.push_back(i < 28 ? static_cast<uint8_t>(head[i / 4] >> 8 * (i % 4)) : 0);
    b.resize(54 + size_t(row) * size_t(h));
    for (int y = 0; y < h; ++y) {
        uint8_t* out = &b[54 + size_t(h - 1 - y) * row];
        for (int x = 0; x < w; ++x, out += 3) {
            const Rgb c = pixel(x, y);
            out[0] = c.b, out[1] = c.g, out[2] = c.r;
        }
    }
    return b;
}

inline Rgb pixel_at(const Bytes& rgb, int width, int x, int y) {
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return {p[0], p[1], p[2]};
}
