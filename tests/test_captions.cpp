// Captions: scale from the screen height, four outline passes and the face.
#include "test_fonts_support.h"

#include "app/parallaxon.h"
#include "gl.h"

#include <algorithm>
#include <string>

namespace {

class CaptionTest : public FontTest {
protected:
    void SetUp() override {
        use_context(1920, 1080);
        load_builtin();
        font_state.quad_hook = [this](const TextQuad& q) { quads.push_back(q); };
    }

    void draw(const char* text, int32_t left, int32_t top, int32_t right, float size = 0.03f) {
        std::string copy = text;
        Caption c{0, 0, &copy[0], left, top, right, size};
        draw_caption(c);
    }

    std::vector<TextQuad> quads;
};

}  // namespace

TEST_F(CaptionTest, ScaleTwoOn1080Rows) {
    draw("Hi", 240, 0, 1680);
    // 32.4 / 20 + 0.5 = 2.12: scale 2.
    EXPECT_STREQ(font_state.current->name, "caption:width=2:height=2");
    EXPECT_EQ(font_state.blend_mode, 3);
    ASSERT_EQ(quads.size(), 10u);
    // One glyph per pass: right, left, down, up, then the face.
    const float xs[] = {241, 239, 240, 240, 240};
    const float ys[] = {0, 0, 1, -1, 0};
    for (int pass = 0; pass < 5; ++pass) {
        EXPECT_EQ(quads[pass * 2].slot, uint32_t{'H'});
        EXPECT_FLOAT_EQ(quads[pass * 2].x0, xs[pass]) << pass;
        EXPECT_FLOAT_EQ(quads[pass * 2].y0, ys[pass]) << pass;
        EXPECT_FLOAT_EQ(quads[pass * 2].y1 - quads[pass * 2].y0, 40.0f);
    }
}

TEST_F(CaptionTest, ScaleFollowsTheScreenHeight) {
    screen_height = 2160;  // 64.8 / 20 + 0.5 = 3.74
    draw("x", 240, 0, 1680);
    EXPECT_STREQ(font_state.current->name, "caption:width=3:height=3");
    EXPECT_FLOAT_EQ(quads.back().y1 - quads.back().y0, 60.0f);
}

TEST_F(CaptionTest, TinyScaleIsOne) {
    draw("x", 240, 0, 1680, 0.005f);  // 5.4 / 20 + 0.5 = 0.77
    EXPECT_STREQ(font_state.current->name, "caption");
    EXPECT_EQ(font_count(), 1u);
    EXPECT_FLOAT_EQ(quads.back().y1 - quads.back().y0, 20.0f);
}

TEST_F(CaptionTest, EmptyCaptionSelectsTheFontAndDrawsNothing) {
    draw("", 240, 0, 1680);
    EXPECT_TRUE(quads.empty());
    EXPECT_STREQ(font_state.current->name, "caption:width=2:height=2");
    EXPECT_EQ(font_state.blend_mode, 3);
}

TEST_F(CaptionTest, LongCaptionWrapsInsideTheColumnAndStopsAtTheBottom) {
    std::string text;
    for (int i = 0; i < 400; ++i) text += "Stereo pair ";
    draw(text.c_str(), 240, 0, 1680);
    float lowest = 0;
    for (const TextQuad& q : quads) {
        EXPECT_GE(q.x0, 239.0f);
        EXPECT_LE(q.x0, 1681.0f);
        lowest = std::max(lowest, q.y0);
    }
    // Lines 41 apart (cell 40 + 1): the last line starting at or above 1080.
    EXPECT_GT(lowest, 1000.0f);
    EXPECT_LE(lowest, 1081.0f);
    EXPECT_EQ(static_cast<int>(quads.back().y0) % 41, 0);
}

TEST_F(CaptionTest, WhiteFaceWithBlackOutline) {
    glClearColor(128 / 255.0f, 128 / 255.0f, 128 / 255.0f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    draw("l", 100, 100, 1800);
    // 'l' is a column of full ink; scan the middle of its height.
    const std::vector<uint8_t> frame = headless::read_frame_rgb();
    const int y = 100 + 20;
    std::vector<int> row;
    for (int x = 90; x < 120; ++x) row.push_back(frame[(static_cast<size_t>(y) * 1920 + x) * 3]);
    const auto brightest = std::max_element(row.begin(), row.end());
    EXPECT_EQ(*brightest, 255);
    EXPECT_LT(*std::min_element(row.begin(), brightest), 40);
    EXPECT_LT(*std::min_element(brightest, row.end()), 40);
    EXPECT_EQ(row.front(), 128);
    EXPECT_EQ(row.back(), 128);
}
