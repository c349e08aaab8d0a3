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
    uint8_t green_bits;        // 2 bytes per pixel: 6 for 5-6-5 pixels, otherwise (5 or 0) x-5-5-5
};

// Decodes the bytes of a whole BMP file; never reads past data + length.
// No data or an unsupported file gives the empty record.
SimpleBitmap bitmap_from_bmp(const uint8_t* data, size_t length);
void bitmap_free(SimpleBitmap* bitmap);

uint32_t pow2_ceil(uint32_t n);

GLuint texture_from_bitmap(SimpleBitmap bitmap, int32_t* texture_width, int32_t* texture_height);
void texture_build_mipmaps(GLenum target, int32_t channels, GLenum format, int32_t width, int32_t height,
                           uint8_t* buffer);

// The largest texture side: GL_MAX_TEXTURE_SIZE, or the lower limit set for tests.
int32_t image_max_texture_size();

// Lowers the texture size limit below GL_MAX_TEXTURE_SIZE, so that tests can
// reach the reduction of oversized images; 0 goes back to the GL limit.
void image_set_max_texture_size_for_tests(int32_t size);
