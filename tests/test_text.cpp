// Text layout and drawing: line widths, wrapping, escapes, blend modes.
//
// The test font "t": cell 10, every slot 5 wide except space 3, 'C' 9 (so the
// reference width is 10 and the letter spacing 1.3), 'W' 10, 'T' a striped
// glyph, and slot 300 7 wide. Advances at scale 1: 6 for a glyph, 4 for space.
#include "test_fonts_support.h"

#include "gl.h"

#include <cstring>
#include <string>

namespace {

class TextTest : public FontTest {
protected:
    void SetUp() override {
        use_context(200, 100);
        load_test_font();
        font_state.quad_hook = [this](const TextQuad& q) { quads.push_back(q); };
    }

    static void load_test_font() {
        GlyphData g;
        for (int c = 0; c < 256; ++c) {
            if (c == 32)
                g.glyph(3, 0);
            else if (c == 'C')
                g.glyph(9, 10);
            else if (c == 'W')
                g.glyph(10, 10);
            else if (c == 'T')
                g.pixels(5, 10, stripes());
            else
                g.glyph(5, 10);
        }
        g.empty(44).glyph(7, 10).load("t");
    }

    // Columns white, white, grey 122, transparent, transparent.
    static std::vector<uint8_t> stripes() {
        std::vector<uint8_t> rows;
        for (int y = 0; y < 10; ++y) rows.insert(rows.end(), {15, 15, 27, 255, 255});
        return rows;
    }

    float draw(float left, float top, float right, float bottom, const char* text) {
        text_begin();
        const float y = text_draw(left, top, right, bottom, text, 0xFFFFFF);
        text_end();
        return y;
    }
    float draw_bytes(float left, float top, float right, float bottom, const std::vector<uint8_t>& text) {
        text_begin();
        const float y = text_draw_bytes(left, top, right, bottom, text.data(), text.size(), 0xFFFFFF);
        text_end();
        return y;
    }

    // Top-left corners of the quads drawn, as "x,y" pairs.
    std::vector<std::string> corners() const {
        std::vector<std::string> out;
        for (const TextQuad& q : quads) out.push_back(std::to_string(int(q.x0)) + "," + std::to_string(int(q.y0)));
        return out;
    }
    std::vector<uint32_t> slots() const {
        std::vector<uint32_t> out;
        for (const TextQuad& q : quads) out.push_back(q.slot);
        return out;
    }

    std::vector<TextQuad> quads;
};

using V = std::vector<std::string>;

std::vector<uint8_t> bytes(std::initializer_list<int> list) {
    std::vector<uint8_t> out;
    for (int b : list) out.push_back(static_cast<uint8_t>(b));
    return out;
}

}  // namespace

TEST_F(TextTest, LineWidth) {
    EXPECT_EQ(text_line_width(""), 0);
    EXPECT_EQ(text_line_width(nullptr), 0);
    EXPECT_EQ(text_line_width("\nab"), 0);
    EXPECT_EQ(text_line_width("a"), 5);
    EXPECT_EQ(text_line_width("ab"), 11);
    EXPECT_EQ(text_line_width("ab\ncd"), 11);
    EXPECT_EQ(text_line_width("a b"), 15);
    EXPECT_EQ(text_line_width("C"), 9);
    EXPECT_EQ(text_line_width("\x08"), 5);
    EXPECT_EQ(text_line_width("\xE9\xFF"), 11);
}

TEST_F(TextTest, LineWidthSkipsControlBytesAndTheirFollowers) {
    EXPECT_EQ(text_line_width("a\x02\x01\x2C" "b"), 11);    // glyph escape: two more
    EXPECT_EQ(text_line_width("a\x05\x03wxyzb"), 11);       // layout escape: five more
    EXPECT_EQ(text_line_width("a\x01zb"), 11);
    EXPECT_EQ(text_line_width("a\x07" "1234567b"), 11);
    EXPECT_EQ(text_line_width("a\x01\nb"), 11);             // a skipped new line ends nothing
    EXPECT_EQ(text_line_width("a\x05\x02"), 5);             // cut short by the end
    EXPECT_EQ(text_line_width_bytes(bytes({'a', 5, 2, 0, 2, 0, 0, 'b'}).data(), 8), 11);
    EXPECT_EQ(text_line_width_bytes(bytes({'a', 0, 'b'}).data(), 3), 5);
}

TEST_F(TextTest, LineWidthUsesTheFontsOwnScales) {
    // Width 1.5: each glyph trunc(7.5 + 0.5) + trunc(15 * 0.13 + 0.5) = 10.
    font_use_spec("t:width=1.5");
    EXPECT_EQ(text_line_width("ab"), 19);
    font_use_spec("t:boldness=0.2");
    EXPECT_EQ(text_line_width("ab"), 13);
    font_reset_for_tests();
    EXPECT_EQ(text_line_width("abc"), 14);   // no font: 5 a byte
    EXPECT_EQ(text_line_width("a\x01zb"), 9);
}

TEST_F(TextTest, OneLine) {
    EXPECT_EQ(draw(10, 20, 0, 0, "abc"), 20.0f);
    EXPECT_EQ(corners(), (V{"10,20", "16,20", "22,20"}));
    const BitmapFont* t = font_state.current;
    ASSERT_EQ(t->glyph_x['a'], 686u);
    ASSERT_EQ(t->texture_width, 2048u);
    ASSERT_EQ(t->texture_height, 16u);
    const TextQuad& q = quads[0];
    EXPECT_EQ(q.slot, uint32_t{'a'});
    EXPECT_FLOAT_EQ(q.x1, 15.0f);
    EXPECT_FLOAT_EQ(q.y1, 30.0f);
    EXPECT_FLOAT_EQ(q.u0, 686.0f / 2048);
    EXPECT_FLOAT_EQ(q.u1, 691.0f / 2048);
    EXPECT_FLOAT_EQ(q.v0, 0.0f);
    EXPECT_FLOAT_EQ(q.v1, 10.0f / 16);
}

TEST_F(TextTest, EveryByteButSpaceAndNewLineIsAGlyph) {
    draw(0, 0, 0, 0, "\x01\x03\x04\x06\x07\x08\x09\x0B\x0D\x1F\xE9 C");
    EXPECT_EQ(slots(), (std::vector<uint32_t>{1, 3, 4, 6, 7, 8, 9, 11, 13, 31, 0xE9, 'C'}));
    EXPECT_FLOAT_EQ(quads.back().x0, 11 * 6 + 4);
    EXPECT_FLOAT_EQ(quads.back().x1, 11 * 6 + 4 + 9);
}

TEST_F(TextTest, NullAndEmptyText) {
    EXPECT_EQ(draw(3, 7, 0, 0, nullptr), 7.0f);
    EXPECT_EQ(slots(), (std::vector<uint32_t>{'N', 'U', 'L', 'L', '?'}));
    quads.clear();
    BitmapFont* before = font_state.current;
    EXPECT_EQ(draw(3, 33, 0, 0, ""), 33.0f);
    EXPECT_TRUE(quads.empty());
    EXPECT_EQ(font_state.current, before);
}

TEST_F(TextTest, NewLines) {
    EXPECT_EQ(draw(10, 20, 0, 0, "a\nb"), 31.0f);
    EXPECT_EQ(corners(), (V{"10,20", "10,31"}));
    quads.clear();
    EXPECT_EQ(draw(10, 20, 0, 0, "a\n\nb"), 42.0f);
    quads.clear();
    // New lines do not test the bottom limit.
    EXPECT_EQ(draw(0, 20, 0, 25, "a\n\n\nb"), 53.0f);
    EXPECT_EQ(corners(), (V{"0,20", "0,53"}));
}

TEST_F(TextTest, WrapsWholeWordsAtSpaces) {
    EXPECT_EQ(draw(0, 0, 30, 0, "aa aa aa"), 11.0f);
    EXPECT_EQ(corners(), (V{"0,0", "6,0", "16,0", "22,0", "0,11", "6,11"}));
}

TEST_F(TextTest, RightZeroNeverWraps) {
    const std::string text(40, 'a');
    EXPECT_EQ(draw(0, 0, 0, 0, (text + " " + text).c_str()), 0.0f);
    EXPECT_EQ(quads.size(), 80u);
    EXPECT_FLOAT_EQ(quads.back().x0, 79 * 6 + 4);
    for (const TextQuad& q : quads) EXPECT_EQ(q.y0, 0.0f);
}

TEST_F(TextTest, BreaksWordsLongerThanTheLine) {
    // The glyph that passes right breaks the line, and the last one still
    // moves y down.
    EXPECT_EQ(draw(0, 0, 20, 0, "aaaaaaaa"), 22.0f);
    EXPECT_EQ(corners(), (V{"0,0", "6,0", "12,0", "18,0", "0,11", "6,11", "12,11", "18,11"}));
}

TEST_F(TextTest, NoBreakWhenASpaceFollows) {
    EXPECT_EQ(draw(0, 0, 20, 0, "aaaa b"), 11.0f);
    EXPECT_EQ(corners(), (V{"0,0", "6,0", "12,0", "18,0", "0,11"}));
}

TEST_F(TextTest, BottomLimitStopsAWrap) {
    EXPECT_EQ(draw(0, 0, 30, 10, "aa aa aa"), 11.0f);
    EXPECT_EQ(quads.size(), 4u);
    quads.clear();
    EXPECT_EQ(draw(0, 0, 30, 11, "aa aa aa"), 11.0f);
    EXPECT_EQ(quads.size(), 6u);
    quads.clear();
    EXPECT_EQ(draw(0, 0, 20, 5, "aaaaaaaa"), 11.0f);
    EXPECT_EQ(quads.size(), 4u);
}

TEST_F(TextTest, PenEscapeIsATabStop) {
    // 100.0f is 0x42C80000.
    EXPECT_EQ(draw_bytes(10, 0, 120, 0, bytes({5, 1, 0x00, 0x00, 0xC8, 0x42, 'a', 'a', ' ', 'b', 'b'})), 11.0f);
    EXPECT_EQ(corners(), (V{"100,0", "106,0", "10,11", "16,11"}));
}

TEST_F(TextTest, GlyphEscapes) {
    draw(0, 0, 0, 0, "\x02\x01\x2C" "a");
    EXPECT_EQ(slots(), (std::vector<uint32_t>{300, 'a'}));
    EXPECT_EQ(corners(), (V{"0,0", "8,0"}));
    EXPECT_FLOAT_EQ(quads[0].x1, 7.0f);
    quads.clear();

    // Slot 10 is a new line, slot 32 a space; 769 is no slot and draws nothing.
    EXPECT_EQ(draw_bytes(0, 0, 0, 0, bytes({'a', 2, 0, 10, 'b', 2, 0, 32, 'c', 2, 3, 1, 'd'})), 11.0f);
    EXPECT_EQ(corners(), (V{"0,0", "0,11", "10,11", "16,11"}));
}

TEST_F(TextTest, EscapesCutShortEndTheText) {
    for (const char* text : {"a\x02", "a\x02\x01", "a\x05\x01\x01\x01\x01", "a\x05"}) {
        quads.clear();
        EXPECT_EQ(draw(0, 4, 0, 0, text), 4.0f);
        EXPECT_EQ(slots(), (std::vector<uint32_t>{'a'})) << text;
    }
    quads.clear();
    EXPECT_EQ(draw_bytes(0, 4, 0, 0, bytes({'a', 2, 1})), 4.0f);
    EXPECT_EQ(quads.size(), 1u);
}

TEST_F(TextTest, SizeEscapeScalesGlyphsAndAdvances) {
    const BitmapFont* t = font_state.current;
    const FontStyle entry = font_state.current_style;
    // Size 512: glyphs 10 x 20, advance trunc(10 + 20 * 0.13 + 0.5) = 13.
    draw_bytes(0, 0, 0, 0, bytes({'a', 5, 2, 0x00, 0x02, 0, 0, 'b', 'b'}));
    EXPECT_EQ(corners(), (V{"0,0", "6,0", "19,0"}));
    EXPECT_FLOAT_EQ(quads[0].x1, 5.0f);
    EXPECT_FLOAT_EQ(quads[1].x1, 16.0f);
    EXPECT_FLOAT_EQ(quads[1].y1, 20.0f);
    EXPECT_NE(find("t:width=2:height=2"), nullptr);
    EXPECT_EQ(font_state.current, t);
    EXPECT_EQ(std::memcmp(&font_state.current_style, &entry, sizeof entry), 0);

    // A new line after it is trunc(10 * 2 + 0.5) + 1 down.
    quads.clear();
    EXPECT_EQ(draw_bytes(0, 0, 0, 0, bytes({5, 2, 0x00, 0x02, 0, 0, 'a', '\n', 'b'})), 21.0f);
}

TEST_F(TextTest, ShiftEscapeMovesTheBaseline) {
    // Shift 256 raises by trunc(trunc(256 * 10 * 1 + 128) / 256) = 10; shift 0
    // returns to the entry baseline.
    EXPECT_EQ(draw_bytes(0, 50, 0, 0, bytes({5, 2, 0, 1, 0, 1, 'a', 5, 2, 0, 1, 0, 0, 'b'})), 50.0f);
    EXPECT_EQ(corners(), (V{"0,40", "6,50"}));
    // Shift -256: trunc(-2432 / 256) rounds toward zero, 9 down.
    quads.clear();
    EXPECT_EQ(draw_bytes(0, 50, 0, 0, bytes({5, 2, 0, 1, 0, 0xFF, 'a'})), 59.0f);
    // One cell height times the entry height scale.
    font_use_spec("t:scale=2");
    quads.clear();
    draw_bytes(0, 50, 0, 0, bytes({5, 2, 0, 2, 0, 1, 'a'}));
    EXPECT_EQ(corners(), (V{"0,30"}));
}

TEST_F(TextTest, EndRestoresTheGlState) {
    GLint depth_before = 0, depth_after = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth_before);
    glEnable(GL_DEPTH_TEST);
    draw_bytes(0, 0, 0, 0, bytes({'a', 5, 2, 0x00, 0x02, 0, 0, 'b'}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth_after);
    EXPECT_EQ(depth_after, depth_before);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
}

namespace {

struct Pixel {
    int r, g, b;
};

// Draws 'T' at (10, 10) over grey 128 in a blend mode and reads its white,
// grey and transparent columns and a pixel beside it.
std::vector<Pixel> blend_sample(int mode, uint32_t colour) {
    glClearColor(128 / 255.0f, 128 / 255.0f, 128 / 255.0f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glBlendFunc(GL_ZERO, GL_ONE);
    text_set_blend_mode(mode);
    text_begin();
    text_draw(10, 10, 0, 0, "T", colour);
    text_end();
    const std::vector<uint8_t> frame = headless::read_frame_rgb();
    std::vector<Pixel> out;
    for (int x : {10, 12, 13, 30}) {
        const uint8_t* p = &frame[(15 * 200 + x) * 3];
        out.push_back({p[0], p[1], p[2]});
    }
    return out;
}

}  // namespace

TEST_F(TextTest, BlendModes) {
    std::vector<Pixel> p = blend_sample(1, 0xFFFFFF);  // opaque copy, transparent texels too
    EXPECT_EQ(p[0].r, 255);
    EXPECT_EQ(p[1].r, 122);
    EXPECT_EQ(p[2].r, 0);
    EXPECT_EQ(p[3].r, 128);

    p = blend_sample(2, 0x000000);  // darkening: every opaque texel black
    EXPECT_EQ(p[0].r, 0);
    EXPECT_EQ(p[1].r, 0);
    EXPECT_EQ(p[2].r, 128);

    p = blend_sample(3, 0xFFFFFF);  // screen: 122 + 128 * (1 - 122 / 255)
    EXPECT_EQ(p[0].r, 255);
    EXPECT_NEAR(p[1].r, 189, 1);
    EXPECT_EQ(p[2].r, 128);

    p = blend_sample(4, 0xFF0000);  // transparency, colour modulated
    EXPECT_EQ(p[0].r, 255);
    EXPECT_EQ(p[0].g, 0);
    EXPECT_EQ(p[1].r, 122);
    EXPECT_EQ(p[1].b, 0);
    EXPECT_EQ(p[2].r, 128);
    EXPECT_EQ(p[2].g, 128);

    p = blend_sample(9, 0xFFFFFF);  // unknown mode: the blend function as it was
    EXPECT_EQ(p[0].r, 128);
    EXPECT_EQ(p[1].r, 128);
}
