// Arbitrary bytes as a BMP file: decode, stage the texture as an upload would (every level, or without the
// finest), free. No GL: thousands of inputs a second.
#include "image/formats.h"
#include "render/texture.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SimpleBitmap bitmap = bitmap_from_bmp(data, size);
    // Large pictures would only slow the search; odd lengths also take the oversize path.
    if (static_cast<int64_t>(bitmap.width) * bitmap.height <= 1 << 16) {
        const TextureLevels levels = texture_stage(bitmap, size % 2 ? 8 : 1 << 14, static_cast<int>(size % 3));
        // Every level lies within the texels.
        if (!levels.level_offset.empty() && levels.level_offset.back() >= levels.texels.size()) __builtin_trap();
    }
    bitmap_free(&bitmap);
    return 0;
}
