// PNG decoding through libspng, reordered to the blue-green-red byte order of
// the BMP records.
#include "image/formats.h"

#include <spng.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Deflate expands at most about 1032 times: a header claiming more raw rows
// than the file could hold is a decompression bomb.
constexpr uint64_t MAX_INFLATE_RATIO = 1040;
constexpr size_t MAX_CHUNK_BYTES = size_t(64) << 20;

class Decoder {
public:
    Decoder() : ctx_(spng_ctx_new(0)) {}
    ~Decoder() {
        if (ctx_) spng_ctx_free(ctx_);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
    spng_ctx* get() const { return ctx_; }

private:
    spng_ctx* ctx_;
};

int channels_of(uint8_t colour_type) {
    switch (colour_type) {
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA: return 2;
    case SPNG_COLOR_TYPE_TRUECOLOR: return 3;
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA: return 4;
    default: return 1;
    }
}

}  // namespace

SimpleBitmap png_decode(const uint8_t* data, size_t length, int* orientation) {
    const SimpleBitmap empty{};
    *orientation = 1;
    Decoder decoder;
    spng_ctx* ctx = decoder.get();
    if (!data || length == 0) return bitmap_failed(PICTURE_UNREADABLE);
    if (!ctx) return bitmap_failed(PICTURE_NO_MEMORY);
    spng_set_image_limits(ctx, PICTURE_MAX_SIDE, PICTURE_MAX_SIDE);
    spng_set_chunk_limits(ctx, MAX_CHUNK_BYTES, MAX_CHUNK_BYTES);
    if (spng_set_png_buffer(ctx, data, length) != 0) return bitmap_failed(PICTURE_DAMAGED);

    spng_ihdr ihdr{};
    const int header = spng_get_ihdr(ctx, &ihdr);
    if (header == SPNG_EUSER_WIDTH || header == SPNG_EUSER_HEIGHT) return bitmap_failed(PICTURE_TOO_LARGE);
    if (header != 0 || ihdr.width == 0 || ihdr.height == 0) return bitmap_failed(PICTURE_DAMAGED);
    const uint64_t pixels = uint64_t(ihdr.width) * ihdr.height;
    const uint64_t raw_row = (uint64_t(ihdr.width) * channels_of(ihdr.color_type) * ihdr.bit_depth + 7) / 8 + 1;
    if (pixels > PICTURE_MAX_PIXELS) return bitmap_failed(PICTURE_TOO_LARGE);
    if (raw_row * ihdr.height > MAX_INFLATE_RATIO * length) return bitmap_failed(PICTURE_DAMAGED);

    spng_trns trns{};
    const bool alpha = ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                       ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA || spng_get_trns(ctx, &trns) == 0;
    const int format = alpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8;
    size_t size = 0;
    if (spng_decoded_image_size(ctx, format, &size) != 0) return bitmap_failed(PICTURE_UNSUPPORTED);

    SimpleBitmap bitmap = empty;
    bitmap.width = static_cast<int32_t>(ihdr.width);
    bitmap.height = static_cast<int32_t>(ihdr.height);
    bitmap.bytes_per_pixel = alpha ? 4 : 3;
    if (size != pixels * bitmap.bytes_per_pixel) return bitmap_failed(PICTURE_UNSUPPORTED);
    bitmap.pixels = static_cast<uint8_t*>(std::malloc(size));
    if (!bitmap.pixels) return bitmap_failed(PICTURE_NO_MEMORY);
    if (spng_decode_image(ctx, bitmap.pixels, size, format, alpha ? SPNG_DECODE_TRNS : 0) != 0) {
        bitmap_free(&bitmap);
        return bitmap_failed(PICTURE_DAMAGED);
    }
    for (size_t i = 0; i < size; i += bitmap.bytes_per_pixel) std::swap(bitmap.pixels[i], bitmap.pixels[i + 2]);
    // Asked after the pixels, so that an eXIf chunk after them counts too.
    spng_exif exif{};
    if (spng_get_exif(ctx, &exif) == 0)
        *orientation = exif_tiff_facts(reinterpret_cast<const uint8_t*>(exif.data), exif.length).orientation;
    return bitmap;
}
