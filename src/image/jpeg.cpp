// JPEG decoding through the TurboJPEG API of libjpeg-turbo, with its DCT
// scaling, and the walk over a JPEG's marker segments.
#include "image/formats.h"

#include <turbojpeg.h>

#include <cstdlib>
#include <cstring>

namespace {

// Even the most uniform baseline picture spends about a bit per 8x8 block:
// a header claiming far more pixels than that is a decompression bomb.
constexpr uint64_t MAX_PIXELS_PER_BYTE = 1024;

class Decompressor {
public:
    Decompressor() : handle_(tjInitDecompress()) {}
    ~Decompressor() {
        if (handle_) tjDestroy(handle_);
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    tjhandle get() const { return handle_; }

private:
    tjhandle handle_;
};

bool read_header(tjhandle handle, const uint8_t* data, size_t length, int* width, int* height,
                 int* colorspace) {
    int subsampling = 0;
    if (!handle || !data || length < 4 || length > 0xFFFFFFFFu) return false;
    if (tjDecompressHeader3(handle, data, static_cast<unsigned long>(length), width, height, &subsampling,
                            colorspace) != 0)
        return false;
    return *width > 0 && *height > 0 && *width <= PICTURE_MAX_SIDE && *height <= PICTURE_MAX_SIDE;
}

bool available(int denom) {
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    for (int i = 0; factors && i < count; ++i)
        if (factors[i].num == 1 && factors[i].denom == denom) return true;
    return false;
}

// The smallest of the sizes 1/8, 1/4, 1/2 and 1 that is still at least
// min_scale, then smaller while a side exceeds max_side.
tjscalingfactor choose_scale(int width, int height, double min_scale, int32_t max_side) {
    tjscalingfactor chosen{1, 1};
    for (int denom = 2; denom <= 8; denom *= 2)
        if (1.0 / denom >= min_scale && available(denom)) chosen.denom = denom;
    for (int denom = chosen.denom * 2; denom <= 8; denom *= 2) {
        if (TJSCALED(width, chosen) <= max_side && TJSCALED(height, chosen) <= max_side) break;
        if (available(denom)) chosen.denom = denom;
    }
    return chosen;
}

// Print workflows' inks (four bytes a pixel) turned into the light they leave,
// blue-green-red, in place. Inverted inks count 255 for none.
void inks_to_light(uint8_t* pixels, size_t count, bool inverted) {
    for (size_t i = 0; i < count; ++i) {
        unsigned light[4];
        for (int n = 0; n < 4; ++n) light[n] = inverted ? pixels[4 * i + n] : 255u - pixels[4 * i + n];
        for (int n = 0; n < 3; ++n) pixels[3 * i + 2 - n] = static_cast<uint8_t>((light[n] * light[3] + 127) / 255);
    }
}

}  // namespace

bool jpeg_size(const uint8_t* data, size_t length, int32_t* width, int32_t* height) {
    Decompressor decompressor;
    int w = 0, h = 0, colorspace = 0;
    if (!read_header(decompressor.get(), data, length, &w, &h, &colorspace)) return false;
    *width = w;
    *height = h;
    return true;
}

SimpleBitmap jpeg_decode(const uint8_t* data, size_t length, double min_scale, int32_t max_side) {
    const SimpleBitmap empty{};
    Decompressor decompressor;
    int width = 0, height = 0, colorspace = 0;
    if (!data) return bitmap_failed(PICTURE_UNREADABLE);
    if (!read_header(decompressor.get(), data, length, &width, &height, &colorspace))
        return bitmap_failed(PICTURE_DAMAGED);
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    if (pixels > PICTURE_MAX_PIXELS) return bitmap_failed(PICTURE_TOO_LARGE);
    if (pixels > MAX_PIXELS_PER_BYTE * length) return bitmap_failed(PICTURE_DAMAGED);

    const tjscalingfactor scale = choose_scale(width, height, min_scale, max_side < 1 ? PICTURE_MAX_SIDE : max_side);
    SimpleBitmap bitmap = empty;
    bitmap.width = TJSCALED(width, scale);
    bitmap.height = TJSCALED(height, scale);
    bitmap.bytes_per_pixel = 3;
    // Inks come out four bytes a pixel and are turned into three in place.
    const bool inks = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
    const size_t row = size_t(bitmap.width) * (inks ? 4 : 3);
    bitmap.pixels = static_cast<uint8_t*>(std::malloc(row * size_t(bitmap.height)));
    if (!bitmap.pixels) return bitmap_failed(PICTURE_NO_MEMORY);
    if (tjDecompress2(decompressor.get(), data, static_cast<unsigned long>(length), bitmap.pixels, bitmap.width,
                      static_cast<int>(row), bitmap.height, inks ? TJPF_CMYK : TJPF_BGR, 0) != 0) {
        if (tjGetErrorCode(decompressor.get()) != TJERR_WARNING) {
            bitmap_free(&bitmap);
            return bitmap_failed(PICTURE_DAMAGED);
        }
        // Of the warnings only a cut file is worth a word: stray bytes
        // between segments are common in photos that look right.
        if (std::strstr(tjGetErrorStr2(decompressor.get()), "Premature end")) bitmap.failure = PICTURE_CUT_SHORT;
    }
    if (inks) {
        // An Adobe segment marks inks stored inverted, as Photoshop writes them.
        const bool inverted = jpeg_app_segment(data, length, 14, "Adobe", 5).data != nullptr;
        const size_t count = size_t(bitmap.width) * size_t(bitmap.height);
        inks_to_light(bitmap.pixels, count, inverted);
        if (auto* smaller = static_cast<uint8_t*>(std::realloc(bitmap.pixels, count * 3))) bitmap.pixels = smaller;
    }
    return bitmap;
}

ByteSpan jpeg_app_segment(const uint8_t* data, size_t length, int n, const char* signature, size_t signature_size) {
    const ByteSpan none{nullptr, 0};
    if (!data || length < 4 || data[0] != 0xFF || data[1] != 0xD8) return none;
    size_t at = 2;
    while (at + 4 <= length) {
        if (data[at] != 0xFF) return none;
        const uint8_t marker = data[at + 1];
        // Fill bytes before a marker.
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        // Start of scan, end of image: no more metadata segments.
        if (marker == 0xDA || marker == 0xD9) return none;
        // Markers that stand alone.
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        const size_t segment = size_t(data[at + 2]) << 8 | data[at + 3];
        if (segment < 2 || at + 2 + segment > length) return none;
        const uint8_t* payload = data + at + 4;
        const size_t payload_size = segment - 2;
        if (marker == 0xE0 + n && payload_size >= signature_size && std::memcmp(payload, signature, signature_size) == 0)
            return {payload, payload_size};
        at += 2 + segment;
    }
    return none;
}
