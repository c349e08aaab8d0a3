// Ctrl+S: the frame as shown, saved as a BMP and converted to PNG.
#pragma once

#include <cstdint>

void gfx_screenshot(const char* prefix);
// The file number for a clock reading: a step every 0.3 s, wrapping at 100000.
int32_t screenshot_number(double seconds);
// Writes the BMP over `path`; with convert, the converter writes the PNG beside
// it, which must not exist yet, and the BMP goes once the converter succeeded.
// The converter runs on a thread of its own while the show goes on.
void bmp_save_and_convert(const uint8_t* pixels, int32_t width, int32_t height, const char* path, int32_t convert);
// Waits for the conversions under way (at the end of the show).
void screenshots_wait();
