// A decoded picture in memory.
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
    const char* failure;       // why there are no pixels, or not all: one of the texts below; null otherwise
};

// Why a picture could not be had, in words a viewer can be shown.
constexpr const char* PICTURE_UNREADABLE = "the file is missing or cannot be read";
constexpr const char* PICTURE_UNKNOWN = "not a BMP, JPEG, PNG or HEIC picture";
constexpr const char* PICTURE_DAMAGED = "the picture's data is damaged or cut short";
// With the pixels that could be decoded (the rest grey).
constexpr const char* PICTURE_CUT_SHORT = "the file ends in the middle of the picture";
constexpr const char* PICTURE_TOO_LARGE = "the picture is too large";
constexpr const char* PICTURE_UNSUPPORTED = "a kind of picture this program does not decode";
constexpr const char* PICTURE_NO_MEMORY = "not enough memory for the picture";

// The empty record, with the reason.
inline SimpleBitmap bitmap_failed(const char* why) {
    SimpleBitmap b{};
    b.failure = why;
    return b;
}

void bitmap_free(SimpleBitmap* bitmap);
