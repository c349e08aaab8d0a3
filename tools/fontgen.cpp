// Rasterises a TrueType face into the program's glyph-data format: one record
// per character code 0 to 255 in the Windows-1252 layout, each {width, height,
// palette indices}, all glyphs hanging from the top of a 20-row cell on a
// common baseline. Writes the C++ source of the built-in font.
//
//   fontgen [font.ttf] [output.cpp]

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int CELL = 20;           // tallest glyph, in rows
constexpr int WIDEST = 20;         // widest glyph, in columns
constexpr uint8_t TRANSPARENT = 255;
constexpr uint8_t FULL_INK = 15;   // white in the standard palette
constexpr uint8_t RAMP_FIRST = 16; // 16..39: the grey ramp, black to white

const char* const DEFAULT_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// Windows-1252 codes 0x80 to 0x9F; 0 where the code page leaves a hole.
const uint32_t CP1252_HIGH[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

uint32_t code_point(int code) {
    if (code < 32 || code == 127) return 0;
    if (code >= 0x80 && code < 0xA0) return CP1252_HIGH[code - 0x80];
    return static_cast<uint32_t>(code);
}

bool is_blank(int code) { return code == 32 || code == 0xA0; }

// A rendered glyph trimmed to its inked box: coverage rows, top row relative
// to the baseline (positive upwards).
struct Ink {
    int width = 0, rows = 0, top = 0;
    std::vector<uint8_t> coverage;
    int advance = 0;
};

struct Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

Ink render(Face& f, uint32_t cp, double pixels, double x_scale) {
    FT_Set_Char_Size(f.face, 0, static_cast<FT_F26Dot6>(pixels * 64.0 + 0.5), 72, 72);
    FT_Matrix m = {static_cast<FT_Fixed>(x_scale * 65536.0 + 0.5), 0, 0, 0x10000};
    FT_Set_Transform(f.face, &m, nullptr);
    Ink ink;
    if (FT_Load_Char(f.face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) return ink;
    const FT_GlyphSlot g = f.face->glyph;
    const FT_Bitmap& b = g->bitmap;
    ink.advance = static_cast<int>((g->advance.x + 32) >> 6);
    int x0 = static_cast<int>(b.width), x1 = -1, y0 = static_cast<int>(b.rows), y1 = -1;
    for (int y = 0; y < static_cast<int>(b.rows); ++y)
        for (int x = 0; x < static_cast<int>(b.width); ++x)
            if (b.buffer[y * b.pitch + x]) {
                x0 = std::min(x0, x); x1 = std::max(x1, x);
                y0 = std::min(y0, y); y1 = std::max(y1, y);
            }
    if (x1 < 0) return ink;
    ink.width = x1 - x0 + 1;
    ink.rows = y1 - y0 + 1;
    ink.top = g->bitmap_top - y0;
    ink.coverage.resize(static_cast<size_t>(ink.width) * ink.rows);
    for (int y = 0; y < ink.rows; ++y)
        for (int x = 0; x < ink.width; ++x)
            ink.coverage[y * ink.width + x] = b.buffer[(y + y0) * b.pitch + x + x0];
    return ink;
}

struct Extent {
    int above = 0, below = 0;
};

Extent measure(Face& f, double pixels) {
    Extent e;
    for (int code = 0; code < 256; ++code) {
        const uint32_t cp = code_point(code);
        if (!cp || is_blank(code)) continue;
        const Ink ink = render(f, cp, pixels, 1.0);
        if (!ink.width) continue;
        e.above = std::max(e.above, ink.top);
        e.below = std::max(e.below, ink.rows - ink.top);
    }
    return e;
}

// Glyphs wider than the limit are narrowed alone, to the largest horizontal
// scale that fits, so the rest of the face keeps its proportions.
Ink render_fitted(Face& f, uint32_t cp, double pixels) {
    Ink ink = render(f, cp, pixels, 1.0);
    if (ink.width <= WIDEST) return ink;
    double lo = 0.3, hi = 1.0;
    Ink best = render(f, cp, pixels, lo);
    for (int i = 0; i < 30; ++i) {
        const double mid = (lo + hi) / 2;
        Ink trial = render(f, cp, pixels, mid);
        if (trial.width <= WIDEST) {
            lo = mid;
            best = std::move(trial);
        } else {
            hi = mid;
        }
    }
    return best;
}

uint8_t palette_index(uint8_t coverage) {
    if (coverage == 0) return TRANSPARENT;
    if (coverage == 255) return FULL_INK;
    return static_cast<uint8_t>(RAMP_FIRST + (coverage * 23 + 127) / 255);
}

std::string describe(int code) {
    char text[32];
    if (code >= 33 && code < 127 && code != '\\')
        std::snprintf(text, sizeof text, "%d '%c'", code, code);
    else if (code_point(code))
        std::snprintf(text, sizeof text, "%d U+%04X", code, code_point(code));
    else
        std::snprintf(text, sizeof text, "%d", code);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const char* font_path = argc > 1 ? argv[1] : DEFAULT_FONT;
    const char* out_path = argc > 2 ? argv[2] : "font_data.cpp";

    Face f;
    if (FT_Init_FreeType(&f.library) || FT_New_Face(f.library, font_path, 0, &f.face)) {
        std::fprintf(stderr, "fontgen: cannot open %s\n", font_path);
        return 1;
    }

    // The largest size, in quarter pixels, whose inked rows over the whole
    // code page fit the cell.
    double pixels = 0;
    Extent extent;
    for (int quarter = 24 * 4; quarter >= 8 * 4; --quarter) {
        extent = measure(f, quarter / 4.0);
        if (extent.above + extent.below <= CELL) {
            pixels = quarter / 4.0;
            break;
        }
    }
    if (pixels == 0 || extent.above + extent.below != CELL) {
        std::fprintf(stderr, "fontgen: no size fills exactly %d rows\n", CELL);
        return 1;
    }
    const int baseline = extent.above;  // rows from the cell top to the baseline

    std::vector<std::vector<uint8_t>> records(256);
    int tallest = 0, widest = 0;
    for (int code = 0; code < 256; ++code) {
        std::vector<uint8_t>& rec = records[code];
        const uint32_t cp = code_point(code);
        if (!cp) {
            rec = {0, 0};
            continue;
        }
        if (is_blank(code)) {
            // The letter spacing the renderer adds on both sides stands in
            // for the side bearings the inked boxes leave out.
            const int width = std::max(1, render(f, ' ', pixels, 1.0).advance - 2);
            rec = {static_cast<uint8_t>(width), 1};
            rec.insert(rec.end(), width, TRANSPARENT);
            continue;
        }
        const Ink ink = render_fitted(f, cp, pixels);
        if (!ink.width) {
            rec = {0, 0};
            continue;
        }
        const int first_row = baseline - ink.top;
        const int height = first_row + ink.rows;
        rec = {static_cast<uint8_t>(ink.width), static_cast<uint8_t>(height)};
        rec.resize(2 + static_cast<size_t>(ink.width) * height, TRANSPARENT);
        for (int y = 0; y < ink.rows; ++y)
            for (int x = 0; x < ink.width; ++x)
                rec[2 + (first_row + y) * ink.width + x] = palette_index(ink.coverage[y * ink.width + x]);
        tallest = std::max(tallest, height);
        widest = std::max(widest, ink.width);
    }
    if (tallest != CELL || widest != WIDEST) {
        std::fprintf(stderr, "fontgen: tallest %d, widest %d; want %d and %d\n", tallest, widest, CELL, WIDEST);
        return 1;
    }

    FILE* out = std::fopen(out_path, "w");
    if (!out) {
        std::fprintf(stderr, "fontgen: cannot write %s\n", out_path);
        return 1;
    }
    const char* name = std::strrchr(font_path, '/');
    name = name ? name + 1 : font_path;
    std::fprintf(out,
                 "// Generated by tools/fontgen from %s at %.2f pixels; do not edit.\n"
                 "// One record per code 0 to 255 (Windows-1252): width, height, palette indices.\n"
                 "#include \"text/bitmapfonts.h\"\n\n"
                 "const uint8_t caption_glyph_data[] = {\n",
                 name, pixels);
    size_t length = 0;
    for (int code = 0; code < 256; ++code) {
        const std::vector<uint8_t>& rec = records[code];
        std::fprintf(out, "    // %s\n   ", describe(code).c_str());
        const size_t row = rec[0] ? rec[0] : 1;
        for (size_t i = 0; i < rec.size(); ++i) {
            std::fprintf(out, " %3u,", rec[i]);
            // Header on its own line, then one glyph row per line.
            if (i + 1 < rec.size() && (i == 1 || (i > 1 && (i - 1) % row == 0))) std::fprintf(out, "\n   ");
        }
        std::fprintf(out, "\n");
        length += rec.size();
    }
    std::fprintf(out, "};\n\nconst size_t caption_glyph_data_length = sizeof(caption_glyph_data);\n");
    std::fclose(out);
    std::printf("fontgen: %s at %.2f px, baseline row %d, %zu bytes\n", name, pixels, baseline, length);
    FT_Done_Face(f.face);
    FT_Done_FreeType(f.library);
    return 0;
}
