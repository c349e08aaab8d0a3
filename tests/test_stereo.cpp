// Eye views in every stereo mode, the row interlacer, offset editing and
// screenshots, checked pixel by pixel on the headless desktop.
#include "app/eye_views.h"

#include "bmp_files.h"
#include "gfx_opengl.h"
#include "gl.h"
#include "platform/headless.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const Rgb RED{255, 0, 0}, GREEN{0, 255, 0};

class Stereo : public testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        stereo_interlace_forget_texture();
        screen_width = screen_height = 0;
        fullscreen_offset_x = fullscreen_offset_y = 0;
        std::memset(key_state, 0, sizeof(key_state));
        std::memset(prev_key_state, 0, sizeof(prev_key_state));
    }
    void TearDown() override {
        config_free(&list_);
        headless::reset();
    }
    void open(int32_t w, int32_t h) {
        fullscreen_offset_y = top_;
        fullscreen_offset_x = 1;  // no display-mode change
        ASSERT_EQ(gfx_open_window(w, h, "t", nullptr), 1);
    }
    // A slide whose left eye is all red and right eye all green.
    void load_red_green(int32_t size) {
        write_solid_bmp("red.bmp", size, size, RED);
        write_solid_bmp("green.bmp", size, size, GREEN);
        write_file("config.txt", "Left image: red.bmp\nRight image: green.bmp\n");
        config_free(&list_);
        config_free(&list_);
    list_ = config_load("config.txt", ':');
        load_slide(&slide_, &list_, 1);
    }
    std::vector<uint8_t> draw(int32_t mode, int32_t swap = 0) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw_eye_views(slide_, {mode, 1.0f, slide_.texture_scale_x, slide_.texture_scale_y, 0, 0});
        if (mode == 3) stereo_interlace(swap);
        return headless::read_frame_rgb();
    }

    TempDir dir_;
    ConfigList list_ = dynarray_create(sizeof(ConfigEntry));
    Slide slide_{};
    int32_t top_ = 0;
};

// Which eye every pixel shows, as a function of (x, y) from the top left.
void expect_eyes(const std::vector<uint8_t>& rgb, int32_t w, int32_t h, const std::function<bool(int, int)>& left,
                 const std::string& what) {
    int wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Rgb want = left(x, y) ? RED : GREEN;
            if (!(pixel_at(rgb, w, x, y) == want) && wrong++ < 3)
                ADD_FAILURE() << what << ": pixel " << x << "," << y << " is " << pixel_at(rgb, w, x, y);
        }
    EXPECT_EQ(wrong, 0) << what;
}

// Rows of the frame, each one colour that names its row counted from the bottom.
Rgb row_colour(int32_t s) { return {static_cast<uint8_t>(s & 255), static_cast<uint8_t>(s >> 8), 77}; }

void draw_numbered_rows(int32_t w, int32_t h) {
    glBegin(GL_QUADS);
    for (int32_t y = 0; y < h; ++y) {
        Rgb c = row_colour(h - 1 - y);
        glColor3ub(c.r, c.g, c.b);
        glVertex2f(0, y);
        glVertex2f(w, y);
        glVertex2f(w, y + 1);
        glVertex2f(0, y + 1);
    }
    glEnd();
    glColor3f(1, 1, 1);
}

}  // namespace

TEST_F(Stereo, EveryModePutsEachEyeWhereItBelongs) {
    open(64, 64);
    load_red_green(64);
    auto right_only = [](int, int) { return false; };
    for (int32_t mode : {0, 9, -1}) expect_eyes(draw(mode), 64, 64, right_only, "mode " + std::to_string(mode));
    auto lower_left = [](int, int y) { return y >= 32; };
    expect_eyes(draw(1), 64, 64, lower_left, "mode 1");
    expect_eyes(draw(5), 64, 64, lower_left, "mode 5");
    auto left_half = [](int x, int) { return x < 32; };
    expect_eyes(draw(2), 64, 64, left_half, "mode 2");
    expect_eyes(draw(4), 64, 64, left_half, "mode 4");
    expect_eyes(draw(3), 64, 64, [](int, int y) { return y % 2 == 1; }, "mode 3");
    expect_eyes(draw(3, 1), 64, 64, [](int, int y) { return y % 2 == 0; }, "mode 3 swapped");
    free_slide(&slide_);
}

TEST_F(Stereo, InterlaceParityFollowsTheWindowsDesktopRow) {
    top_ = 1;
    open(64, 64);
    load_red_green(64);
    expect_eyes(draw(3), 64, 64, [](int, int y) { return y % 2 == 0; }, "odd top");
    expect_eyes(draw(3, 1), 64, 64, [](int, int y) { return y % 2 == 1; }, "odd top, swapped");
    free_slide(&slide_);
}

TEST_F(Stereo, ModesFourAndFiveRestoreTheWholeWindowProjection) {
    open(64, 32);
    load_red_green(64);
    draw(4);
    EXPECT_EQ(screen_width, 64);
    EXPECT_EQ(screen_height, 32);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 64);
    EXPECT_EQ(viewport[3], 32);
    // A pixel-projection quad still lands where the whole-window projection puts it.
    glBegin(GL_QUADS);
    glColor3f(1, 0, 0);
    glVertex2f(60, 0);
    glVertex2f(64, 0);
    glVertex2f(64, 2);
    glVertex2f(60, 2);
    glEnd();
    glColor3f(1, 1, 1);
    std::vector<uint8_t> rgb = headless::read_frame_rgb();
    EXPECT_EQ(pixel_at(rgb, 64, 62, 1), RED);
    EXPECT_EQ(pixel_at(rgb, 64, 62, 2), GREEN);
    free_slide(&slide_);
}

TEST(EyeQuad, CoverScaleZoomAndHalfTheOffsetPerEye) {
    EyeQuad left = eye_quad(1920, 1080, 800, 600, 1.0f, 0.02f, 0.0f, 0);
    EyeQuad right = eye_quad(1920, 1080, 800, 600, 1.0f, 0.02f, 0.0f, 1);
    EXPECT_FLOAT_EQ(right.right - right.left, 1920.0f);
    EXPECT_FLOAT_EQ(right.bottom - right.top, 1440.0f);
    EXPECT_FLOAT_EQ(right.top, -180.0f);
    EXPECT_FLOAT_EQ((left.left + left.right) / 2, 960.0f - 19.2f);
    EXPECT_FLOAT_EQ((right.left + right.right) / 2, 960.0f + 19.2f);

    EyeQuad zoomed = eye_quad(1920, 1080, 800, 600, 1.75f, 0.0f, 0.1f, 1);
    EXPECT_FLOAT_EQ(zoomed.right - zoomed.left, 3360.0f);
    EXPECT_FLOAT_EQ((zoomed.top + zoomed.bottom) / 2, 540.0f + 0.5f * 0.1f * 2520.0f);

    // Two screens side by side: each eye at its own screen's proportions.
    EyeQuad own = eye_quad(1920, 1080, 1920, 1080, 1.0f, 0, 0, 0);
    EXPECT_FLOAT_EQ(own.left, 0.0f);
    EXPECT_FLOAT_EQ(own.bottom, 1080.0f);

    EyeQuad empty = eye_quad(1920, 1080, 0, 600, 1.5f, 0.3f, 0.3f, 1);
    EXPECT_FLOAT_EQ(empty.left, 960.0f);
    EXPECT_FLOAT_EQ(empty.right, 960.0f);
    EXPECT_FLOAT_EQ(empty.top, 540.0f);
    EXPECT_FLOAT_EQ(empty.bottom, 540.0f);
}

TEST_F(Stereo, SameImageShowsEachHalfToItsEye) {
    open(64, 64);
    // Left half red, right half green: a side-by-side pair in one file.
    write_file("pair.bmp", bmp24(128, 64, [](int x, int) { return x < 64 ? RED : GREEN; }));
    write_file("config.txt", "Left image: pair.bmp\nRight image: pair.bmp\n");
    config_free(&list_);
    list_ = config_load("config.txt", ':');
    load_slide(&slide_, &list_, 1);
    ASSERT_EQ(slide_.same_image, 1);
    // Mode 2 with the texture's middle texel columns: left view left, right view right.
    std::vector<uint8_t> rgb = draw(2);
    EXPECT_EQ(pixel_at(rgb, 64, 8, 32), RED);
    EXPECT_EQ(pixel_at(rgb, 64, 24, 32), RED);
    EXPECT_EQ(pixel_at(rgb, 64, 40, 32), GREEN);
    EXPECT_EQ(pixel_at(rgb, 64, 56, 32), GREEN);
    free_slide(&slide_);
}

TEST_F(Stereo, AnEyeWithoutAPictureStaysBlack) {
    open(64, 64);
    write_solid_bmp("red.bmp", 64, 64, RED);
    write_file("config.txt", "Left image: red.bmp\nRight image: missing.bmp\n");
    config_free(&list_);
    list_ = config_load("config.txt", ':');
    load_slide(&slide_, &list_, 1);
    std::vector<uint8_t> rgb = draw(2);
    EXPECT_EQ(pixel_at(rgb, 64, 10, 10), RED);
    EXPECT_EQ(pixel_at(rgb, 64, 50, 10), (Rgb{0, 0, 0}));
    rgb = draw(0);
    EXPECT_EQ(pixel_at(rgb, 64, 50, 10), RED);  // the left eye is not covered
    free_slide(&slide_);
}

TEST_F(Stereo, PictureIsUpright) {
    open(64, 64);
    write_file("up.bmp", bmp24(64, 64, [](int, int y) { return y < 32 ? RED : GREEN; }));
    write_file("config.txt", "Left image: up.bmp\nRight image: up.bmp\n");
    config_free(&list_);
    list_ = config_load("config.txt", ':');
    load_slide(&slide_, &list_, 1);
    expect_eyes(draw(0), 64, 64, [](int, int y) { return y < 32; }, "top half red");
    free_slide(&slide_);
}

TEST_F(Stereo, InterlacedRowsComeFromTheirSourceRows) {
    for (int32_t h : {1080, 1081})
        for (int32_t top : {0, 1, -3})
            for (int32_t swap : {0, 1}) {
                SetUp();
                top_ = top;
                open(4, h);
                draw_numbered_rows(4, h);
                stereo_interlace(swap);
                std::vector<uint8_t> rgb = headless::read_frame_rgb();
                const int32_t parity = swap ^ (top & 1);
                int wrong = 0;
                for (int32_t y = 0; y < h; ++y) {
                    Rgb want = row_colour(interlace_source_row(h, parity, y));
                    for (int x : {0, 3})
                        if (!(pixel_at(rgb, 4, x, y) == want) && wrong++ < 3)
                            ADD_FAILURE() << "height " << h << " top " << top << " swap " << swap << " row " << y
                                          << " shows " << pixel_at(rgb, 4, x, y) << " not " << want;
                }
                EXPECT_EQ(wrong, 0);
            }
}

TEST(InterlaceRows, EvenAndOddHeights) {
    // 1080 rows, parity 0: the right view's top row first, then the left view's.
    EXPECT_EQ(interlace_source_row(1080, 0, 0), 1079);
    EXPECT_EQ(interlace_source_row(1080, 0, 1), 539);
    EXPECT_EQ(interlace_source_row(1080, 0, 1079), 0);
    EXPECT_EQ(interlace_source_row(1080, 1, 0), 539);
    EXPECT_EQ(interlace_source_row(1080, 1, 1), 1079);
    // 1081 rows: the top frame row belongs to neither view.
    EXPECT_EQ(interlace_source_row(1081, 0, 0), 1080);
    EXPECT_EQ(interlace_source_row(1081, 0, 1), 539);
    EXPECT_EQ(interlace_source_row(1081, 0, 2), 1079);
}

TEST_F(Stereo, CompositorTextureFollowsThePowerOfTwoBracket) {
    open(1920, 1080);
    stereo_interlace(0);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    EXPECT_EQ(w, 2048);
    EXPECT_EQ(h, 2048);
    GLint first = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &first);
    gfx_window_proc(window_handle, PLAT_MSG_SIZE, 0, 1280, 1024);
    stereo_interlace(0);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    EXPECT_EQ(w, 2048);
    EXPECT_EQ(h, 1024);
    EXPECT_FALSE(glIsTexture(first));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(Stereo, OffsetEditAppendsUntilTheSlidesEntryExists) {
    headless::state().window = {100, 200, 300, 400};
    SimpleBitmap left{};
    left.width = 200;
    left.height = 100;
    float ox = 0.05f, oy = 0;
    key_state[VK_KEY_SHIFT] = 0x80;
    headless::state().cursor_x = 0;
    for (int frame = 1; frame <= 4; ++frame) {
        edit_stereo_offset(&list_, 3, left, &ox, &oy);
        prev_key_state[VK_KEY_SHIFT] = 0x80;
        EXPECT_EQ(headless::state().cursor_x, 200);
        EXPECT_EQ(headless::state().cursor_y, 300);
        EXPECT_EQ(list_.count, frame <= 3 ? static_cast<uint32_t>(frame) : 3u) << frame;
        headless::state().cursor_x = 200 + 20;  // the mouse moves 20 pixels right
    }
    // Three moves of 20 pixels on a 200-pixel image.
    EXPECT_FLOAT_EQ(ox, 0.35f);
    EXPECT_STREQ(config_entry(&list_, 0)->value, "0.05,0");
    EXPECT_STREQ(config_entry(&list_, 1)->value, "0.15,0");
    EXPECT_STREQ(config_entry(&list_, 2)->value, "0.35,0");

    key_state[VK_KEY_CONTROL] = 0x80;
    headless::state().cursor_y = 300 - 10;
    edit_stereo_offset(&list_, 3, left, &ox, &oy);
    EXPECT_STREQ(config_entry(&list_, 2)->value, "0.35,-0.1");
}

TEST_F(Stereo, OffsetEditOnAnEmptyImageWritesOnlyNumbers) {
    headless::state().window = {0, 0, 64, 64};
    SimpleBitmap empty{};
    float ox = 0.25f, oy = -0.5f;
    key_state[VK_KEY_SHIFT] = 0x80;
    headless::state().cursor_x = 1000;
    headless::state().cursor_y = 1000;
    edit_stereo_offset(&list_, 1, empty, &ox, &oy);
    key_state[VK_KEY_CONTROL] = 0x80;
    prev_key_state[VK_KEY_SHIFT] = 0x80;
    headless::state().cursor_y = 1000;
    edit_stereo_offset(&list_, 1, empty, &ox, &oy);
    ASSERT_EQ(list_.count, 1u);
    EXPECT_STREQ(config_entry(&list_, 0)->value, "0.25,-0.5");
}

TEST_F(Stereo, WithoutShiftNothingIsWritten) {
    SimpleBitmap left{};
    left.width = 10;
    left.height = 10;
    float ox = 0, oy = 0;
    edit_stereo_offset(&list_, 1, left, &ox, &oy);
    EXPECT_EQ(list_.count, 0u);
    EXPECT_TRUE(headless::state().cursor_moves.empty());
}

TEST(Screenshot, NumberAdvancesEveryThreeTenthsAndWraps) {
    EXPECT_EQ(screenshot_number(1234.5), 4115);
    EXPECT_EQ(screenshot_number(30000.0), 0);
    EXPECT_EQ(screenshot_number(0.29), 0);
    EXPECT_EQ(screenshot_number(0.3), 1);
    EXPECT_EQ(screenshot_number(29999.99), 99999);
}

TEST_F(Stereo, BmpFileLayout) {
    std::vector<uint8_t> pixels(4100 * 768, 0x5A);
    bmp_save_and_convert(pixels.data(), 1366, 768, "shot.bmp", 0);
    const std::string file = read_file("shot.bmp");
    ASSERT_EQ(file.size(), 3148854u);
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(file[at]) | static_cast<uint8_t>(file[at + 1]) << 8 |
                                     static_cast<uint8_t>(file[at + 2]) << 16 |
                                     static_cast<uint32_t>(static_cast<uint8_t>(file[at + 3])) << 24);
    };
    auto u16 = [&](size_t at) { return static_cast<uint32_t>(u32(at) & 0xFFFF); };
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(u32(2), 3148854u);
    EXPECT_EQ(u32(6), 0u);
    EXPECT_EQ(u32(10), 54u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(18), 1366u);
    EXPECT_EQ(u32(22), 768u);
    EXPECT_EQ(u16(26), 1u);
    EXPECT_EQ(u16(28), 24u);
    EXPECT_EQ(u32(30), 0u);
    EXPECT_EQ(u32(34), 3148800u);
    EXPECT_EQ(u32(38), 2834u);
    EXPECT_EQ(u32(42), 2834u);
    EXPECT_EQ(u32(46), 0u);
    EXPECT_EQ(u32(50), 0u);
    EXPECT_EQ(static_cast<uint8_t>(file[54]), 0x5A);
    EXPECT_TRUE(headless::state().commands.empty());
}

TEST_F(Stereo, ConverterDecidesByThePngAlone) {
    uint8_t pixel[4] = {1, 2, 3, 0};
    bmp_save_and_convert(pixel, 1, 1, "a.b.bmp", 1);
    ASSERT_EQ(headless::state().commands.size(), 1u);
    EXPECT_EQ(headless::state().commands[0], "magick -quality 95 \"a.b.bmp\" \"a.b.png\"");
    EXPECT_TRUE(file_exists("a.b.bmp"));  // no converter here: the BMP stays

    write_file("shot.png", "made by the converter");
    bmp_save_and_convert(pixel, 1, 1, "shot.bmp", 1);
    EXPECT_FALSE(file_exists("shot.bmp"));

    bmp_save_and_convert(pixel, 1, 1, ".hidden", 1);
    EXPECT_EQ(headless::state().commands.back(), "magick -quality 95 \".hidden\" \".hidden.png\"");
}
