#include "bench.h"
#include "../tests/bmp_files.h"
#include "image.h"
#include "platform/headless.h"

#include <vector>

BENCH(image_24bit_4000x3000) {
    headless::make_gl_context(16, 16);
    std::vector<uint8_t> file = bmp24(4000, 3000, [](int x, int y) {
        return Rgb{static_cast<uint8_t>(x * 31 >> 4), static_cast<uint8_t>(y), static_cast<uint8_t>(x ^ y)};
    });
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
