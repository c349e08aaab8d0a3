// Fonts: the caption's size, text layout and blends.
#include "text/bitmapfonts.h"
#include "render/gl.h"
#include "show.h"

namespace {

struct GlyphData {
    std::vector<uint8_t> bytes;
    GlyphData& glyph(uint8_t w, uint8_t h, const std::vector<uint8_t>& indices = {}) {
        bytes.push_back(w), bytes.push_back(h);
        if (indices.empty()) bytes.insert(bytes.end(), w * h, 15);
        bytes.insert(bytes.end(), indices.begin(), indices.end());
        return *this;
    }
    void load(const char* name) const { font_load_glyph_data(bytes.data(), bytes.size(), name); }
};

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

// The caption's font is the nearest whole scale of the built-in one to 3 % of
// the screen height, at least 1.
TEST_F(Fonts, CaptionScaleFollowsTheScreenHeight) {
    caption();
    for (auto [height, font] : {std::pair{1080, "caption:width=2:height=2"}, {2000, "caption:width=3:height=3"},
                                {100, "caption"}}) {
        display.screen_height = height;
        draw_caption(caption_from_entry("Hi"), EyeView{0, 0, 1920, height, 1920, height});
        EXPECT_STREQ(font_state.current->name, font) << height;
        EXPECT_EQ(font_state.blend_mode, 3);
    }
}

// Layout: glyph quads by position and slot, for a test font whose glyphs are
// 5 wide (advance 6), space 3 (advance 4), 'C' 9, cell 10, line step 11.
TEST_F(Fonts, TextLaysOutAndWraps) {
    GlyphData g;
    for (int c = 0; c < 256; ++c) c == 32 ? g.glyph(3, 0) : c == 'C' ? g.glyph(9, 10) : g.glyph(5, 10);
    g.load("t");
    std::string quads;
    font_state.quad_hook = [&](const TextQuad& q) {
        quads += (quads.empty() ? "" : " ") + std::to_string(q.slot) + "@" + std::to_string(int(q.x0)) + "," +
                 std::to_string(int(q.y0));
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
    };
    font_use_spec("t");
    for (const auto& c : cases) {
        quads.clear();
        text_begin();
        const auto* bytes = reinterpret_cast<const uint8_t*>(c.text.data());
        const float y = text_draw_bytes(c.left, c.top, c.right, c.bottom, bytes, c.text.size(), 0xFFFFFF);
        text_end();
        EXPECT_EQ(quads, c.quads) << c.text;
        EXPECT_EQ(y, c.y) << c.text;
    }
}

// The caption's two blends over grey 128, for the white, grey 122 and transparent
// columns of a glyph: the outline darkens, the face brightens, neither covers the rest.
TEST_F(Fonts, CaptionBlendsOverTheBackground) {
    GlyphData g;
    std::vector<uint8_t> stripes;
    for (int y = 0; y < 10; ++y) stripes.insert(stripes.end(), {15, 15, 27, 255, 255});
    for (int c = 0; c < 256; ++c) c == 'T' ? g.glyph(5, 10, stripes) : g.glyph(5, 10);
    g.load("t");
    // The red channel of each column after drawing in each mode and colour.
    const struct { int mode; uint32_t colour; int white, grey, clear; } cases[] = {
        {2, 0x000000, 0, 0, 128}, {3, 0xFFFFFF, 255, 189, 128}};
    for (const auto& c : cases) {
        glClearColor(128 / 255.0f, 128 / 255.0f, 128 / 255.0f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        text_set_blend_mode(c.mode);
        text_begin();
        text_draw(10, 10, 0, 0, "T", c.colour);
        text_end();
        const std::vector<uint8_t> frame = headless::read_frame_rgb();
        EXPECT_EQ((std::vector<int>{pixel_at(frame, 200, 10, 15).r, pixel_at(frame, 200, 12, 15).r,
                                    pixel_at(frame, 200, 13, 15).r, pixel_at(frame, 200, 30, 15).r}),
                  (std::vector<int>{c.white, c.grey, c.clear, 128})) << c.mode;
    }
}
