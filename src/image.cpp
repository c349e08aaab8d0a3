#include "image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr uint64_t FILE_HEADER_BYTES = 14;
constexpr uint64_t PLAIN_HEADER_END = 54;
constexpr uint32_t COMPRESSION_NONE = 0;
constexpr uint32_t COMPRESSION_RLE8 = 1;
constexpr uint32_t COMPRESSION_BITFIELDS = 3;
// A few bytes of RLE8 can describe any area; larger pictures than this are refused.
constexpr uint64_t RLE8_MAX_PIXELS = uint64_t(1) << 26;

int32_t max_texture_size_for_tests = 0;

uint16_t read_u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t read_u32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// The 40-byte header and its successors (V2, V3, V4, V5) share the first 40 bytes.
bool known_info_header(uint32_t size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

struct Masks {
    uint32_t red, green, blue, alpha;
};

// Fills green_bits, or says the masks are not a layout this decoder stores.
bool accept_bitfields(const Masks& m, int bytes_per_pixel, uint8_t* green_bits) {
    if (bytes_per_pixel == 2) {
        if (m.red == 0xF800 && m.green == 0x07E0 && m.blue == 0x001F) *green_bits = 6;
        else if (m.red == 0x7C00 && m.green == 0x03E0 && m.blue == 0x001F) *green_bits = 5;
        else return false;
        return true;
    }
    return bytes_per_pixel == 4 && m.red == 0x00FF0000 && m.green == 0x0000FF00 && m.blue == 0x000000FF &&
           (m.alpha == 0 || m.alpha == 0xFF000000);
}

uint8_t* record_row(const SimpleBitmap& b, int64_t stored_row, bool top_down) {
    int64_t row = top_down ? stored_row : b.height - 1 - stored_row;
    return b.pixels + static_cast<size_t>(row) * static_cast<size_t>(b.width);
}

// Runs never wrap into the next row and whatever falls outside the picture is
// dropped; data that ends without an end-of-bitmap leaves the rest at index 0.
void decode_rle8(const uint8_t* p, const uint8_t* end, const SimpleBitmap& b, bool top_down) {
    int64_t x = 0, y = 0;
    auto put = [&](const uint8_t* src, int64_t count, bool repeat) {
        int64_t n = std::min<int64_t>(count, b.width - x);
        if (n > 0 && y < b.height) {
            uint8_t* dst = record_row(b, y, top_down) + x;
            if (repeat) std::memset(dst, *src, static_cast<size_t>(n));
            else std::memcpy(dst, src, static_cast<size_t>(n));
        }
        x += count;
    };
    while (end - p >= 2 && y < b.height) {
        uint8_t count = p[0], value = p[1];
        p += 2;
        if (count > 0) {
            put(&value, count, true);
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (end - p < 2) return;
            x += p[0];
            y += p[1];
            p += 2;
        } else {
            int64_t available = std::min<int64_t>(value, end - p);
            put(p, available, false);
            if (available < value) return;
            // Absolute runs are padded to a whole 16-bit word.
            p += std::min<int64_t>(value + (value & 1), end - p);
        }
    }
}

}  // namespace

SimpleBitmap bitmap_from_bmp(const uint8_t* data, size_t length) {
    const SimpleBitmap empty{};
    if (!data || length < PLAIN_HEADER_END) return empty;
    uint32_t header_size = read_u32(data + 14);
    if (!known_info_header(header_size) || length < FILE_HEADER_BYTES + header_size) return empty;

    int32_t width = static_cast<int32_t>(read_u32(data + 18));
    int32_t height = static_cast<int32_t>(read_u32(data + 22));
    int bytes_per_pixel = read_u16(data + 28) / 8;
    uint32_t compression = read_u32(data + 30);
    if (bytes_per_pixel < 1 || bytes_per_pixel > 4) return empty;
    bool top_down = height < 0;
    if (top_down) {
        if (height == std::numeric_limits<int32_t>::min()) return empty;
        height = -height;
    }
    if (width <= 0 || height <= 0) return empty;

    uint8_t green_bits = bytes_per_pixel == 2 ? 5 : 0;
    bool opaque = false;
    if (compression == COMPRESSION_RLE8) {
        if (bytes_per_pixel != 1) return empty;
    } else if (compression == COMPRESSION_BITFIELDS) {
        // The masks follow a 40-byte header and are the next fields of the longer ones. Some
        // writers leave them out of a 40-byte file, whose rows then start at 54: the defaults apply.
        Masks masks{0x7C00, 0x03E0, 0x001F, 0};
        if (bytes_per_pixel == 4) masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
        if (header_size > 40 || read_u32(data + 10) >= PLAIN_HEADER_END + 12) {
            if (length < PLAIN_HEADER_END + 12) return empty;
            masks = {read_u32(data + 54), read_u32(data + 58), read_u32(data + 62), 0};
            if (header_size >= 56) masks.alpha = read_u32(data + 66);
        }
        if (!accept_bitfields(masks, bytes_per_pixel, &green_bits)) return empty;
        opaque = bytes_per_pixel == 4 && masks.alpha == 0;
    } else if (compression != COMPRESSION_NONE) {
        return empty;
    }

    // The plain header with uncompressed rows ignores the stored pixel offset.
    bool plain = header_size == 40 && compression == COMPRESSION_NONE;
    uint64_t pixel_offset = plain ? PLAIN_HEADER_END : read_u32(data + 10);
    uint64_t palette_start = FILE_HEADER_BYTES + header_size;
    uint64_t palette_entries = 0;
    if (bytes_per_pixel == 1) {
        palette_entries = read_u32(data + 46);
        if (palette_entries < 1 || palette_entries > 256) palette_entries = 256;
        if (plain) pixel_offset = palette_start + 4 * palette_entries;
        else if (pixel_offset > palette_start)
            palette_entries = std::min(palette_entries, (pixel_offset - palette_start) / 4);
        if (palette_start + 4 * palette_entries > length) return empty;
    }

    uint64_t row_bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(bytes_per_pixel);
    uint64_t pixel_bytes = row_bytes * static_cast<uint64_t>(height);
    if (compression == COMPRESSION_RLE8) {
        if (pixel_bytes > RLE8_MAX_PIXELS || pixel_offset > length) return empty;
    } else {
        uint64_t stride = (row_bytes + 3) & ~uint64_t(3);
        // The last row may lack its fill bytes.
        if (pixel_bytes > length || pixel_offset > length ||
            stride * static_cast<uint64_t>(height - 1) + row_bytes > length - pixel_offset)
            return empty;
    }

    SimpleBitmap bitmap = empty;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.bytes_per_pixel = static_cast<uint8_t>(bytes_per_pixel);
    bitmap.green_bits = green_bits;
    bitmap.pixels = static_cast<uint8_t*>(compression == COMPRESSION_RLE8 ? std::calloc(pixel_bytes, 1)
                                                                          : std::malloc(pixel_bytes));
    if (bytes_per_pixel == 1) bitmap.palette = static_cast<uint8_t*>(std::calloc(256, 4));
    if (!bitmap.pixels || (bytes_per_pixel == 1 && !bitmap.palette)) {
        bitmap_free(&bitmap);
        return empty;
    }
    if (palette_entries > 0) std::memcpy(bitmap.palette, data + palette_start, 4 * palette_entries);

    if (compression == COMPRESSION_RLE8) {
        decode_rle8(data + pixel_offset, data + length, bitmap, top_down);
        return bitmap;
    }
    uint64_t stride = (row_bytes + 3) & ~uint64_t(3);
    for (int64_t y = 0; y < height; ++y) {
        uint8_t* dst = bitmap.pixels + static_cast<size_t>(top_down ? y : height - 1 - y) * row_bytes;
        std::memcpy(dst, data + pixel_offset + y * stride, row_bytes);
    }
    // Without an alpha mask the fourth byte is filler: the picture is opaque.
    if (opaque)
        for (uint64_t i = 3; i < pixel_bytes; i += 4) bitmap.pixels[i] = 0xFF;
    return bitmap;
}

void bitmap_free(SimpleBitmap* bitmap) {
    if (!bitmap) return;
    std::free(bitmap->pixels);
    std::free(bitmap->palette);
    *bitmap = SimpleBitmap{};
}

uint32_t pow2_ceil(uint32_t n) {
    --n;
    n |= n >> 1;
    n |= n >> 2;
    n |= n >> 4;
    n |= n >> 8;
    n |= n >> 16;
    return n + 1;
}

void image_set_max_texture_size_for_tests(int32_t size) { max_texture_size_for_tests = size; }

int32_t image_max_texture_size() {
    GLint limit = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
    if (limit < 1) limit = 1 << 30;
    if (max_texture_size_for_tests > 0) limit = std::min(limit, max_texture_size_for_tests);
    return limit;
}

namespace {

size_t padded_row(size_t bytes) { return (bytes + 3) & ~size_t(3); }

// Uploads read rows padded to 4 bytes whatever the caller left set.
class UnpackAlignment4 {
public:
    UnpackAlignment4() {
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &saved_);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    }
    ~UnpackAlignment4() { glPixelStorei(GL_UNPACK_ALIGNMENT, saved_); }
    UnpackAlignment4(const UnpackAlignment4&) = delete;
    UnpackAlignment4& operator=(const UnpackAlignment4&) = delete;

private:
    GLint saved_ = 4;
};

uint8_t expand5(uint32_t v) { return static_cast<uint8_t>(v << 3 | v >> 2); }
uint8_t expand6(uint32_t v) { return static_cast<uint8_t>(v << 2 | v >> 4); }

// One record row to RGB (RGBA for 4 bytes per pixel): palette indices through
// the palette, 16-bit values expanded, blue-green-red reordered.
void convert_row(const SimpleBitmap& b, const uint8_t* src, uint8_t* dst) {
    static const uint8_t no_palette[4 * 256] = {};
    const uint8_t* palette = b.palette ? b.palette : no_palette;
    int32_t n = b.width;
    switch (b.bytes_per_pixel) {
    case 1:
        for (int32_t x = 0; x < n; ++x, dst += 3) {
            const uint8_t* entry = palette + 4 * src[x];
            dst[0] = entry[2], dst[1] = entry[1], dst[2] = entry[0];
        }
        break;
    case 2:
        for (int32_t x = 0; x < n; ++x, dst += 3) {
            uint32_t v = read_u16(src + 2 * x);
            if (b.green_bits == 6) dst[0] = expand5(v >> 11), dst[1] = expand6(v >> 5 & 63);
            else dst[0] = expand5(v >> 10 & 31), dst[1] = expand5(v >> 5 & 31);
            dst[2] = expand5(v & 31);
        }
        break;
    case 3:
        for (int32_t x = 0; x < n; ++x, src += 3, dst += 3) dst[0] = src[2], dst[1] = src[1], dst[2] = src[0];
        break;
    default:
        for (int32_t x = 0; x < n; ++x, src += 4, dst += 4)
            dst[0] = src[2], dst[1] = src[1], dst[2] = src[0], dst[3] = src[3];
        break;
    }
}

// Halves a tightly packed image in place along the chosen sides with a 2x2 box;
// an odd side keeps its last column or row, averaged with itself.
void halve_in_place(uint8_t* buffer, size_t channels, int32_t* width, int32_t* height, bool halve_x, bool halve_y) {
    int32_t w = *width, h = *height;
    int32_t nw = halve_x ? (w + 1) / 2 : w, nh = halve_y ? (h + 1) / 2 : h;
    size_t row = static_cast<size_t>(w) * channels;
    for (int32_t y = 0; y < nh; ++y) {
        int32_t y0 = halve_y ? 2 * y : y, y1 = halve_y ? std::min(2 * y + 1, h - 1) : y;
        const uint8_t* r0 = buffer + static_cast<size_t>(y0) * row;
        const uint8_t* r1 = buffer + static_cast<size_t>(y1) * row;
        uint8_t* dst = buffer + static_cast<size_t>(y) * static_cast<size_t>(nw) * channels;
        for (int32_t x = 0; x < nw; ++x) {
            size_t x0 = static_cast<size_t>(halve_x ? 2 * x : x) * channels;
            size_t x1 = static_cast<size_t>(halve_x ? std::min(2 * x + 1, w - 1) : x) * channels;
            for (size_t k = 0; k < channels; ++k)
                dst[x * channels + k] =
                    static_cast<uint8_t>((r0[x0 + k] + r0[x1 + k] + r1[x0 + k] + r1[x1 + k] + 2) >> 2);
        }
    }
    *width = nw;
    *height = nh;
}

// Fills the lower-left corner of the staging buffer with the picture, bottom
// row first, reduced by 2^shift_x across and 2^shift_y down.
bool stage_image(const SimpleBitmap& b, size_t channels, int shift_x, int shift_y, uint8_t* staging, size_t stride) {
    bool reduce = shift_x > 0 || shift_y > 0;
    size_t full_row = static_cast<size_t>(b.width) * channels;
    uint8_t* target = reduce ? static_cast<uint8_t*>(std::malloc(full_row * static_cast<size_t>(b.height))) : staging;
    if (!target) return false;
    size_t target_stride = reduce ? full_row : stride;
    size_t row = static_cast<size_t>(b.width) * b.bytes_per_pixel;
    for (int32_t r = 0; r < b.height; ++r) {
        size_t bottom_up = static_cast<size_t>(b.height - 1 - r);
        convert_row(b, b.pixels + static_cast<size_t>(r) * row, target + bottom_up * target_stride);
    }
    if (!reduce) return true;

    int32_t w = b.width, h = b.height;
    for (int i = 0; i < std::max(shift_x, shift_y); ++i)
        halve_in_place(target, channels, &w, &h, i < shift_x, i < shift_y);
    size_t reduced_row = static_cast<size_t>(w) * channels;
    for (size_t y = 0; y < static_cast<size_t>(h); ++y)
        std::memcpy(staging + y * stride, target + y * reduced_row, reduced_row);
    std::free(target);
    return true;
}

// Stands in for a picture that has no pixels: blue 128 in file order, which
// only the 3- and 4-byte formats carry into the texel.
void upload_placeholder(int bytes_per_pixel) {
    if (bytes_per_pixel < 1 || bytes_per_pixel > 4) return;
    uint8_t texel[4] = {0, 0, 0, 0};
    if (bytes_per_pixel >= 3) texel[2] = 128;
    GLint channels = bytes_per_pixel == 4 ? 4 : 3;
    glTexImage2D(GL_TEXTURE_2D, 0, channels, 1, 1, 0, channels == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, texel);
}

int32_t clamp_to_int32(uint64_t v) {
    return static_cast<int32_t>(std::min<uint64_t>(v, std::numeric_limits<int32_t>::max()));
}

}  // namespace

GLuint texture_from_bitmap(SimpleBitmap bitmap, int32_t* texture_width, int32_t* texture_height) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    UnpackAlignment4 alignment;

    auto report = [&](int32_t w, int32_t h) {
        if (texture_width) *texture_width = w;
        if (texture_height) *texture_height = h;
    };
    int bytes_per_pixel = bitmap.bytes_per_pixel;
    if (bitmap.width <= 0 || bitmap.height <= 0 || !bitmap.pixels || bytes_per_pixel < 1 || bytes_per_pixel > 4) {
        report(1, 1);
        upload_placeholder(bytes_per_pixel);
        return name;
    }

    // Oversized pictures lose resolution, never their texture.
    int32_t limit = image_max_texture_size();
    int shift_x = 0, shift_y = 0;
    while (pow2_ceil(static_cast<uint32_t>(bitmap.width - 1) / (1u << shift_x) + 1) > static_cast<uint32_t>(limit))
        ++shift_x;
    while (pow2_ceil(static_cast<uint32_t>(bitmap.height - 1) / (1u << shift_y) + 1) > static_cast<uint32_t>(limit))
        ++shift_y;
    uint32_t reduced_w = static_cast<uint32_t>(bitmap.width - 1) / (1u << shift_x) + 1;
    uint32_t reduced_h = static_cast<uint32_t>(bitmap.height - 1) / (1u << shift_y) + 1;
    int32_t tw = static_cast<int32_t>(pow2_ceil(reduced_w)), th = static_cast<int32_t>(pow2_ceil(reduced_h));
    report(clamp_to_int32(static_cast<uint64_t>(tw) << shift_x), clamp_to_int32(static_cast<uint64_t>(th) << shift_y));

    GLint channels = bytes_per_pixel == 4 ? 4 : 3;
    GLenum format = channels == 4 ? GL_RGBA : GL_RGB;
    size_t stride = padded_row(static_cast<size_t>(tw) * static_cast<size_t>(channels));
    auto* staging = static_cast<uint8_t*>(std::calloc(stride * static_cast<size_t>(th), 1));
    if (!staging || !stage_image(bitmap, static_cast<size_t>(channels), shift_x, shift_y, staging, stride)) {
        std::free(staging);
        upload_placeholder(bytes_per_pixel);
        return name;
    }
    glTexImage2D(GL_TEXTURE_2D, 0, channels, tw, th, 0, format, GL_UNSIGNED_BYTE, staging);
    texture_build_mipmaps(GL_TEXTURE_2D, channels, format, tw, th, staging);
    std::free(staging);
    return name;
}

void texture_build_mipmaps(GLenum target, int32_t channels, GLenum format, int32_t width, int32_t height,
                           uint8_t* buffer) {
    if (!buffer || channels < 1 || width < 1 || height < 1) return;
    UnpackAlignment4 alignment;
    size_t c = static_cast<size_t>(channels);
    for (GLint level = 1; width > 1 || height > 1; ++level) {
        int32_t nw = width > 1 ? width / 2 : 1, nh = height > 1 ? height / 2 : 1;
        size_t src_stride = padded_row(static_cast<size_t>(width) * c);
        size_t dst_stride = padded_row(static_cast<size_t>(nw) * c);
        // A side of one texel samples its only texel twice.
        size_t step_x = width > 1 ? c : 0, step_y = height > 1 ? src_stride : 0;
        for (int32_t y = 0; y < nh; ++y) {
            const uint8_t* src = buffer + static_cast<size_t>(y) * 2 * src_stride;
            uint8_t* dst = buffer + static_cast<size_t>(y) * dst_stride;
            for (int32_t x = 0; x < nw; ++x, src += 2 * c, dst += c)
                for (size_t k = 0; k < c; ++k)
                    dst[k] = static_cast<uint8_t>(
                        (src[k] + src[k + step_x] + src[k + step_y] + src[k + step_x + step_y] + 2) >> 2);
        }
        width = nw;
        height = nh;
        glTexImage2D(target, level, channels, width, height, 0, format, GL_UNSIGNED_BYTE, buffer);
    }
}
