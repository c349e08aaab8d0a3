// SimpleBitmap, BMP decoding, texture upload and mipmaps.
#pragma once

#include "gl.h"

#include <cstddef>
#include <cstdint>

struct SimpleBitmap {
    int32_t width;
    int32_t height;
    uint8_t bytes_per_pixel;   // 1 to 4; 0 in the empty record
    uint8_t* pixels;           // top-down rows, width * bytes_per_pixel bytes each, no padding
    uint8_t* palette;          // 256 entries of blue, green, red, reserved; 1 byte per pixel only
};

// Decodes the bytes of a whole BMP file; never reads past data + length.
// No data or an unsupported file gives the empty record.
SimpleBitmap bitmap_from_bmp(const uint8_t* data, size_t length);
void bitmap_free(SimpleBitmap* bitmap);

uint32_t pow2_ceil(uint32_t n);

GLuint texture_from_bitmap(SimpleBitmap bitmap, int32_t* texture_width, int32_t* texture_height);
void texture_build_mipmaps(GLenum target, int32_t channels, GLenum format, int32_t width, int32_t height,
                           uint8_t* buffer);
