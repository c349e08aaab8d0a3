#include "text/bitmapfonts.h"

#include "display/display.h"
#include "render/gl.h"
#include "base/bits.h"
#include "render/overlay.h"
#include "render/texture.h"
#include "base/rand15.h"
#include "base/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

FontState font_state;

namespace {

constexpr uint32_t REF_GLYPH = 67;                  // 'C'
constexpr double LETTER_SPACING = 0.13;             // of the reference width
constexpr double SCORE_K = 20.49593431428785;       // 1 / ln 1.05
constexpr double DEGREES = 0.017453292519943295;

// A texture side of at least n texels (and at least one).
uint32_t pow2_at_least(uint32_t n) { return std::max(1u, pow2_ceil(n)); }

// The low 8 bits of a value truncated toward zero; 0 when it has no integer value.
uint8_t trunc_u8(double v) {
    if (!(v > -9.0e18 && v < 9.0e18)) return 0;
    return static_cast<uint8_t>(static_cast<int64_t>(v));
}

int32_t saturate_i32(double v) {
    if (!(v > 0)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    return static_cast<int32_t>(v);
}

int32_t max_texture_size() { return texture_size_limit(); }

DynArray* font_list() {
    if (!font_state.list.array.element_size) font_state.list.array = dynarray_create(sizeof(BitmapFont*));
    return &font_state.list.array;
}

void register_font(BitmapFont* font) { dynarray_append(font_list(), &font); }

void read_texture_size(BitmapFont* font) {
    GLint width = 0, height = 0;
    glBindTexture(GL_TEXTURE_2D, font->texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    font->texture_width = static_cast<uint32_t>(width);
    font->texture_height = static_cast<uint32_t>(height);
}

void set_widest_and_ref_width(BitmapFont* font) {
    uint32_t widest = 0;
    for (uint32_t slot = 0; slot < FONT_SLOTS; ++slot) widest = std::max(widest, font->glyph_width[slot]);
    font->widest = static_cast<uint8_t>(widest);
    font->ref_width = static_cast<uint8_t>(font->glyph_width[REF_GLYPH] + 1);
}

void compute_scaled_metrics(const BitmapFont* font) {
    const BitmapFont* base = font->style.base ? font->style.base : font;
    const float width = font->style.width_scale, height = font->style.height_scale;
    font_state.current_widest = trunc_u8(static_cast<float>(base->widest) * width);
    font_state.current_cell_height = trunc_u8(static_cast<float>(base->cell_height) * height);
    font_state.current_ref_width = trunc_u8(static_cast<float>(base->ref_width) * width);
}

// Index floor(N * 2^-15 * (r2 + r1 * 2^-15)) of two successive draws r1, r2.
BitmapFont* random_font() {
    const uint32_t n = font_count();
    if (!n) return nullptr;
    const double r1 = rand15();
    const double r2 = rand15();
    const double scaled = std::floor(n * (1.0 / 32768.0) * (r2 + r1 * (1.0 / 32768.0)));
    const uint32_t index = scaled >= n - 1 ? n - 1 : static_cast<uint32_t>(scaled);
    return font_at(index);
}

uint8_t palette_byte(float component) { return static_cast<uint8_t>(component * 255.9); }

}  // namespace

uint32_t font_count() { return font_state.list.array.element_size ? font_state.list.array.count : 0; }

BitmapFont* font_at(uint32_t index) {
    if (index >= font_count()) return nullptr;
    return *static_cast<BitmapFont**>(dynarray_at(&font_state.list.array, index));
}

// ---------------------------------------------------------------------------
// Font store

void build_standard_palette(float* red, float* green, float* blue) {
    for (int i = 0; i < 16; ++i) {
        const float bright = (i & 8) ? 1.0f : 0.5f;
        red[i] = (i & 4) ? bright : 0.0f;
        green[i] = (i & 2) ? bright : 0.0f;
        blue[i] = (i & 1) ? bright : 0.0f;
    }
    red[8] = green[8] = blue[8] = 0.25f;
    for (int i = 16; i < 40; ++i) red[i] = green[i] = blue[i] = static_cast<float>((i - 16) * 0.04347826);
    for (int i = 40; i < 256; ++i) {
        const int n = i - 40;
        red[i] = static_cast<float>((n % 6) * 0.2);
        green[i] = static_cast<float>(((n / 6) % 6) * 0.2);
        blue[i] = static_cast<float>((n / 36) * 0.2);
    }
}

void pack_glyphs(const uint8_t* data, size_t length, uint32_t limit, GlyphPacking* packing) {
    std::memset(packing, 0, sizeof *packing);
    if (!data) length = 0;

    size_t offset = 0;
    uint32_t records = 0;
    while (records < FONT_SLOTS && offset < length) {
        if (length - offset < 2) break;
        const uint32_t width = data[offset], height = data[offset + 1];
        const size_t size = static_cast<size_t>(width) * height;
        if (length - offset - 2 < size) break;
        packing->glyph_width[records] = width;
        packing->glyph_height[records] = height;
        packing->pixels_offset[records] = offset + 2;
        offset += 2 + size;
        ++records;
    }
    packing->records = records;

    uint32_t cell = 1;
    for (uint32_t slot = 0; slot < records; ++slot) cell = std::max(cell, packing->glyph_height[slot]);
    const uint32_t gap = cell >> 2;
    packing->cell_height = cell;
    packing->gap = gap;

    // Left to right with the gap after every glyph, a new row when the glyph
    // and its gap would pass the limit.
    uint32_t x = 0, y = 0, right = 1;
    for (uint32_t slot = 0; slot < FONT_SLOTS; ++slot) {
        packing->glyph_x[slot] = x;
        packing->glyph_y[slot] = y;
        if (slot < records) {
            const uint32_t width = packing->glyph_width[slot];
            if (x + width + gap > limit) {
                y += cell + gap;
                packing->glyph_x[slot] = 0;
                packing->glyph_y[slot] = y;
                x = width + gap;
            } else {
                x += width + gap;
            }
        }
        right = std::max(right, packing->glyph_x[slot] + packing->glyph_width[slot]);
    }
    packing->texture_width = pow2_at_least(right);
    packing->texture_height = pow2_at_least(y + cell);
}

void mipmap_reduce(int32_t* width, int32_t* height, uint8_t* pixels) {
    const int32_t w = *width, h = *height;
    const int32_t nw = w > 1 ? w / 2 : 1, nh = h > 1 ? h / 2 : 1;
    for (int32_t y = 0; y < nh; ++y) {
        const int32_t y0 = std::min(2 * y, h - 1), y1 = std::min(2 * y + 1, h - 1);
        for (int32_t x = 0; x < nw; ++x) {
            const int32_t x0 = std::min(2 * x, w - 1), x1 = std::min(2 * x + 1, w - 1);
            const uint8_t* a = pixels + (static_cast<size_t>(y0) * w + x0) * 4;
            const uint8_t* b = pixels + (static_cast<size_t>(y0) * w + x1) * 4;
            const uint8_t* c = pixels + (static_cast<size_t>(y1) * w + x0) * 4;
            const uint8_t* d = pixels + (static_cast<size_t>(y1) * w + x1) * 4;
            uint8_t texel[4];
            for (int k = 0; k < 4; ++k) texel[k] = static_cast<uint8_t>((a[k] + b[k] + c[k] + d[k] + 2) >> 2);
            // Never ahead of the texels still to be read, so the level can
            // overwrite its source in place.
            std::memcpy(pixels + (static_cast<size_t>(y) * nw + x) * 4, texel, 4);
        }
    }
    *width = nw;
    *height = nh;
}

void build_mipmaps(int32_t width, int32_t height, uint8_t* pixels) {
    glTexImage2D(GL_TEXTURE_2D, 0, 4, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    for (GLint level = 1; width > 1 || height > 1; ++level) {
        mipmap_reduce(&width, &height, pixels);
        glTexImage2D(GL_TEXTURE_2D, level, 4, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    }
}

void build_enhance_table(uint8_t table[256]) {
    table[0] = 0;
    for (int i = 1; i < 256; ++i) {
        const double p = i * 0.003907776475185619;
        table[i] = static_cast<uint8_t>(255.9 * std::pow(p, 0.4));
    }
}

void enhance_glyph_mipmaps(const BitmapFont* font) {
    uint8_t table[256];
    build_enhance_table(table);
    glBindTexture(GL_TEXTURE_2D, font->texture);
    GLint width0 = 0, height0 = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width0);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height0);
    if (width0 <= 1 && height0 <= 1) return;

    std::vector<uint8_t> texels;
    for (GLint level = 1;; ++level) {
        GLint width = 0, height = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &height);
        if (width <= 0 || height <= 0) break;
        texels.assign(static_cast<size_t>(width) * height * 4, 0);
        glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());

        // The digits and the extra symbol slots keep full contrast when small.
        for (uint32_t slot = 48; slot < 384; slot = (slot == 57) ? 256 : slot + 1) {
            const uint32_t row0 = font->glyph_y[slot] >> level;
            const uint32_t row1 = std::min<uint32_t>((font->glyph_y[slot] + font->cell_height) >> level, height);
            const uint32_t col0 = font->glyph_x[slot] >> level;
            const uint32_t col1 = std::min<uint32_t>(col0 + (font->glyph_width[slot] >> level), width);
            if (row0 >= row1 || col0 >= col1) continue;
            double most = 0.001;
            for (uint32_t r = row0; r < row1; ++r)
                for (size_t i = (static_cast<size_t>(r) * width + col0) * 4; i < (static_cast<size_t>(r) * width + col1) * 4; ++i)
                    most = std::max(most, static_cast<double>(texels[i]));
            for (uint32_t r = row0; r < row1; ++r)
                for (size_t i = (static_cast<size_t>(r) * width + col0) * 4; i < (static_cast<size_t>(r) * width + col1) * 4; ++i)
                    texels[i] = table[std::min(255, static_cast<int>(texels[i] * 255.4 / most))];
        }
        glTexImage2D(GL_TEXTURE_2D, level, 4, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        if (width == 1 && height == 1) break;
    }
}

void font_load_glyph_data(const uint8_t* data, size_t length, const char* name) {
    if (!name) name = "";
    const int32_t gl_limit = max_texture_size();
    const uint32_t limit = static_cast<uint32_t>(std::clamp<int32_t>(gl_limit, 0, FONT_PACKING_CAP));

    std::vector<GlyphPacking> packing_store(1);
    GlyphPacking& packing = packing_store[0];
    pack_glyphs(data, length, limit, &packing);

    if (packing.texture_height > limit) {
        std::vector<char> message(std::strlen(name) + 128);
        std::snprintf(message.data(), message.size(), "Font '%s' required texture of size %dx%d but GL_MAX_TEXTURE_SIZE=%d",
                      name, static_cast<int>(packing.texture_width), static_cast<int>(packing.texture_height),
                      static_cast<int>(max_texture_size()));
        report_inner("bitmapfonts", 1328, REPORT_FATAL, message.data(), 1);
        return;
    }

    BitmapFont* font = static_cast<BitmapFont*>(std::calloc(1, sizeof(BitmapFont)));
    if (!font) throw std::bad_alloc();
    font->name = copy_text(name);
    font->cell_height = static_cast<uint8_t>(packing.cell_height);
    std::memcpy(font->glyph_x, packing.glyph_x, sizeof font->glyph_x);
    std::memcpy(font->glyph_y, packing.glyph_y, sizeof font->glyph_y);
    std::memcpy(font->glyph_width, packing.glyph_width, sizeof font->glyph_width);

    float red[256], green[256], blue[256];
    build_standard_palette(red, green, blue);
    uint8_t colours[256][4];
    for (int i = 0; i < 256; ++i) {
        colours[i][0] = palette_byte(red[i]);
        colours[i][1] = palette_byte(green[i]);
        colours[i][2] = palette_byte(blue[i]);
        colours[i][3] = 255;
    }
    colours[255][0] = colours[255][1] = colours[255][2] = colours[255][3] = 0;

    const uint32_t tw = packing.texture_width, th = packing.texture_height;
    std::vector<uint8_t> texels(static_cast<size_t>(tw) * th * 4, 0);
    for (uint32_t slot = 0; slot < packing.records; ++slot) {
        const uint32_t width = packing.glyph_width[slot];
        const uint8_t* indices = data + packing.pixels_offset[slot];
        for (uint32_t r = 0; r < packing.glyph_height[slot]; ++r)
            for (uint32_t c = 0; c < width; ++c) {
                const size_t texel = (static_cast<size_t>(packing.glyph_y[slot] + r) * tw + packing.glyph_x[slot] + c) * 4;
                std::memcpy(&texels[texel], colours[indices[r * width + c]], 4);
            }
    }

    glGenTextures(1, &font->texture);
    glBindTexture(GL_TEXTURE_2D, font->texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    build_mipmaps(static_cast<int32_t>(tw), static_cast<int32_t>(th), texels.data());
    std::vector<uint8_t>().swap(texels);
    enhance_glyph_mipmaps(font);

    font->style = FontStyle{font, 1.0f, 1.0f, 0.0f, 0.0f, FONT_SOURCE_GLYPH_DATA, 0};
    set_widest_and_ref_width(font);
    read_texture_size(font);

    register_font(font);
    if (!font_state.current) font_select(font);
}

void font_select(BitmapFont* font) {
    if (!font || font == font_state.current) return;
    font_state.current = font;
    font_state.current_style = font->style;
    compute_scaled_metrics(font);
}

// ---------------------------------------------------------------------------
// Specifications and derived fonts

namespace {

enum class Unit { PLAIN, PIXELS, DEGREES, PERCENT };

Unit unit_of(const std::string& value, bool degrees_allowed) {
    if (value.find("px") != std::string::npos) return Unit::PIXELS;
    if (degrees_allowed && value.find('\xB0') != std::string::npos) return Unit::DEGREES;
    if (value.find('%') != std::string::npos) return Unit::PERCENT;
    return Unit::PLAIN;
}

void multiply(float* scale, double factor) { *scale = static_cast<float>(*scale * factor); }
void add(float* value, double amount) { *value = static_cast<float>(*value + amount); }

void apply_modifier(FontStyle* style, const std::string& field) {
    const size_t equals = field.find('=');
    const std::string keyword = field.substr(0, equals);
    const std::string value = equals == std::string::npos ? std::string() : field.substr(equals + 1);
    const bool has_value = !value.empty();
    auto is = [&](const char* word) { return equals_nocase(keyword.c_str(), word); };

    const BitmapFont* base = style->base;
    const double cell = base ? base->cell_height : 1;
    const double widest = base ? base->widest : 1;

    // The modifiers without a value: each scales the face and adds weight.
    static const struct { const char* word; double width, height, boldness; } plain[] = {
        {"big", 1.5, 1.5, 0}, {"small", 0.6666666666666666, 0.6666666666666666, 0},
        {"demibold", 1, 1, 0.03}, {"bold", 1.1, 1, 0.05}, {"black", 1.2, 1, 0.08},
    };
    for (const auto& m : plain) {
        if (!is(m.word)) continue;
        if (m.width != 1) multiply(&style->width_scale, m.width);
        if (m.height != 1) multiply(&style->height_scale, m.height);
        if (m.boldness != 0) add(&style->boldness, m.boldness);
        return;
    }
    if (is("normal")) {
        *style = FontStyle{style->base, 1.0f, 1.0f, 0.0f, 0.0f, 0, 0};
    } else if (is("italic")) {
        add(&style->skew, 0.4);
    } else if (!has_value) {
        // A modifier that needs a value and has none changes nothing.
    } else if (is("scale") || is("size")) {
        const double v = parse_real(value.c_str());
        switch (unit_of(value, false)) {
        case Unit::PIXELS:
            style->width_scale = style->height_scale = static_cast<float>(v / cell);
            break;
        case Unit::PERCENT:
            multiply(&style->width_scale, v * 0.01);
            multiply(&style->height_scale, v * 0.01);
            break;
        default:
            multiply(&style->width_scale, v);
            multiply(&style->height_scale, v);
        }
    } else if (is("width") || is("height")) {
        const double v = parse_real(value.c_str());
        float* scale = is("width") ? &style->width_scale : &style->height_scale;
        switch (unit_of(value, false)) {
        case Unit::PIXELS: *scale = static_cast<float>(v / cell); break;
        case Unit::PERCENT: multiply(scale, v * 0.01); break;
        default: multiply(scale, v);
        }
    } else if (is("boldness")) {
        const double v = parse_real(value.c_str());
        switch (unit_of(value, false)) {
        case Unit::PIXELS: add(&style->boldness, v / widest); break;
        case Unit::PERCENT: add(&style->boldness, v * 0.01); break;
        default: add(&style->boldness, v);
        }
    } else if (is("skew") || is("angle")) {
        const double v = parse_real(value.c_str());
        switch (unit_of(value, true)) {
        case Unit::PIXELS: add(&style->skew, v / cell); break;
        case Unit::DEGREES: style->skew = static_cast<float>(std::tan(v * DEGREES)); break;
        case Unit::PERCENT: add(&style->skew, v * 0.01); break;
        default: add(&style->skew, v);
        }
    }
}

BitmapFont* find_font_by_name(const char* name) {
    for (uint32_t i = 0; i < font_count(); ++i)
        if (equals_nocase(font_at(i)->name, name)) return font_at(i);
    return nullptr;
}

char* derived_name(const char* base_name, float width, float height, float skew, float boldness) {
    std::string name = base_name;
    // Only what differs from the base face is named.
    const struct { const char* field; float value, plain; } parts[] = {
        {"width", width, 1.0f}, {"height", height, 1.0f}, {"boldness", boldness, 0.0f}, {"skew", skew, 0.0f}};
    for (const auto& p : parts) {
        if (p.value == p.plain) continue;
        char part[64];
        std::snprintf(part, sizeof part, ":%s=%g", p.field, p.value);
        name += part;
    }
    return copy_text(name.c_str());
}

}  // namespace

FontStyle font_parse_spec(const char* spec) {
    if (!spec) spec = "";
    FontStyle style{nullptr, 1.0f, 1.0f, 0.0f, 0.0f, 0, 0};
    const std::string text = spec;
    size_t colon = text.find(':');
    const std::string name = text.substr(0, colon);

    if (BitmapFont* named = find_font_by_name(name.c_str())) {
        style = named->style;
    } else if (font_state.current) {
        style.base = font_state.current->style.base;
    } else if (font_count()) {
        style.base = random_font()->style.base;
    } else {
        style.base = font_create_empty(spec);
    }

    while (colon != std::string::npos) {
        const size_t start = colon + 1;
        colon = text.find(':', start);
        apply_modifier(&style, text.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
    }
    return style;
}

double font_score(const BitmapFont* font, const BitmapFont* base, float width_scale, float height_scale, float skew,
                  float boldness) {
    if (!base || font->style.base != base) return -1000.0;
    const FontStyle& s = font->style;
    const double w = width_scale, h = height_scale;
    const double width_term = std::fmin(std::fabs(2.0 * (w - s.width_scale) * base->widest),
                                        SCORE_K * std::fabs(std::log(w / s.width_scale)));
    const double height_term = std::fmin(std::fabs(2.0 * (h - s.height_scale) * base->cell_height),
                                         SCORE_K * std::fabs(std::log(h / s.height_scale)));
    return 1.0 - (std::fabs((static_cast<double>(boldness) - s.boldness) * 50.0) +
                  std::fabs((static_cast<double>(skew) - s.skew) * 20.0)) -
           (width_term + height_term) * 0.5;
}

BitmapFont* font_derive(BitmapFont* base, float width_scale, float height_scale, float skew, float boldness) {
    if (!base) return nullptr;
    // From the newest font back, so that of equal scores the later one wins.
    BitmapFont* best = nullptr;
    double best_score = 0.0;
    for (uint32_t i = font_count(); i-- > 0;) {
        BitmapFont* font = font_at(i);
        const double score = font_score(font, base, width_scale, height_scale, skew, boldness);
        if (score > best_score) {
            best = font;
            best_score = score;
        }
    }
    if (best) return best;

    BitmapFont* font = font_clone(base);
    font->style = FontStyle{base, width_scale, height_scale, skew, boldness, 0, 0};
    std::free(font->name);
    font->name = derived_name(base->name, width_scale, height_scale, skew, boldness);
    set_widest_and_ref_width(font);
    read_texture_size(font);
    return font;
}

void font_use_style(FontStyle style) {
    if (std::memcmp(&style, &font_state.current_style, sizeof style) == 0) return;
    BitmapFont* font = font_derive(style.base, style.width_scale, style.height_scale, style.skew, style.boldness);
    if (font && font != font_state.current) {
        font_state.current = font;
        compute_scaled_metrics(font);
    }
    font_state.current_style = style;
}

void font_use_spec(const char* spec) {
    if (!spec) spec = "";
    if (font_state.current && equals_nocase(font_state.current->name, spec)) return;
    font_use_style(font_parse_spec(spec));
}

BitmapFont* font_clone(const BitmapFont* font) {
    BitmapFont* copy = static_cast<BitmapFont*>(std::malloc(sizeof(BitmapFont)));
    if (!copy) throw std::bad_alloc();
    std::memcpy(copy, font, sizeof(BitmapFont));
    copy->name = copy_text(font->name);
    register_font(copy);
    return copy;
}

void font_delete(BitmapFont* font) {
    uint32_t index = font_count();
    for (uint32_t i = 0; i < font_count(); ++i)
        if (font_at(i) == font) index = i;
    if (index == font_count()) return;

    bool shared = false;
    for (uint32_t i = 0; i < font_count(); ++i)
        if (i != index && font_at(i)->texture == font->texture) shared = true;
    if (!shared) glDeleteTextures(1, &font->texture);

    std::free(font->name);
    std::free(font);
    dynarray_remove(&font_state.list.array, index);

    // Fonts derived from it hold the same tables and texture: the first of
    // them becomes the base of the rest, so no style points at freed memory.
    BitmapFont* heir = nullptr;
    for (uint32_t i = 0; i < font_count(); ++i) {
        BitmapFont* other = font_at(i);
        if (other->style.base != font) continue;
        if (!heir) heir = other;
        other->style.base = heir;
    }
    if (font_state.current_style.base == font) font_state.current_style.base = heir;

    if (font_state.current == font) {
        font_state.current = nullptr;
        if (font_count()) {
            font_select(random_font());
        } else {
            font_state.current_style = FontStyle{};
            font_state.current_widest = font_state.current_cell_height = font_state.current_ref_width = 0;
        }
    }
}

BitmapFont* font_create_empty(const char* spec) {
    if (!spec) spec = "";
    while (BitmapFont* same = find_font_by_name(spec)) font_delete(same);

    BitmapFont* font = static_cast<BitmapFont*>(std::calloc(1, sizeof(BitmapFont)));
    if (!font) throw std::bad_alloc();
    font->name = copy_text(spec);
    font->cell_height = 1;
    font->style = FontStyle{font, 1.0f, 1.0f, 0.0f, 0.0f, FONT_SOURCE_GLYPH_DATA, 0};
    set_widest_and_ref_width(font);

    const uint8_t transparent[4] = {0, 0, 0, 0};
    glGenTextures(1, &font->texture);
    glBindTexture(GL_TEXTURE_2D, font->texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, transparent);
    read_texture_size(font);

    register_font(font);
    return font;
}

void free_font(void* element) {
    BitmapFont* font = *static_cast<BitmapFont**>(element);
    std::free(font->name);
    std::free(font);
}

// ---------------------------------------------------------------------------
// Text

namespace {

bool is_white(uint8_t c) { return c == 32 || (c >= 9 && c <= 13); }

float le_float(const uint8_t* p) {
    const uint32_t bits = p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void emit_quad(const BitmapFont* font, uint32_t slot, float x0, float y, float w, float h) {
    const uint32_t width = font->glyph_width[slot];
    const float tw = font->texture_width ? static_cast<float>(font->texture_width) : 1.0f;
    const float th = font->texture_height ? static_cast<float>(font->texture_height) : 1.0f;
    TextQuad q;
    q.slot = slot;
    q.u0 = font->glyph_x[slot] / tw;
    q.u1 = q.u0 + width / tw;
    q.v0 = font->glyph_y[slot] / th;
    q.v1 = q.v0 + font->cell_height / th;
    q.x0 = x0;
    q.y0 = y;
    q.x1 = x0 + width * w;
    q.y1 = y + font->cell_height * h;
    glTexCoord2f(q.u0, q.v0);
    glVertex2f(q.x0, q.y0);
    glTexCoord2f(q.u1, q.v0);
    glVertex2f(q.x1, q.y0);
    glTexCoord2f(q.u1, q.v1);
    glVertex2f(q.x1, q.y1);
    glTexCoord2f(q.u0, q.v1);
    glVertex2f(q.x0, q.y1);
    if (font_state.quad_hook) font_state.quad_hook(q);
}

}  // namespace

void text_set_blend_mode(int32_t mode) { font_state.blend_mode = mode; }

void text_begin(const EyeView* view) {
    // The current colour too: each pass sets its own, and whatever is drawn next must not inherit it.
    glPushAttrib(GL_CURRENT_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_TRANSFORM_BIT);
    glMatrixMode(GL_MODELVIEW);
    gfx_begin_2d(view);
    font_state.view_left = view ? view->x : 0;
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    switch (font_state.blend_mode) {
    case 1: glBlendFunc(GL_ONE, GL_ZERO); break;
    case 2: glBlendFunc(GL_DST_COLOR, GL_ONE_MINUS_SRC_ALPHA); break;
    case 3: glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR); break;
    case 4: glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); break;
    default: break;
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, font_state.current ? font_state.current->texture : 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glBegin(GL_QUADS);
}

void text_end() {
    glEnd();
    gfx_end_2d();
    glPopAttrib();
}

float text_draw(float left, float top, float right, float bottom, const char* text, uint32_t colour) {
    if (!text) text = "NULL?";
    return text_draw_bytes(left, top, right, bottom, reinterpret_cast<const uint8_t*>(text), std::strlen(text), colour);
}

float text_draw_bytes(float left, float top, float right, float bottom, const uint8_t* text, size_t length,
                      uint32_t colour) {
    if (!text) {
        text = reinterpret_cast<const uint8_t*>("NULL?");
        length = 5;
    }
    if (!length || !text[0] || !font_state.current) return top;

    const FontStyle entry = font_state.current_style;
    BitmapFont* const base = font_state.current->style.base ? font_state.current->style.base : font_state.current;
    const double bold = entry.boldness;
    const bool wrapping = right != 0;
    glColor4ub(static_cast<GLubyte>(colour >> 16), static_cast<GLubyte>(colour >> 8), static_cast<GLubyte>(colour), 255);

    float x = left, y = top;
    float w = entry.width_scale, h = entry.height_scale;
    double shift = 0;
    // A wrapped or broken line: false when it starts below the bottom limit.
    auto next_line = [&]() {
        y = y + (font_state.current->cell_height * h + 1.0f);
        if (bottom != 0 && y > bottom) return false;
        x = left;
        return true;
    };

    size_t i = 0;
    while (i < length && text[i]) {
        uint32_t code = text[i];
        size_t next = i + 1;
        if (code == 2) {
            if (length - i < 3) break;
            code = text[i + 1] * 256u + text[i + 2];
            next = i + 3;
            // Slots 512 and up do not exist: such an escape draws nothing.
            if (code >= FONT_SLOTS) {
                i = next;
                continue;
            }
        } else if (code == 5) {
            if (length - i < 6) break;
            const uint8_t* op = text + i + 2;
            if (text[i + 1] == 1) {
                x = le_float(op);
            } else if (text[i + 1] == 2) {
                const double scale = (op[0] | op[1] << 8) / 256.0;
                const int16_t shift_operand = static_cast<int16_t>(op[2] | op[3] << 8);
                w = static_cast<float>(entry.width_scale * scale);
                h = static_cast<float>(entry.height_scale * scale);
                y = static_cast<float>(y + shift);
                const double raised = std::trunc(static_cast<double>(shift_operand * base->cell_height) * entry.height_scale + 128);
                shift = std::trunc(raised / 256);
                y = static_cast<float>(y - shift);
                glEnd();
                font_use_style(FontStyle{base, w, h, entry.skew, entry.boldness, entry.source, entry.reserved});
                glBegin(GL_QUADS);
            }
            i += 6;
            continue;
        }

        const BitmapFont* font = font_state.current;
        if (code == 10) {
            y = static_cast<float>(y + std::trunc(font->cell_height * static_cast<double>(h) + 0.5) + 1);
            x = left;
            i = next;
            continue;
        }

        const double advance =
            std::trunc(base->glyph_width[code] * static_cast<double>(w) * (1.0 + bold) +
                       font_state.current_ref_width * LETTER_SPACING + 0.5);
        const float x0 = x;
        x = static_cast<float>(x + advance);

        if (code == 32) {
            if (wrapping) {
                size_t word_end = next;
                while (word_end < length && !is_white(text[word_end])) ++word_end;
                const int32_t word = text_line_width_bytes(text + next, word_end - next);
                if (x0 + word > right && !next_line()) break;
            }
        } else {
            if (font->glyph_width[code]) emit_quad(font, code, x0, y, w, h);
            const bool space_follows = next < length && text[next] == 32;
            if (wrapping && !space_follows && x > right && !next_line()) break;
        }
        i = next;
    }

    font_use_style(entry);
    return y;
}

int32_t text_line_width(const char* text) {
    if (!text) return 0;
    return text_line_width_bytes(reinterpret_cast<const uint8_t*>(text), std::strlen(text));
}

int32_t text_line_width_bytes(const uint8_t* text, size_t length) {
    if (!text) return 0;
    const BitmapFont* font = font_state.current;
    const BitmapFont* base = font ? (font->style.base ? font->style.base : font) : nullptr;
    const double spacing = std::trunc(font_state.current_ref_width * LETTER_SPACING + 0.5);
    double sum = 0;
    size_t i = 0;
    while (i < length && text[i] && text[i] != 10) {
        const uint8_t c = text[i];
        // Escapes and control bytes: the byte and as many after it as its value.
        if (c < 8) {
            i += 1 + static_cast<size_t>(c);
            continue;
        }
        if (!base)
            sum += 5;
        else
            sum += std::trunc(base->glyph_width[c] * static_cast<double>(font->style.width_scale) *
                                  (1.0 + font->style.boldness) + 0.5) + spacing;
        ++i;
    }
    return saturate_i32(sum - 1);
}
