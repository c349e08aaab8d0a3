// EXIF of a JPEG or PNG: the orientation that turns the picture upright, and the
// parallax that Fujifilm stereo cameras write into their maker note.
#include "image/formats.h"
#include "image/tiff.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr uint16_t TAG_ORIENTATION = 0x0112;
constexpr uint16_t TAG_EXIF_DIRECTORY = 0x8769;
constexpr uint16_t TAG_MAKER_NOTE = 0x927C;
constexpr uint16_t TAG_FUJIFILM_PARALLAX = 0xB211;
constexpr uint16_t TYPE_SHORT = 3, TYPE_LONG = 4, TYPE_SRATIONAL = 10;

// The Fujifilm maker note: "FUJIFILM", the offset of its directory, then a
// little-endian directory whose offsets count from the note's first byte.
bool fujifilm_parallax(const uint8_t* note, size_t size, double* percent) {
    if (size < 12 || std::memcmp(note, "FUJIFILM", 8) != 0) return false;
    TiffReader reader(note, size, false);
    uint32_t directory = 0, count = 0, at = 0, numerator = 0, denominator = 0;
    uint16_t type = 0;
    if (!reader.u32(8, &directory) || !reader.find(directory, TAG_FUJIFILM_PARALLAX, &type, &count, &at) ||
        type != TYPE_SRATIONAL || !reader.u32(at, &numerator) || !reader.u32(at + 4, &denominator) ||
        denominator == 0)
        return false;
    *percent = static_cast<double>(static_cast<int32_t>(numerator)) / static_cast<int32_t>(denominator);
    return true;
}

}  // namespace

ExifFacts exif_facts(const uint8_t* jpeg, size_t length) {
    const ByteSpan segment = jpeg_app_segment(jpeg, length, 1, "Exif\0\0", 6);
    if (!segment.data) return {1, false, 0};
    return exif_tiff_facts(segment.data + 6, segment.size - 6);
}

ExifFacts exif_tiff_facts(const uint8_t* tiff, size_t size) {
    ExifFacts facts{1, false, 0};
    TiffReader reader;
    uint32_t first = 0;
    if (!tiff || !TiffReader::open(tiff, size, &reader, &first)) return facts;

    uint16_t type = 0, orientation = 0;
    uint32_t count = 0, at = 0, exif_directory = 0;
    if (reader.find(first, TAG_ORIENTATION, &type, &count, &at) && type == TYPE_SHORT && reader.u16(at, &orientation) &&
        orientation >= 1 && orientation <= 8)
        facts.orientation = orientation;
    if (reader.find(first, TAG_EXIF_DIRECTORY, &type, &count, &at) && type == TYPE_LONG &&
        reader.u32(at, &exif_directory) && reader.find(exif_directory, TAG_MAKER_NOTE, &type, &count, &at))
        facts.has_parallax = fujifilm_parallax(reader.base() + at, count, &facts.parallax_percent);
    return facts;
}

SimpleBitmap bitmap_oriented(SimpleBitmap b, int orientation) {
    if (orientation < 2 || orientation > 8 || !b.pixels || b.width <= 0 || b.height <= 0 || b.bytes_per_pixel < 1)
        return b;
    const bool swap = orientation >= 5;
    const int32_t w = b.width, h = b.height, out_w = swap ? h : w, out_h = swap ? w : h;
    const size_t bpp = b.bytes_per_pixel;
    auto* out = static_cast<uint8_t*>(std::malloc(size_t(w) * size_t(h) * bpp));
    if (!out) return b;
    for (int32_t y = 0; y < out_h; ++y)
        for (int32_t x = 0; x < out_w; ++x) {
            // The stored pixel that shows at (x, y) of the upright picture.
            int32_t sx = x, sy = y;
            switch (orientation) {
            case 2: sx = w - 1 - x; break;
            case 3: sx = w - 1 - x, sy = h - 1 - y; break;
            case 4: sy = h - 1 - y; break;
            case 5: sx = y, sy = x; break;
            case 6: sx = y, sy = h - 1 - x; break;
            case 7: sx = w - 1 - y, sy = h - 1 - x; break;
            default: sx = w - 1 - y, sy = x; break;
            }
            std::memcpy(out + (size_t(y) * out_w + x) * bpp, b.pixels + (size_t(sy) * w + sx) * bpp, bpp);
        }
    std::free(b.pixels);
    b.pixels = out;
    b.width = out_w;
    b.height = out_h;
    return b;
}
