// Font store: palette, packing, the font texture and its mipmaps, the built-in font.
#include "test_fonts_support.h"

#include "gl.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#define dup2 _dup2
#else
#include <unistd.h>
#endif

namespace {

struct Texel {
    uint8_t r, g, b, a;
    bool operator==(const Texel& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};
std::ostream& operator<<(std::ostream& os, const Texel& t) {
    return os << "(" << int(t.r) << "," << int(t.g) << "," << int(t.b) << "," << int(t.a) << ")";
}

struct Level {
    GLint width = 0, height = 0;
    std::vector<uint8_t> texels;
    Texel at(int x, int y) const {
        const uint8_t* p = &texels[(static_cast<size_t>(y) * width + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
};

Level read_level(GLuint texture, int level) {
    Level l;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &l.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &l.height);
    if (l.width > 0 && l.height > 0) {
        l.texels.resize(static_cast<size_t>(l.width) * l.height * 4);
        glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, l.texels.data());
    }
    return l;
}

GlyphPacking pack(const std::vector<uint8_t>& data, uint32_t limit) {
    std::vector<GlyphPacking> store(1);
    pack_glyphs(data.data(), data.size(), limit, &store[0]);
    return store[0];
}

}  // namespace

TEST(FontPalette, StandardColours) {
    float r[256], g[256], b[256];
    build_standard_palette(r, g, b);
    auto rgb = [&](int i) { return std::vector<float>{r[i], g[i], b[i]}; };
    EXPECT_EQ(rgb(0), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(rgb(4), (std::vector<float>{0.5f, 0, 0}));
    EXPECT_EQ(rgb(7), (std::vector<float>{0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(rgb(8), (std::vector<float>{0.25f, 0.25f, 0.25f}));
    EXPECT_EQ(rgb(9), (std::vector<float>{0, 0, 1}));
    EXPECT_EQ(rgb(14), (std::vector<float>{1, 1, 0}));
    EXPECT_EQ(rgb(15), (std::vector<float>{1, 1, 1}));
    EXPECT_EQ(r[16], 0.0f);
    EXPECT_FLOAT_EQ(r[27], 11 * 0.04347826f);
    EXPECT_FLOAT_EQ(g[39], 1.0f);
    EXPECT_EQ(rgb(40), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(rgb(41), (std::vector<float>{0.2f, 0, 0}));
    EXPECT_EQ(rgb(46), (std::vector<float>{0, 0.2f, 0}));
    EXPECT_EQ(rgb(76), (std::vector<float>{0, 0, 0.2f}));
    EXPECT_EQ(rgb(255), (std::vector<float>{1, 1, 1}));
}

TEST(FontPacking, EmptyDataGivesOneTexel) {
    const GlyphPacking p = pack({}, 2048);
    EXPECT_EQ(p.records, 0u);
    EXPECT_EQ(p.cell_height, 1u);
    EXPECT_EQ(p.gap, 0u);
    EXPECT_EQ(p.texture_width, 1u);
    EXPECT_EQ(p.texture_height, 1u);
    EXPECT_EQ(p.glyph_x[511], 0u);
    EXPECT_EQ(p.glyph_width[0], 0u);
}

TEST(FontPacking, GlyphsSitLeftToRightWithTheGap) {
    // Cell 12, gap 3; an empty record still moves the cursor by the gap.
    const GlyphPacking p = pack(GlyphData().glyph(10, 8).glyph(0, 0).glyph(6, 12).bytes, 2048);
    EXPECT_EQ(p.records, 3u);
    EXPECT_EQ(p.cell_height, 12u);
    EXPECT_EQ(p.gap, 3u);
    EXPECT_EQ(p.glyph_x[0], 0u);
    EXPECT_EQ(p.glyph_x[1], 13u);
    EXPECT_EQ(p.glyph_x[2], 16u);
    EXPECT_EQ(p.glyph_x[3], 25u);  // beyond the data: the cursor, width 0
    EXPECT_EQ(p.glyph_x[511], 25u);
    EXPECT_EQ(p.glyph_width[2], 6u);
    EXPECT_EQ(p.glyph_width[3], 0u);
    EXPECT_EQ(p.texture_width, 32u);   // 16 + 6 = 22
    EXPECT_EQ(p.texture_height, 16u);  // 0 + 12
}

TEST(FontPacking, RowBreakCountsTheGap) {
    // 13 + 6 = 19 fits a limit of 20, but 13 + 6 + 3 does not.
    const GlyphPacking p = pack(GlyphData().glyph(10, 12).glyph(6, 12).glyph(4, 12).bytes, 20);
    EXPECT_EQ(p.glyph_x[1], 0u);
    EXPECT_EQ(p.glyph_y[1], 15u);
    EXPECT_EQ(p.glyph_x[2], 9u);
    EXPECT_EQ(p.glyph_y[2], 15u);
    EXPECT_EQ(p.glyph_y[3], 15u);
    EXPECT_EQ(p.texture_width, 16u);
    EXPECT_EQ(p.texture_height, 32u);  // 15 + 12
}

TEST(FontPacking, CutRecordsAreAbsent) {
    std::vector<uint8_t> data = GlyphData().glyph(4, 2).bytes;
    const std::vector<uint8_t> whole = data;
    data.insert(data.end(), {3, 3, 15, 15, 15, 15});  // 9 indices promised, 4 present
    GlyphPacking p = pack(data, 2048);
    EXPECT_EQ(p.records, 1u);
    EXPECT_EQ(p.glyph_width[1], 0u);
    EXPECT_EQ(p.cell_height, 2u);

    data = whole;
    data.push_back(7);  // a width without its height
    p = pack(data, 2048);
    EXPECT_EQ(p.records, 1u);
    EXPECT_EQ(p.glyph_width[1], 0u);
}

TEST(FontPacking, AtMost512Records) {
    GlyphData g;
    for (int i = 0; i < 600; ++i) g.glyph(1, 1 + (i >= 512) * 9);
    const GlyphPacking p = pack(g.bytes, 2048);
    EXPECT_EQ(p.records, 512u);
    EXPECT_EQ(p.cell_height, 1u);  // the taller records past 512 are not read
}

TEST(FontPacking, BuiltInFontAtEachLimit) {
    const std::vector<uint8_t> data(caption_glyph_data, caption_glyph_data + caption_glyph_data_length);
    EXPECT_EQ(caption_glyph_data_length, 35626u);
    struct {
        uint32_t limit, width, height;
    } cases[] = {{2048, 2048, 64}, {1024, 1024, 128}, {512, 512, 256}, {256, 256, 512}};
    for (const auto& c : cases) {
        const GlyphPacking p = pack(data, c.limit);
        EXPECT_EQ(p.records, 256u);
        EXPECT_EQ(p.cell_height, 20u);
        EXPECT_EQ(p.gap, 5u);
        EXPECT_EQ(p.texture_width, c.width) << c.limit;
        EXPECT_EQ(p.texture_height, c.height) << c.limit;
    }
}

TEST(FontMipmaps, ReduceRoundsAndClamps) {
    // 2 x 2 to 1 x 1: (a + b + c + d + 2) >> 2 per channel.
    std::vector<uint8_t> px = {0, 255, 10, 255, 1, 255, 10, 255, 2, 255, 10, 0, 3, 254, 11, 0};
    int32_t w = 2, h = 2;
    mipmap_reduce(&w, &h, px.data());
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(std::vector<uint8_t>(px.begin(), px.begin() + 4), (std::vector<uint8_t>{2, 255, 10, 128}));

    // One texel tall: each of the two existing texels counts twice.
    px = {0, 0, 0, 0, 3, 3, 3, 3, 100, 0, 0, 0, 101, 0, 0, 0};
    w = 4, h = 1;
    mipmap_reduce(&w, &h, px.data());
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(std::vector<uint8_t>(px.begin(), px.begin() + 8), (std::vector<uint8_t>{2, 2, 2, 2, 101, 0, 0, 0}));

    // One texel wide.
    px = {9, 9, 9, 9, 0, 0, 0, 0, 40, 0, 0, 0, 40, 0, 0, 0};
    w = 1, h = 4;
    mipmap_reduce(&w, &h, px.data());
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(std::vector<uint8_t>(px.begin(), px.begin() + 8), (std::vector<uint8_t>{5, 5, 5, 5, 40, 0, 0, 0}));
}

TEST(FontEnhance, BrightnessTable) {
    uint8_t t[256];
    build_enhance_table(t);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[1], 27);
    EXPECT_EQ(t[94], 171);
    EXPECT_EQ(t[122], 190);
    EXPECT_EQ(t[128], 193);
    EXPECT_EQ(t[187], 225);
    EXPECT_EQ(t[255], 255);
}

TEST_F(FontTest, MipmapLevelsUploadedDownToOneTexel) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    std::vector<uint8_t> px(4 * 2 * 4, 0);
    for (int i = 0; i < 4; ++i) px[i * 4] = static_cast<uint8_t>(i * 40);  // top row reds 0, 40, 80, 120
    build_mipmaps(4, 2, px.data());

    const Level l1 = read_level(texture, 1), l2 = read_level(texture, 2), l3 = read_level(texture, 3);
    EXPECT_EQ(l1.width, 2);
    EXPECT_EQ(l1.height, 1);
    EXPECT_EQ(l1.at(0, 0), (Texel{10, 0, 0, 0}));  // (0 + 40 + 0 + 0 + 2) >> 2
    EXPECT_EQ(l1.at(1, 0), (Texel{50, 0, 0, 0}));  // (80 + 120 + 2) >> 2
    EXPECT_EQ(l2.width, 1);
    EXPECT_EQ(l2.height, 1);
    EXPECT_EQ(l2.at(0, 0), (Texel{30, 0, 0, 0}));  // (10 + 50 + 10 + 50 + 2) >> 2
    EXPECT_EQ(l3.width, 0);
}

TEST_F(FontTest, GlyphTexelsUseThePaletteTimes255_9) {
    GlyphData().pixels(6, 2, {0, 7, 8, 15, 16, 27, 39, 41, 46, 76, 255, 12}).load("palette");
    BitmapFont* font = find("palette");
    ASSERT_NE(font, nullptr);
    const Level l0 = read_level(font->texture, 0);
    ASSERT_EQ(l0.width, 8);
    ASSERT_EQ(l0.height, 2);
    EXPECT_EQ(l0.at(0, 0), (Texel{0, 0, 0, 255}));
    EXPECT_EQ(l0.at(1, 0), (Texel{127, 127, 127, 255}));
    EXPECT_EQ(l0.at(2, 0), (Texel{63, 63, 63, 255}));
    EXPECT_EQ(l0.at(3, 0), (Texel{255, 255, 255, 255}));
    EXPECT_EQ(l0.at(4, 0), (Texel{0, 0, 0, 255}));
    EXPECT_EQ(l0.at(5, 0), (Texel{122, 122, 122, 255}));
    EXPECT_EQ(l0.at(0, 1), (Texel{255, 255, 255, 255}));
    EXPECT_EQ(l0.at(1, 1), (Texel{51, 0, 0, 255}));
    EXPECT_EQ(l0.at(2, 1), (Texel{0, 51, 0, 255}));
    EXPECT_EQ(l0.at(3, 1), (Texel{0, 0, 51, 255}));
    EXPECT_EQ(l0.at(4, 1), (Texel{0, 0, 0, 0}));
    EXPECT_EQ(l0.at(5, 1), (Texel{255, 0, 0, 255}));
    EXPECT_EQ(l0.at(6, 0), (Texel{0, 0, 0, 0}));  // texture columns beyond the glyph
}

TEST_F(FontTest, ZeroLengthDataMakesOneTransparentTexel) {
    font_load_glyph_data(nullptr, 0, "nothing");
    BitmapFont* font = find("nothing");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->cell_height, 1);
    EXPECT_EQ(font->widest, 0);
    EXPECT_EQ(font->ref_width, 1);
    EXPECT_EQ(font->texture_width, 1u);
    EXPECT_EQ(font->texture_height, 1u);
    EXPECT_EQ(read_level(font->texture, 0).at(0, 0), (Texel{0, 0, 0, 0}));
    EXPECT_EQ(read_level(font->texture, 1).width, 0);
}

TEST_F(FontTest, DigitsAndHighSlotsKeepContrastInSmallLevels) {
    // Cell 8 and gap 2: with slots 0 to 47 empty, slot 48 starts at column 96
    // and the same image in slot 58 at column 128. Left half: white over grey
    // rows; right part transparent.
    std::vector<uint8_t> image(12 * 8, 255);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 4; ++x) image[y * 12 + x] = y < 4 ? 15 : 27;
    GlyphData g;
    g.empty(48).pixels(12, 8, image).empty(9).pixels(12, 8, image).load("digits");
    BitmapFont* font = find("digits");
    ASSERT_NE(font, nullptr);
    ASSERT_EQ(font->glyph_x[48], 96u);
    ASSERT_EQ(font->glyph_x[58], 128u);

    uint8_t t[256];
    build_enhance_table(t);
    // Level 1: the area's largest byte is an alpha of 255, so grey 122 becomes T[122].
    const Level l1 = read_level(font->texture, 1);
    EXPECT_EQ(l1.at(48, 0), (Texel{255, 255, 255, 255}));
    EXPECT_EQ(l1.at(48, 2), (Texel{t[122], t[122], t[122], 255}));
    EXPECT_EQ(l1.at(50, 2), (Texel{0, 0, 0, 0}));
    EXPECT_EQ(l1.at(64, 2), (Texel{122, 122, 122, 255}));  // slot 58 is left alone
    // Level 3 averages from the unmodified level 2: (255 + 122 + 2) >> 2 = 94
    // and alpha 128, then stretched by 255.4 / 128.
    const Level l3 = read_level(font->texture, 3);
    EXPECT_EQ(l3.at(12, 0), (Texel{t[187], t[187], t[187], 255}));
    EXPECT_EQ(l3.at(16, 0), (Texel{94, 94, 94, 128}));
}

TEST_F(FontTest, EnhancedSlotsAreTheDigitsAnd256To383) {
    // Grey 122 glyphs at even columns: level 1 keeps 122 or becomes T[122] = 190.
    GlyphData g;
    g.empty(47);
    for (int slot = 47; slot <= 58; ++slot) g.glyph(4, 8, 27);
    g.empty(256 - 59).glyph(4, 8, 27).empty(383 - 257).glyph(4, 8, 27).glyph(4, 8, 27).load("grey");
    BitmapFont* font = find("grey");
    ASSERT_NE(font, nullptr);
    const Level l1 = read_level(font->texture, 1);
    for (int slot : {47, 48, 52, 57, 58, 256, 383, 384}) {
        const bool enhanced = (slot >= 48 && slot <= 57) || (slot >= 256 && slot <= 383);
        const uint8_t grey = enhanced ? 190 : 122;
        EXPECT_EQ(l1.at(font->glyph_x[slot] / 2, 0), (Texel{grey, grey, grey, 255})) << slot;
    }
}

TEST_F(FontTest, BuiltInFont) {
    load_builtin();
    ASSERT_EQ(font_count(), 1u);
    BitmapFont* font = font_at(0);
    EXPECT_STREQ(font->name, "caption");
    EXPECT_EQ(font_state.current, font);
    EXPECT_EQ(font->texture_width, 2048u);  // Mesa's 16384 capped at 2048
    EXPECT_EQ(font->texture_height, 64u);
    EXPECT_EQ(font->cell_height, 20);
    EXPECT_EQ(font->widest, 20);
    EXPECT_EQ(font->glyph_width[67], 12u);
    EXPECT_EQ(font->ref_width, 13);
    EXPECT_EQ(font->glyph_width[32], 4u);
    EXPECT_EQ(font->glyph_width[0], 0u);
    EXPECT_EQ(font->glyph_width[256], 0u);
    const FontStyle own{font, 1.0f, 1.0f, 0.0f, 0.0f, 512, 0};
    EXPECT_EQ(std::memcmp(&font->style, &own, sizeof own), 0);
    EXPECT_EQ(std::memcmp(&font_state.current_style, &own, sizeof own), 0);
    EXPECT_EQ(font_state.current_widest, 20);
    EXPECT_EQ(font_state.current_cell_height, 20);
    EXPECT_EQ(font_state.current_ref_width, 13);
    EXPECT_EQ(read_level(font->texture, 11).width, 1);
    EXPECT_EQ(read_level(font->texture, 11).height, 1);
    EXPECT_EQ(read_level(font->texture, 12).width, 0);
}

TEST_F(FontTest, PackingLimitFollowsTheGlLimitUpTo2048) {
    font_state.max_texture_size_override = 1024;
    load_builtin();
    EXPECT_EQ(font_at(0)->texture_width, 1024u);
    EXPECT_EQ(font_at(0)->texture_height, 128u);

    use_context(64, 64);
    font_state.max_texture_size_override = 4096;
    load_builtin();
    EXPECT_EQ(font_at(0)->texture_width, 2048u);
    EXPECT_EQ(font_at(0)->texture_height, 64u);
}

TEST_F(FontTest, SecondFontLeavesTheCurrentOne) {
    load_builtin();
    GlyphData().glyph(3, 3).load("other");
    EXPECT_EQ(font_count(), 2u);
    EXPECT_STREQ(font_state.current->name, "caption");
}

using FontDeathTest = FontTest;

TEST_F(FontDeathTest, TooTallTextureIsFatal) {
    EXPECT_EXIT(
        {
            std::fflush(stdout);
            dup2(2, 1);
            font_state.max_texture_size_override = 256;
            load_builtin();
        },
        testing::ExitedWithCode(1), "Font 'caption' required texture of size 256x512 but GL_MAX_TEXTURE_SIZE=256");
}

TEST_F(FontDeathTest, ReportShowsTheUncappedLimit) {
    // One 255 x 255 glyph sets cell 255 and gap 63: six 255-wide glyphs a row.
    GlyphData g;
    g.glyph(255, 255);
    for (int i = 1; i < 512; ++i) g.glyph(255, 0);
    EXPECT_EXIT(
        {
            std::fflush(stdout);
            dup2(2, 1);
            font_state.max_texture_size_override = 4096;
            g.load("big");
        },
        testing::ExitedWithCode(1), "Font 'big' required texture of size 2048x32768 but GL_MAX_TEXTURE_SIZE=4096");
}
