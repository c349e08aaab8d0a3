// HEIC decoding through libheif (HEVC by libde265): one image item, its
// grid of tiles and transformations included, then reduced to the size the
// view needs, since libheif always decodes at full size.
#include "image/formats.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstdlib>
#include <exception>

namespace {

// libheif's own ceiling for an image's sides (its default), below PICTURE_MAX_SIDE.
constexpr int HEIF_MAX_SIDE = 32768;

template <typename T, auto release>
struct Owned {
    T* p = nullptr;
    Owned() = default;
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() {
        if (p) release(p);
    }
};
using Context = Owned<heif_context, heif_context_free>;
using Handle = Owned<heif_image_handle, heif_image_handle_release>;
using Image = Owned<heif_image, heif_image_release>;
using Options = Owned<heif_decoding_options, heif_decoding_options_free>;

const char* failure_of(const heif_error& error) {
    if (error.subcode == heif_suberror_Security_limit_exceeded) return PICTURE_TOO_LARGE;
    if (error.code == heif_error_Memory_allocation_error) return PICTURE_NO_MEMORY;
    if (error.code == heif_error_Unsupported_feature || error.code == heif_error_Unsupported_filetype)
        return PICTURE_UNSUPPORTED;
    return PICTURE_DAMAGED;
}

// How many times (0 to 3) the sides are halved: as often as the picture stays
// at least min_scale of its size, then more while a side exceeds max_side.
int halvings(int32_t width, int32_t height, double min_scale, int32_t max_side) {
    int n = 0;
    while (n < 3 && 1.0 / (2 << n) >= min_scale) ++n;
    auto side = [&](int32_t s) { return (s + (1 << n) - 1) >> n; };
    while (n < 3 && (side(width) > max_side || side(height) > max_side)) ++n;
    return n;
}

// Red-green-blue rows to blue-green-red pixels, each the average of a block
// of 2^shift x 2^shift (fewer at the right and bottom edges).
SimpleBitmap reduced_bgr(const uint8_t* rgb, size_t stride, int32_t width, int32_t height, int shift) {
    const int32_t block = 1 << shift;
    SimpleBitmap bitmap{};
    bitmap.width = (width + block - 1) >> shift;
    bitmap.height = (height + block - 1) >> shift;
    bitmap.bytes_per_pixel = 3;
    const size_t row = size_t(bitmap.width) * 3;
    bitmap.pixels = static_cast<uint8_t*>(std::malloc(row * size_t(bitmap.height)));
    auto* sums = static_cast<uint32_t*>(std::malloc(row * sizeof(uint32_t)));
    if (!bitmap.pixels || !sums) {
        std::free(sums);
        bitmap_free(&bitmap);
        return bitmap_failed(PICTURE_NO_MEMORY);
    }
    for (int32_t out_y = 0; out_y < bitmap.height; ++out_y) {
        std::fill_n(sums, row, 0u);
        const int32_t first = out_y << shift, rows = std::min(block, height - first);
        for (int32_t y = first; y < first + rows; ++y) {
            const uint8_t* in = rgb + size_t(y) * stride;
            for (int32_t x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c) sums[size_t(x >> shift) * 3 + 2 - c] += in[size_t(x) * 3 + c];
        }
        uint8_t* out = bitmap.pixels + size_t(out_y) * row;
        for (int32_t out_x = 0; out_x < bitmap.width; ++out_x) {
            const uint32_t count = uint32_t(std::min(block, width - (out_x << shift)) * rows);
            for (int c = 0; c < 3; ++c) {
                const size_t i = size_t(out_x) * 3 + c;
                out[i] = static_cast<uint8_t>((sums[i] + count / 2) / count);
            }
        }
    }
    std::free(sums);
    return bitmap;
}

SimpleBitmap decode(const uint8_t* data, size_t length, uint32_t item,
                    const std::function<double(int32_t, int32_t)>& min_scale, int32_t max_side) {
    Context context;
    context.p = heif_context_alloc();
    if (!context.p) return bitmap_failed(PICTURE_NO_MEMORY);
    heif_context_set_maximum_image_size_limit(context.p, HEIF_MAX_SIDE);
    // The tiles of a grid are decoded one after another on the calling thread.
    heif_context_set_max_decoding_threads(context.p, 0);
    heif_error error = heif_context_read_from_memory_without_copy(context.p, data, length, nullptr);
    if (error.code != heif_error_Ok) return bitmap_failed(failure_of(error));

    Handle handle;
    error = item ? heif_context_get_image_handle(context.p, item, &handle.p)
                 : heif_context_get_primary_image_handle(context.p, &handle.p);
    if (error.code != heif_error_Ok) return bitmap_failed(PICTURE_DAMAGED);
    // The size as shown, after any rotation and cropping.
    const int32_t width = heif_image_handle_get_width(handle.p), height = heif_image_handle_get_height(handle.p);
    if (width <= 0 || height <= 0) return bitmap_failed(PICTURE_DAMAGED);
    if (width > PICTURE_MAX_SIDE || height > PICTURE_MAX_SIDE || uint64_t(width) * uint64_t(height) > PICTURE_MAX_PIXELS)
        return bitmap_failed(PICTURE_TOO_LARGE);

    Options options;
    options.p = heif_decoding_options_alloc();
    if (!options.p) return bitmap_failed(PICTURE_NO_MEMORY);
    options.p->convert_hdr_to_8bit = 1;
    Image image;
    error = heif_decode_image(handle.p, &image.p, heif_colorspace_RGB, heif_chroma_interleaved_RGB, options.p);
    if (error.code != heif_error_Ok) return bitmap_failed(failure_of(error));
    int stride = 0;
    const uint8_t* rgb = heif_image_get_plane_readonly(image.p, heif_channel_interleaved, &stride);
    // A coded picture of another size than the item claims is not trusted.
    if (!rgb || stride < width * 3 || heif_image_get_width(image.p, heif_channel_interleaved) != width ||
        heif_image_get_height(image.p, heif_channel_interleaved) != height ||
        heif_image_get_bits_per_pixel(image.p, heif_channel_interleaved) != 24)
        return bitmap_failed(PICTURE_DAMAGED);
    const int shift = halvings(width, height, min_scale(width, height), max_side < 1 ? PICTURE_MAX_SIDE : max_side);
    return reduced_bgr(rgb, size_t(stride), width, height, shift);
}

}  // namespace

SimpleBitmap heif_decode(const uint8_t* data, size_t length, uint32_t item,
                         const std::function<double(int32_t, int32_t)>& min_scale, int32_t max_side) {
    if (!data) return bitmap_failed(PICTURE_UNREADABLE);
    // libheif is C++ underneath: what it throws (out of memory) must not leave here.
    try {
        return decode(data, length, item, min_scale, max_side);
    } catch (const std::exception&) {
        return bitmap_failed(PICTURE_NO_MEMORY);
    }
}
