// A decoded picture in memory, and BMP decoding.
#pragma once

#include <cstddef>
#include <cstdint>

struct SimpleBitmap {
    int32_t width;
    int32_t height;
    uint8_t bytes_per_pixel;   // 1 to 4; 0 in the empty record
    uint8_t* pixels;           // top-down rows, width * bytes_per_pixel bytes each, no padding
    uint8_t* palette;          // 256 entries of blue, green, red, reserved; 1 byte per pixel only
    uint8_t green_bits;        // 2 bytes per pixel: 6 for 5-6-5 pixels, otherwise (5 or 0) x-5-5-5
};

// Decodes the bytes of a whole BMP file; never reads past data + length.
// No data or an unsupported file gives the empty record.
SimpleBitmap bitmap_from_bmp(const uint8_t* data, size_t length);
void bitmap_free(SimpleBitmap* bitmap);

// Writing: the header of a 24-bit BMP whose bottom-up rows of blue, green,
// red are padded to 4 bytes (bmp_row_bytes each), as screenshots are saved.
constexpr size_t BMP_HEADER_SIZE = 54;
uint32_t bmp_row_bytes(int32_t width);
void bmp_write_header(int32_t width, int32_t height, uint8_t header[BMP_HEADER_SIZE]);
