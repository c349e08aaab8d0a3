// Test helpers: writing uncompressed 24-bit BMP files with the 40-byte header.
#pragma once

#include "test_files.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

inline std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "rgb(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << ")";
}

// Pixel (x, y) counts y from the top of the picture.
inline std::vector<uint8_t> bmp24(int32_t w, int32_t h, const std::function<Rgb(int, int)>& pixel) {
    const uint32_t row_bytes = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
    std::vector<uint8_t> b(54 + static_cast<size_t>(row_bytes) * h, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> 8 * i);
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));
    put32(26, 1 | 24 << 16);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Rgb c = pixel(x, y);
            uint8_t* p = &b[54 + static_cast<size_t>(h - 1 - y) * row_bytes + x * 3];
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
    return b;
}

inline void write_solid_bmp(const std::string& path, int32_t w, int32_t h, Rgb colour) {
    write_file(path, bmp24(w, h, [=](int, int) { return colour; }));
}

// A pixel of top-down RGB rows.
inline Rgb pixel_at(const std::vector<uint8_t>& rgb, int width, int x, int y) {
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return {p[0], p[1], p[2]};
}
