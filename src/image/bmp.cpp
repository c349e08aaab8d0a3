// BMP decoding: the bytes of a whole file into a SimpleBitmap.
#include "image/formats.h"

#include "base/bits.h"

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
    if (!data) return bitmap_failed(PICTURE_UNREADABLE);
    if (length < PLAIN_HEADER_END) return bitmap_failed(PICTURE_DAMAGED);
    uint32_t header_size = read_u32(data + 14);
    if (!known_info_header(header_size)) return bitmap_failed(PICTURE_UNSUPPORTED);
    if (length < FILE_HEADER_BYTES + header_size) return bitmap_failed(PICTURE_DAMAGED);

    int32_t width = static_cast<int32_t>(read_u32(data + 18));
    int32_t height = static_cast<int32_t>(read_u32(data + 22));
    int bytes_per_pixel = read_u16(data + 28) / 8;
    uint32_t compression = read_u32(data + 30);
    if (bytes_per_pixel < 1 || bytes_per_pixel > 4) return bitmap_failed(PICTURE_UNSUPPORTED);
    bool top_down = height < 0;
    if (top_down) {
        if (height == std::numeric_limits<int32_t>::min()) return bitmap_failed(PICTURE_DAMAGED);
        height = -height;
    }
    if (width <= 0 || height <= 0) return bitmap_failed(PICTURE_DAMAGED);

    uint8_t green_bits = bytes_per_pixel == 2 ? 5 : 0;
    bool opaque = false;
    if (compression == COMPRESSION_RLE8) {
        if (bytes_per_pixel != 1) return bitmap_failed(PICTURE_UNSUPPORTED);
    } else if (compression == COMPRESSION_BITFIELDS) {
        // The masks follow a 40-byte header and are the next fields of the longer ones. Some
        // writers leave them out of a 40-byte file, whose rows then start at 54: the defaults apply.
        Masks masks{0x7C00, 0x03E0, 0x001F, 0};
        if (bytes_per_pixel == 4) masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
        if (header_size > 40 || read_u32(data + 10) >= PLAIN_HEADER_END + 12) {
            if (length < PLAIN_HEADER_END + 12) return bitmap_failed(PICTURE_DAMAGED);
            masks = {read_u32(data + 54), read_u32(data + 58), read_u32(data + 62), 0};
            if (header_size >= 56) masks.alpha = read_u32(data + 66);
        }
        if (!accept_bitfields(masks, bytes_per_pixel, &green_bits)) return bitmap_failed(PICTURE_UNSUPPORTED);
        opaque = bytes_per_pixel == 4 && masks.alpha == 0;
    } else if (compression != COMPRESSION_NONE) {
        return bitmap_failed(PICTURE_UNSUPPORTED);
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
        if (palette_start + 4 * palette_entries > length) return bitmap_failed(PICTURE_DAMAGED);
    }

    uint64_t row_bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(bytes_per_pixel);
    uint64_t pixel_bytes = row_bytes * static_cast<uint64_t>(height);
    if (compression == COMPRESSION_RLE8) {
        if (pixel_bytes > RLE8_MAX_PIXELS) return bitmap_failed(PICTURE_TOO_LARGE);
        if (pixel_offset > length) return bitmap_failed(PICTURE_DAMAGED);
    } else {
        uint64_t stride = (row_bytes + 3) & ~uint64_t(3);
        // The last row may lack its fill bytes.
        if (pixel_bytes > length || pixel_offset > length ||
            stride * static_cast<uint64_t>(height - 1) + row_bytes > length - pixel_offset)
            return bitmap_failed(PICTURE_DAMAGED);
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
        return bitmap_failed(PICTURE_NO_MEMORY);
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

uint32_t bmp_row_bytes(int32_t width) { return (static_cast<uint32_t>(width) * 3 + 3) & ~3u; }

void bmp_write_header(int32_t width, int32_t height, uint8_t header[BMP_HEADER_SIZE]) {
    const uint32_t image_size = bmp_row_bytes(width) * static_cast<uint32_t>(height);
    std::memset(header, 0, BMP_HEADER_SIZE);
    header[0] = 0x42;
    header[1] = 0x4D;
    put_le32(header + 2, BMP_HEADER_SIZE + image_size);
    put_le32(header + 10, BMP_HEADER_SIZE);
    put_le32(header + 14, 40);
    put_le32(header + 18, static_cast<uint32_t>(width));
    put_le32(header + 22, static_cast<uint32_t>(height));
    put_le16(header + 26, 1);
    put_le16(header + 28, 24);
    put_le32(header + 34, image_size);
    put_le32(header + 38, 2834);
    put_le32(header + 42, 2834);
}
