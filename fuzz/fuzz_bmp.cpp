// Arbitrary bytes as a BMP file: decode, upload what comes out, free.
#include "image.h"
#include "platform/headless.h"

#include <cstddef>
#include <cstdint>

// Mesa keeps a few blocks of the offscreen context until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libOSMesa\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool context = (headless::make_gl_context(4, 4), true);
    (void)context;
    SimpleBitmap bitmap = bitmap_from_bmp(data, size);
    // Large pictures would only slow the search; odd lengths also take the oversize path.
    if (static_cast<int64_t>(bitmap.width) * bitmap.height <= 1 << 16) {
        image_set_max_texture_size_for_tests(size % 2 ? 8 : 0);
        int32_t width = 0, height = 0;
        GLuint name = texture_from_bitmap(bitmap, &width, &height);
        glDeleteTextures(1, &name);
    }
    bitmap_free(&bitmap);
    return 0;
}
