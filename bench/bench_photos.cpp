#include "bench.h"
#include "../tests/photo_files.h"
#include "image/formats.h"
#include "image/picture.h"

// A 12-megapixel camera JPEG (4:2:0, quality 90), decoded at full size, for
// a 1920x1080 screen (where the final zoom still asks for full size), and at
// the DCT scalings a smaller view would choose.
BENCH(photo_jpeg_4000x3000) {
    std::vector<uint8_t> rgb = rgb_rows(4000, 3000, [](int x, int y) {
        return Rgb{static_cast<uint8_t>(x * 31 >> 4), static_cast<uint8_t>(y), static_cast<uint8_t>(x ^ y)};
    });
    tjhandle handle = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, rgb.data(), 4000, 0, 3000, TJPF_RGB, &out, &size, TJSAMP_420, 90, 0);
    const std::vector<uint8_t> file(out, out + size);
    tjFree(out);
    tjDestroy(handle);
    const double pixels = 4000.0 * 3000.0;
    for (double scale : {1.0, 0.5, 0.25, 0.125}) {
        char what[64];
        std::snprintf(what, sizeof(what), "jpeg decode 4000x3000 at 1/%d", static_cast<int>(1 / scale));
        bench_measure(what, pixels, "px", [&] {
            SimpleBitmap b = jpeg_decode(file.data(), file.size(), scale, 16384);
            bitmap_free(&b);
        });
    }
    bench_measure("jpeg picture 4000x3000 for 1920x1080", pixels, "px", [&] {
        EyePictures eyes = pictures_from_file(file.data(), file.size(), "photo.jpg", {1920, 1080, 16384}, false);
        bitmap_free(&eyes.left);
    });
}
