#include "text/text_encoding.h"

namespace {

// The characters of Windows-1252 codes 0x80 to 0x9F; 0 where the code page leaves a hole.
const uint16_t CP1252_HIGH[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

size_t escape_length(uint8_t byte) { return byte == 2 ? 3 : byte == 5 ? 6 : 0; }

// The length of the UTF-8 sequence at text and its character; 0 for an
// invalid one (overlong, surrogate, beyond U+10FFFF, cut short).
size_t decode_utf8(const uint8_t* text, size_t left, uint32_t* character) {
    const uint8_t lead = text[0];
    size_t length;
    uint32_t c, smallest;
    if (lead < 0x80) {
        *character = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, c = lead & 0x1Fu, smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, c = lead & 0x0Fu, smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, c = lead & 0x07u, smallest = 0x10000;
    } else {
        return 0;
    }
    if (length > left) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((text[k] & 0xC0) != 0x80) return 0;
        c = c << 6 | (text[k] & 0x3Fu);
    }
    if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    *character = c;
    return length;
}

char cp1252_slot(uint32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) return static_cast<char>(character);
    for (uint32_t i = 0; i < 32; ++i)
        if (CP1252_HIGH[i] == character) return static_cast<char>(0x80 + i);
    return '?';
}

}  // namespace

std::string cp1252_from_utf8(const uint8_t* text, size_t length) {
    if (!text || !length) return std::string();
    const std::string original(reinterpret_cast<const char*>(text), length);
    std::string converted;
    bool multi_byte = false;
    for (size_t i = 0; i < length;) {
        if (const size_t escape = escape_length(text[i])) {
            const size_t n = escape < length - i ? escape : length - i;
            converted.append(reinterpret_cast<const char*>(text + i), n);
            i += n;
            continue;
        }
        uint32_t character = 0;
        const size_t n = decode_utf8(text + i, length - i, &character);
        if (!n) return original;
        multi_byte = multi_byte || n > 1;
        converted += cp1252_slot(character);
        i += n;
    }
    return multi_byte ? converted : original;
}
