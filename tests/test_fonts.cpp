// Fonts: the store and its texture, specifications and the cache of derived
// fonts, text layout, blend modes and the caption.
#include "bitmapfonts.h"
#include "gl.h"
#include "show.h"

#include <cstring>

namespace {

struct GlyphData {
    std::vector<uint8_t> bytes;
    GlyphData& glyph(uint8_t w, uint8_t h, uint8_t index = 15) { return pixels(w, h, std::vector<uint8_t>(w * h, index)); }
    GlyphData& pixels(uint8_t w, uint8_t h, const std::vector<uint8_t>& indices) {
        bytes.push_back(w), bytes.push_back(h);
        bytes.insert(bytes.end(), indices.begin(), indices.end());
        return *this;
    }
    GlyphData& empty(int count) {
        for (int i = 0; i < count; ++i) glyph(0, 0);
        return *this;
    }
    void load(const char* name) const { font_load_glyph_data(bytes.data(), bytes.size(), name); }
};

struct Texel {
    int r, g, b, a;
    bool operator==(const Texel& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

// Texel (x, y) of a level of a font texture, or {-1} beyond it.
Texel texel(uint32_t texture, int level, int x, int y) {
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
    if (x >= w || y >= h) return {-1, -1, -1, -1};
    std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    const uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

class Fonts : public testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        headless::make_gl_context(200, 100);
        screen_width = 200, screen_height = 100;
    }
    void TearDown() override { headless::reset(); }
    static BitmapFont* caption() {
        font_load_glyph_data(caption_glyph_data, caption_glyph_data_length, "caption");
        return font_at(font_count() - 1);
    }
};

}  // namespace

// The built-in font is packed into one texture no wider than 2048 texels,
// with its whole mipmap chain; palette indices become colours and alpha.
TEST_F(Fonts, GlyphDataBecomesOneTextureWithItsMipmaps) {
    BitmapFont* font = caption();
    EXPECT_STREQ(font->name, "caption");
    EXPECT_EQ(font_state.current, font);
    EXPECT_EQ(font->texture_width, 2048u);
    EXPECT_EQ(font->texture_height, 64u);
    EXPECT_EQ(font->cell_height, 20);
    EXPECT_EQ(font->ref_width, 13);  // 'C' plus one
    EXPECT_EQ(texel(font->texture, 11, 0, 0).a >= 0, true);
    EXPECT_EQ(texel(font->texture, 12, 0, 0).a, -1);
    for (auto [limit, width, height] : {std::tuple{1024, 1024u, 128u}, {512, 512u, 256u}}) {
        image_set_max_texture_size_for_tests(limit);
        EXPECT_EQ(caption()->texture_width, width);
        EXPECT_EQ(font_at(font_count() - 1)->texture_height, height);
    }

    // Indices: black, grey, quarter grey, white, 16 (black), 27 (grey 122), then
    // white, red, green, blue, transparent and yellow.
    GlyphData().pixels(6, 2, {0, 7, 8, 15, 16, 27, 39, 41, 46, 76, 255, 12}).load("palette");
    const uint32_t t = font_at(font_count() - 1)->texture;
    const Texel want[] = {{0, 0, 0, 255},   {127, 127, 127, 255}, {63, 63, 63, 255}, {255, 255, 255, 255},
                          {0, 0, 0, 255},   {122, 122, 122, 255}, {255, 255, 255, 255}, {51, 0, 0, 255},
                          {0, 51, 0, 255},  {0, 0, 51, 255},      {0, 0, 0, 0},      {255, 0, 0, 255}};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(texel(t, 0, i % 6, i / 6), want[i]) << i;
    EXPECT_EQ(texel(t, 0, 6, 0), (Texel{0, 0, 0, 0}));
    EXPECT_EQ(texel(t, 1, 0, 0), (Texel{108, 96, 96, 255}));  // rounded 2 x 2 means
}

// A font texture taller than the limit cannot be made: the report names the limit.
TEST_F(Fonts, TooTallTextureIsFatal) {
    GlyphData g;
    for (int i = 0; i < 256; ++i) g.glyph(20, 200);
    image_set_max_texture_size_for_tests(256);
    EXPECT_EXIT(g.load("tall"), testing::ExitedWithCode(1), "");
}

// Specifications: a font name, then modifiers that scale, embolden and slant it.
TEST_F(Fonts, SpecificationsScaleEmboldenAndSlant) {
    BitmapFont* base = caption();
    const struct {
        const char* spec;
        float width, height, skew, boldness;
    } cases[] = {
        {"caption", 1, 1, 0, 0},          {"CaPtIoN:scale=150%", 1.5f, 1.5f, 0, 0},
        {"caption:size=40px", 2, 2, 0, 0}, {"caption:scale=2:scale=10px", 0.5f, 0.5f, 0, 0},
        {"caption:width=3:width=50%", 1.5f, 1, 0, 0}, {"caption:height=10px", 1, 0.5f, 0, 0},
        {"caption:scale=2:big", 3, 3, 0, 0}, {"caption:small", 0.6666667f, 0.6666667f, 0, 0},
        {"caption:scale=x2", 0, 0, 0, 0},  {"caption:bold", 1.1f, 1, 0, 0.05f},
        {"caption:black", 1.2f, 1, 0, 0.08f}, {"caption:boldness=4px", 1, 1, 0, 0.2f},
        {"caption:bold:boldness=0.5", 1.1f, 1, 0, 0.55f}, {"caption:italic", 1, 1, 0.4f, 0},
        {"caption:angle=0.25:italic", 1, 1, 0.65f, 0}, {"caption:italic:skew=30\xB0", 1, 1, 0.57735026f, 0},
        {"caption:skew=4px\xB0", 1, 1, 0.2f, 0},  {"caption:scale=30\xB0", 30, 30, 0, 0},
        {"caption:bold:italic:scale=3:normal", 1, 1, 0, 0}, {"caption: scale=2", 1, 1, 0, 0},
        {"caption:wobble=3", 1, 1, 0, 0},  {"caption::scale=2=3", 2, 2, 0, 0},
        {"nosuch:scale=3", 3, 3, 0, 0},
    };
    for (const auto& c : cases) {
        const FontStyle s = font_parse_spec(c.spec);
        EXPECT_EQ(s.base, base) << c.spec;
        EXPECT_FLOAT_EQ(s.width_scale, c.width) << c.spec;
        EXPECT_FLOAT_EQ(s.height_scale, c.height) << c.spec;
        EXPECT_FLOAT_EQ(s.skew, c.skew) << c.spec;
        EXPECT_FLOAT_EQ(s.boldness, c.boldness) << c.spec;
    }
}

// Derived fonts share the base's texture and tables, are found again by
// their score, and survive the deletion of their base.
TEST_F(Fonts, DerivedFontsAreCachedAndShareTheTexture) {
    BitmapFont* base = caption();
    EXPECT_STREQ(font_derive(base, 1.5f, 1.0f, 0.3f, 0.05f)->name, "caption:width=1.5:boldness=0.05:skew=0.3");
    font_use_spec("caption:scale=2");
    BitmapFont* twice = font_state.current;
    EXPECT_STREQ(twice->name, "caption:width=2:height=2");
    EXPECT_EQ(twice->texture, base->texture);
    EXPECT_EQ(std::memcmp(twice->glyph_x, base->glyph_x, sizeof base->glyph_x), 0);
    EXPECT_EQ(font_state.current_cell_height, 40);
    EXPECT_EQ(font_count(), 3u);
    font_use_spec("caption:width=2:height=2");  // found by name: nothing new
    font_use_spec("caption:scale=2.001");       // close enough: the same font, the style as asked
    EXPECT_EQ(font_state.current, twice);
    EXPECT_FLOAT_EQ(font_state.current_style.width_scale, 2.001f);
    EXPECT_EQ(font_count(), 3u);
    EXPECT_DOUBLE_EQ(font_score(base, base, 1, 1, 0, 0.0078125f), 1.0 - 0.390625);
    EXPECT_DOUBLE_EQ(font_score(base, twice, 1, 1, 0, 0), -1000.0);
    font_use_spec("caption");
    EXPECT_EQ(font_state.current, base);

    BitmapFont* copy = font_clone(base);
    EXPECT_STREQ(copy->name, "caption");
    const uint32_t texture = base->texture;
    font_delete(base);
    EXPECT_TRUE(glIsTexture(texture));  // still the copy's and the derived fonts'
    for (uint32_t i = 0; i < font_count(); ++i) EXPECT_NE(font_at(i)->style.base, base);
}

// Layout: glyph quads by position and slot, for a test font whose glyphs are
// 5 wide (advance 6), space 3 (advance 4), 'C' 9, cell 10, line step 11.
TEST_F(Fonts, TextLaysOutWrapsAndFollowsItsEscapes) {
    GlyphData g;
    for (int c = 0; c < 256; ++c) c == 32 ? g.glyph(3, 0) : c == 'C' ? g.glyph(9, 10) : g.glyph(5, 10);
    g.empty(44).glyph(7, 10).load("t");
    std::vector<std::string> quads;
    font_state.quad_hook = [&](const TextQuad& q) {
        quads.push_back(std::to_string(q.slot) + "@" + std::to_string(int(q.x0)) + "," + std::to_string(int(q.y0)));
    };
    const struct {
        std::string text;
        float left, top, right, bottom, y;
        std::string quads;
    } cases[] = {
        {"ab", 10, 20, 0, 0, 20, "97@10,20 98@16,20"},
        {"a\nb", 10, 20, 0, 0, 31, "97@10,20 98@10,31"},
        {"a\n\n\nb", 0, 20, 0, 25, 53, "97@0,20 98@0,53"},                    // new lines ignore the bottom
        {"aa aa aa", 0, 0, 30, 0, 11, "97@0,0 97@6,0 97@16,0 97@22,0 97@0,11 97@6,11"},
        {"aa aa aa", 0, 0, 30, 10, 11, "97@0,0 97@6,0 97@16,0 97@22,0"},      // the wrap would start below the bottom
        {"aaaaaaaa", 0, 0, 20, 0, 22, "97@0,0 97@6,0 97@12,0 97@18,0 97@0,11 97@6,11 97@12,11 97@18,11"},
        {"aaaa b", 0, 0, 20, 0, 11, "97@0,0 97@6,0 97@12,0 97@18,0 98@0,11"},
        {"\x01\x1F\xE9 C", 0, 0, 0, 0, 0, "1@0,0 31@6,0 233@12,0 67@22,0"},  // control bytes are glyphs too
        {std::string("\x02\x01\x2C" "a\x02\x00\x0A" "b", 9), 0, 0, 0, 0, 11, "300@0,0 97@8,0 98@0,11"},
        {"a\x02\x01", 0, 4, 0, 0, 4, "97@0,4"},                               // escapes cut short end the text
        {std::string("\x05\x01\x00\x00\xC8\x42" "aa bb", 11), 10, 0, 120, 0, 11, "97@100,0 97@106,0 98@10,11 98@16,11"},
        {std::string("a\x05\x02\x00\x02\x00\x00" "bb", 9), 0, 0, 0, 0, 0, "97@0,0 98@6,0 98@19,0"},  // size 2
        {std::string("\x05\x02\x00\x01\x00\x01" "a\x05\x02\x00\x01\x00\x00" "b", 14), 0, 50, 0, 0, 50,
         "97@0,40 98@6,50"},                                                   // baseline shift and back
    };
    for (const auto& c : cases) {
        quads.clear();
        text_begin();
        const float y = text_draw_bytes(c.left, c.top, c.right, c.bottom, reinterpret_cast<const uint8_t*>(c.text.data()),
                                        c.text.size(), 0xFFFFFF);
        text_end();
        std::string got;
        for (const std::string& q : quads) got += (got.empty() ? "" : " ") + q;
        EXPECT_EQ(got, c.quads) << c.text;
        EXPECT_EQ(y, c.y) << c.text;
    }
    EXPECT_EQ(text_line_width("a b\ncd"), 15);
    EXPECT_EQ(text_line_width("a\x02\x01\x2C" "b"), 11);
    font_use_spec("t:width=1.5");
    EXPECT_EQ(text_line_width("ab"), 19);
}

// Blend modes over grey 128 for the white, grey 122 and transparent columns
// of a glyph; drawing leaves the GL state as it found it.
TEST_F(Fonts, BlendModesAndTheStateTheyLeave) {
    GlyphData g;
    std::vector<uint8_t> stripes;
    for (int y = 0; y < 10; ++y) stripes.insert(stripes.end(), {15, 15, 27, 255, 255});
    for (int c = 0; c < 256; ++c) c == 'T' ? g.pixels(5, 10, stripes) : g.glyph(5, 10);
    g.load("t");
    EXPECT_EQ(font_state.blend_mode, 3);  // the brightening blend until a caption sets another
    const struct {
        int mode;
        uint32_t colour;
        int white, grey, clear;  // red channel of each column
    } cases[] = {{1, 0xFFFFFF, 255, 122, 0}, {2, 0x000000, 0, 0, 128}, {3, 0xFFFFFF, 255, 189, 128},
                 {4, 0xFF0000, 255, 122, 128}, {9, 0xFFFFFF, 128, 128, 128}};
    GLint depth_before = 0, depth_after = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth_before);
    glColor3f(0.25f, 0.5f, 0.75f);
    for (const auto& c : cases) {
        glClearColor(128 / 255.0f, 128 / 255.0f, 128 / 255.0f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glBlendFunc(GL_ZERO, GL_ONE);
        text_set_blend_mode(c.mode);
        text_begin();
        text_draw(10, 10, 0, 0, "T", c.colour);
        text_end();
        const std::vector<uint8_t> frame = headless::read_frame_rgb();
        EXPECT_NEAR(pixel_at(frame, 200, 10, 15).r, c.white, 1) << c.mode;
        EXPECT_NEAR(pixel_at(frame, 200, 12, 15).r, c.grey, 1) << c.mode;
        EXPECT_NEAR(pixel_at(frame, 200, 13, 15).r, c.clear, 1) << c.mode;
        EXPECT_EQ(pixel_at(frame, 200, 30, 15).r, 128) << c.mode;
    }
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth_after);
    EXPECT_EQ(depth_after, depth_before);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The caption's size follows the screen height: the nearest whole scale of
// the font to 3 % of it, at least 1.
TEST_F(Fonts, CaptionScaleFollowsTheScreenHeight) {
    caption();
    const struct {
        int height;
        const char* font;
    } cases[] = {{1080, "caption:width=2:height=2"}, {2000, "caption:width=3:height=3"}, {100, "caption"}};
    for (const auto& c : cases) {
        screen_width = 1920, screen_height = c.height;
        char text[] = "Hi";
        draw_caption(Caption{0, 0, text, 240, 0, 1680, 0.03f});
        EXPECT_STREQ(font_state.current->name, c.font) << c.height;
        EXPECT_EQ(font_state.blend_mode, 3);
    }
}
