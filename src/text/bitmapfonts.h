// Font store, built-in font data, font specifications and text drawing.
#pragma once

#include "config/settings.h"

#include <cstddef>
#include <cstdint>
#include <functional>

struct EyeView;

// The built-in glyph data, generated from a free font (tools/fontgen).
extern const uint8_t caption_glyph_data[];
extern const size_t caption_glyph_data_length;

enum : uint32_t {
    FONT_SLOTS = 512,               // glyph slots of every font; 256 and up only through glyph escapes
    FONT_SOURCE_GLYPH_DATA = 512,   // FontStyle::source of a font built from glyph data
    FONT_PACKING_CAP = 2048,        // packing rows never grow wider than this
};

struct BitmapFont;
// Frees a font of the font list (an element: BitmapFont*); its texture name is left to the GL context.
void free_font(void* element);

// Compared as one block of bytes, so it must hold no padding: the base is a
// pointer, which makes the style 28 bytes on 32-bit and 32 bytes on 64-bit.
struct FontStyle {
    BitmapFont* base;       // the font whose glyph tables and texture are drawn
    float width_scale;
    float height_scale;
    float skew;             // carried and compared, not drawn
    float boldness;         // widens the advance only
    uint32_t source;        // FONT_SOURCE_GLYPH_DATA for a loaded font, 0 for a derived one
    uint32_t reserved;      // always 0
};
static_assert(sizeof(FontStyle) == sizeof(BitmapFont*) + 6 * 4, "FontStyle must have no padding");

struct BitmapFont {
    uint32_t texture;                   // shared by every font derived from this one
    uint32_t glyph_x[FONT_SLOTS];       // left column in the texture
    uint32_t glyph_y[FONT_SLOTS];       // top row of the glyph's cell
    uint32_t glyph_width[FONT_SLOTS];   // texels; 0 for an empty slot
    uint32_t texture_width, texture_height;
    uint8_t widest;
    uint8_t cell_height;                // every glyph is drawn this tall
    uint8_t ref_width;                  // width of 'C' plus one: sets the letter spacing
    char* name;                         // owned; compared ignoring case
    FontStyle style;
};

// A glyph image as the text drawer emits it: window pixels and texture
// coordinates of one quad.
struct TextQuad {
    uint32_t slot;
    float x0, y0, x1, y1;
    float u0, v0, u1, v1;
};

// Everything the font subsystem keeps between calls.
struct FontState {
    OwnedDynArray list{free_font};  // BitmapFont*, in creation order; the fonts are the record's own
    BitmapFont* current = nullptr;
    FontStyle current_style{};      // as last requested, not necessarily current->style
    uint8_t current_widest = 0;     // the current font's metrics at its own scales
    uint8_t current_cell_height = 0;
    uint8_t current_ref_width = 0;
    int32_t blend_mode = 3;         // text blend mode for the next text_begin

    // Sees every glyph quad text_draw emits (tests watch the layout with it),
    // drawn into the view whose left edge in the window is view_left.
    std::function<void(const TextQuad&)> quad_hook;
    int32_t view_left = 0;
};
extern FontState font_state;

uint32_t font_count();
BitmapFont* font_at(uint32_t index);

// Font store.
void font_load_glyph_data(const uint8_t* data, size_t length, const char* name);
void font_select(BitmapFont* font);
void build_standard_palette(float* red, float* green, float* blue);
void build_mipmaps(int32_t width, int32_t height, uint8_t* pixels);
void enhance_glyph_mipmaps(const BitmapFont* font);

// Where each glyph of some glyph data goes in the font texture, for a packing
// limit (GL_MAX_TEXTURE_SIZE capped at 2048). A record cut short by the end of
// the data counts as absent.
struct GlyphPacking {
    uint32_t glyph_x[FONT_SLOTS];
    uint32_t glyph_y[FONT_SLOTS];
    uint32_t glyph_width[FONT_SLOTS];
    uint32_t glyph_height[FONT_SLOTS];
    size_t pixels_offset[FONT_SLOTS];   // start of the record's palette indices
    uint32_t records;                   // complete records, at most 512
    uint32_t cell_height;
    uint32_t gap;
    uint32_t texture_width;
    uint32_t texture_height;
};
void pack_glyphs(const uint8_t* data, size_t length, uint32_t limit, GlyphPacking* packing);

// Halves an RGBA image in place (2 x 2 box, rounded; a side of 1 stays 1).
void mipmap_reduce(int32_t* width, int32_t* height, uint8_t* pixels);
// The brightness curve of enhance_glyph_mipmaps.
void build_enhance_table(uint8_t table[256]);

// Font specifications and the cache of derived fonts.
FontStyle font_parse_spec(const char* spec);
BitmapFont* font_derive(BitmapFont* base, float width_scale, float height_scale, float skew, float boldness);
// The closeness of font to a request, 1 for an exact match; -1000 for another base.
double font_score(const BitmapFont* font, const BitmapFont* base, float width_scale, float height_scale,
                  float skew, float boldness);
void font_use_style(FontStyle style);
void font_use_spec(const char* spec);
BitmapFont* font_clone(const BitmapFont* font);
void font_delete(BitmapFont* font);
BitmapFont* font_create_empty(const char* spec);

// Text drawing. A glyph escape (2, hi, lo) or layout escape (5, sub, four
// operand bytes) may hold zero bytes in its operands: the _bytes forms take the
// text's length for that; the plain forms end the text at its first zero byte.
void text_set_blend_mode(int32_t mode);
// Text is placed in window pixels, or within an eye's view in its layout's (see gfx_begin_2d).
void text_begin(const EyeView* view = nullptr);
float text_draw(float left, float top, float right, float bottom, const char* text, uint32_t colour);
float text_draw_bytes(float left, float top, float right, float bottom, const uint8_t* text, size_t length,
                      uint32_t colour);
void text_end();
int32_t text_line_width(const char* text);
int32_t text_line_width_bytes(const uint8_t* text, size_t length);
