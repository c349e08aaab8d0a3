// Font store, built-in font data, font specifications and text drawing.
#pragma once

#include <cstddef>
#include <cstdint>

// The built-in glyph data, generated from a free font (tools/fontgen).
extern const uint8_t caption_glyph_data[];
extern const size_t caption_glyph_data_length;

void font_load_glyph_data(const uint8_t* data, size_t length, const char* name);
