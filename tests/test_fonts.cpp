// Fonts: the store and its texture, specifications, the caption's size and the
// cache of derived fonts, text layout and blend modes.
#include "text/bitmapfonts.h"
#include "render/gl.h"
#include "show.h"

namespace {

struct GlyphData {
    std::vector<uint8_t> bytes;
    GlyphData& glyph(uint8_t w, uint8_t h, uint8_t index = 15) { return pixels(w, h, std::vector<uint8_t>(w * h, index)); }
    GlyphData& pixels(uint8_t w, uint8_t h, const std::vector<uint8_t>& indices) {
        bytes.push_back(w), bytes.push_back(h);
        bytes.insert(bytes.end(), indices.begin(), indices.end());
        return *this;
    }
    void load(const char* name) const { font_load_glyph_data(bytes.data(), bytes.size(), name); }
};

// Width of a level of a texture, 0 beyond its mipmap chain.
int level_width(uint32_t texture, int level) {
    GLint w = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
    return w;
}

class Fonts : public Show {
protected:
    void SetUp() override {
        Show::SetUp();
        screen(200, 100);
    }
    static BitmapFont* caption() {
        font_load_glyph_data(caption_glyph_data, caption_glyph_data_length, "caption");
        return font_at(font_count() - 1);
    }
};

}  // namespace

// The built-in font is packed into one texture no wider than the texture
// limit (nor than 2048), with its whole mipmap chain; taller than the limit
// it cannot be made, which ends the process.
TEST_F(Fonts, GlyphDataBecomesOneTextureWithItsMipmaps) {
    for (auto [limit, width, height, levels] :
         {std::tuple{0, 2048u, 64u, 12}, {1024, 1024u, 128u, 11}, {512, 512u, 256u, 10}}) {
        display.texture_size_cap = limit;
        const BitmapFont* font = caption();
        EXPECT_EQ(font->texture_width, width);
        EXPECT_EQ(font->texture_height, height);
        EXPECT_EQ(level_width(font->texture, levels - 1), 1) << limit;
        EXPECT_EQ(level_width(font->texture, levels), 0) << limit;
    }
    display.texture_size_cap = 32;
    EXPECT_EXIT(caption(), testing::ExitedWithCode(1), "");
}

// Specifications: a font name, then modifiers that scale, embolden and slant it.
TEST_F(Fonts, SpecificationsScaleEmboldenAndSlant) {
    BitmapFont* base = caption();
    const struct { const char* spec; float width, height, skew, boldness; } cases[] = {
        {"CaPtIoN:scale=150%", 1.5f, 1.5f, 0, 0},        {"caption:size=40px", 2, 2, 0, 0},
        {"caption:scale=2:scale=10px", 0.5f, 0.5f, 0, 0}, {"caption:width=3:width=50%", 1.5f, 1, 0, 0},
        {"caption:bold", 1.1f, 1, 0, 0.05f},              {"caption:angle=0.25:italic", 1, 1, 0.65f, 0},
        {"caption:bold:italic:scale=3:normal", 1, 1, 0, 0}, {"caption: scale=2", 1, 1, 0, 0},
        {"caption::scale=2=3", 2, 2, 0, 0},               {"nosuch:scale=3", 3, 3, 0, 0},
    };
    for (const auto& c : cases) {
        const FontStyle s = font_parse_spec(c.spec);
        EXPECT_EQ(s.base, base) << c.spec;
        EXPECT_EQ((std::vector<float>{s.width_scale, s.height_scale, s.skew, s.boldness}),
                  (std::vector<float>{c.width, c.height, c.skew, c.boldness})) << c.spec;
    }
}

// The caption's font is the nearest whole scale of the built-in one to 3 % of
// the screen height, at least 1. Such derived fonts share the base's texture,
// are found again by name or a close style, and outlive their base.
TEST_F(Fonts, CaptionScaleFollowsTheScreenHeightInDerivedFonts) {
    BitmapFont* base = caption();
    for (auto [height, font] : {std::pair{1080, "caption:width=2:height=2"}, {2000, "caption:width=3:height=3"},
                                {100, "caption"}}) {
        display.screen_height = height;
        draw_caption(caption_from_entry("Hi"), EyeView{0, 0, 1920, height, 1920, height});
        EXPECT_STREQ(font_state.current->name, font) << height;
        EXPECT_EQ(font_state.blend_mode, 3);
    }
    font_use_spec("caption:scale=2");
    BitmapFont* twice = font_state.current;
    EXPECT_EQ(twice->texture, base->texture);
    EXPECT_EQ(font_state.current_cell_height, 40);
    font_use_spec("caption:width=2:height=2");  // found by name: nothing new
    font_use_spec("caption:scale=2.001");       // close enough: the same font, the style as asked
    EXPECT_EQ(font_state.current, twice);
    EXPECT_FLOAT_EQ(font_state.current_style.width_scale, 2.001f);
    EXPECT_EQ(font_count(), 3u);
    const uint32_t texture = base->texture;
    font_delete(base);
    EXPECT_TRUE(glIsTexture(texture));  // still the derived fonts'
    EXPECT_NE(twice->style.base, base);
}

// Layout: glyph quads by position and slot, for a test font whose glyphs are
// 5 wide (advance 6), space 3 (advance 4), 'C' 9, cell 10, line step 11. Bold
// and black widen the advance beyond their width: in bold 'C' advances 12
// (11 at bold's width of 1.1 alone), in black 13 (12 at 1.2), a space 5 in
// both. Wrapping measures a word in the same weight: 'C' as 14 in black.
TEST_F(Fonts, TextLaysOutWrapsAndFollowsItsEscapes) {
    GlyphData g;
    for (int c = 0; c < 256; ++c) c == 32 ? g.glyph(3, 0) : c == 'C' ? g.glyph(9, 10) : g.glyph(5, 10);
    for (int c = 256; c < 300; ++c) g.glyph(0, 0);
    g.glyph(7, 10).load("t");
    std::string quads;
    font_state.quad_hook = [&](const TextQuad& q) {
        quads += (quads.empty() ? "" : " ") + std::to_string(q.slot) + "@" + std::to_string(int(q.x0)) + "," +
                 std::to_string(int(q.y0));
    };
    const struct {
        std::string text;
        float left, top, right, bottom, y;
        std::string quads;
        const char* spec = "t";
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
        {"CC C", 0, 0, 0, 0, 0, "67@0,0 67@12,0 67@29,0", "t:bold"},
        {"CC C", 0, 0, 0, 0, 0, "67@0,0 67@13,0 67@31,0", "t:black"},
        {"CC CC", 0, 0, 52, 0, 11, "67@0,0 67@13,0 67@0,11 67@13,11", "t:black"},  // 26 + 27 is past 52
    };
    for (const auto& c : cases) {
        quads.clear();
        font_use_spec(c.spec);
        text_begin();
        const float y = text_draw_bytes(c.left, c.top, c.right, c.bottom, reinterpret_cast<const uint8_t*>(c.text.data()),
                                        c.text.size(), 0xFFFFFF);
        text_end();
        EXPECT_EQ(quads, c.quads) << c.text << " in " << c.spec;
        EXPECT_EQ(y, c.y) << c.text << " in " << c.spec;
    }
    font_use_spec("t");
    EXPECT_EQ(text_line_width("a b\ncd"), 15);
    EXPECT_EQ(text_line_width("a\x02\x01\x2C" "b"), 11);
    font_use_spec("t:width=1.5");
    EXPECT_EQ(text_line_width("ab"), 19);
    font_use_spec("t:black");
    EXPECT_EQ(text_line_width("CC"), 27);
}

// Blend modes over grey 128 for the white, grey 122 and transparent columns of a glyph.
TEST_F(Fonts, BlendModesOverTheBackground) {
    GlyphData g;
    std::vector<uint8_t> stripes;
    for (int y = 0; y < 10; ++y) stripes.insert(stripes.end(), {15, 15, 27, 255, 255});
    for (int c = 0; c < 256; ++c) c == 'T' ? g.pixels(5, 10, stripes) : g.glyph(5, 10);
    g.load("t");
    EXPECT_EQ(font_state.blend_mode, 3);  // the brightening blend until a caption sets another
    // The red channel of each column after drawing in each mode and colour.
    const struct { int mode; uint32_t colour; int white, grey, clear; } cases[] = {
        {1, 0xFFFFFF, 255, 122, 0}, {2, 0x000000, 0, 0, 128},       {3, 0xFFFFFF, 255, 189, 128},
        {4, 0xFF0000, 255, 122, 128}, {9, 0xFFFFFF, 128, 128, 128}};
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
}
