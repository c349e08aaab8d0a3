// Caption text from outside: UTF-8 turned into the built-in font's slots.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The built-in font's glyph slots follow Windows-1252. Text that is valid
// UTF-8 and holds a multi-byte character has each character put in its
// Windows-1252 slot ('?' where there is none); any other text (Windows-1252
// already, plain ASCII) comes back as it is. Glyph (2) and layout (5) escapes
// are copied with their operands, which are neither checked nor changed.
std::string cp1252_from_utf8(const uint8_t* text, size_t length);
