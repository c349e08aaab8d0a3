#include "bench.h"
#include "image.h"
#include "platform/headless.h"

#include <vector>

namespace {

std::vector<uint8_t> bmp_24(int32_t width, int32_t height) {
    size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
    std::vector<uint8_t> file(54 + stride * height);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> 8 * i);
    };
    file[0] = 'B', file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    put32(26, 1 | 24 << 16);
    for (size_t i = 54; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i * 31 >> 4);
    return file;
}

}  // namespace

BENCH(image_24bit_4000x3000) {
    headless::make_gl_context(16, 16);
    std::vector<uint8_t> file = bmp_24(4000, 3000);
    double bytes = static_cast<double>(file.size());
    bench_measure("bmp decode 24-bit 4000x3000", bytes, "B", [&] {
        SimpleBitmap b = bitmap_from_bmp(file.data(), file.size());
        bitmap_free(&b);
    });
    SimpleBitmap bitmap = bitmap_from_bmp(file.data(), file.size());
    bench_measure("texture upload 24-bit 4000x3000", bytes, "B", [&] {
        GLuint name = texture_from_bitmap(bitmap, nullptr, nullptr);
        glDeleteTextures(1, &name);
    });
    bitmap_free(&bitmap);
    bench_measure("bmp decode + upload 24-bit 4000x3000", bytes, "B", [&] {
        SimpleBitmap b = bitmap_from_bmp(file.data(), file.size());
        GLuint name = texture_from_bitmap(b, nullptr, nullptr);
        glDeleteTextures(1, &name);
        bitmap_free(&b);
    });
}
