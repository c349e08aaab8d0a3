#include "app/parallaxon.h"

#include "bmp_files.h"
#include "gfx_opengl.h"
#include "platform/headless.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Slides : public testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        headless::make_gl_context(64, 64);
        screen_width = 1920;
        screen_height = 1080;
    }
    void TearDown() override {
        config_free(&list_);
        headless::reset();
    }
    void settings(const std::string& text) {
        write_file("config.txt", text);
        config_free(&list_);
        list_ = config_load("config.txt", ':');
    }
    Slide load(int n) {
        Slide slide = previous_;
        load_slide(&slide, &list_, n);
        return slide;
    }

    TempDir dir_;
    ConfigList list_ = dynarray_create(sizeof(ConfigEntry));
    Slide previous_{};
};

}  // namespace

TEST_F(Slides, EachKeyIsCountedOnItsOwn) {
    write_solid_bmp("a.bmp", 4, 4, {255, 0, 0});
    write_solid_bmp("b.bmp", 8, 2, {0, 255, 0});
    settings(
        "Left image: a.bmp\nRight image: b.bmp\n"
        "Left image: b.bmp\nRight image: a.bmp\nStereo offset: 0.02,0.01\nCaption: second\n");
    previous_.stereo_offset_x = 0.5f;
    previous_.stereo_offset_y = 0.25f;
    Slide first = load(1);
    EXPECT_EQ(first.left_image.width, 4);
    EXPECT_EQ(first.right_image.width, 8);
    // The only offset entry is the first of its key, so slide 1 takes it.
    EXPECT_FLOAT_EQ(first.stereo_offset_x, 0.02f);
    EXPECT_FLOAT_EQ(first.stereo_offset_y, 0.01f);
    EXPECT_STREQ(first.caption.text, "second");
    free_slide(&first);

    Slide second = load(2);
    EXPECT_EQ(second.left_image.width, 8);
    EXPECT_FLOAT_EQ(second.stereo_offset_x, 0.5f);  // no second entry: the record's value stays
    EXPECT_FLOAT_EQ(second.stereo_offset_y, 0.25f);
    EXPECT_STREQ(second.caption.text, "");
    free_slide(&second);
}

TEST_F(Slides, TextureScaleComesFromTheLeftImageAndTheRightTexture) {
    write_solid_bmp("left.bmp", 640, 480, {1, 2, 3});
    write_solid_bmp("right.bmp", 100, 100, {4, 5, 6});
    settings("Left image: left.bmp\nRight image: right.bmp\n");
    Slide slide = load(1);
    EXPECT_EQ(slide.texture_width, 128);
    EXPECT_EQ(slide.texture_height, 128);
    EXPECT_FLOAT_EQ(slide.texture_scale_x, 5.0f);
    EXPECT_FLOAT_EQ(slide.texture_scale_y, 3.75f);
    EXPECT_EQ(slide.same_image, 0);
    free_slide(&slide);

    settings("Left image: left.bmp\nRight image: left.bmp\n");
    slide = load(1);
    EXPECT_EQ(slide.texture_width, 1024);
    EXPECT_EQ(slide.texture_height, 512);
    EXPECT_FLOAT_EQ(slide.texture_scale_x, 0.625f);
    EXPECT_FLOAT_EQ(slide.texture_scale_y, 0.9375f);
    free_slide(&slide);
}

TEST_F(Slides, SameImageFlagIgnoresLetterCase) {
    write_solid_bmp("pair.bmp", 8, 4, {9, 9, 9});
    settings("Left image: pair.bmp\nRight image: PAIR.bmp\n");
    Slide slide = load(1);
    EXPECT_EQ(slide.same_image, 1);
    free_slide(&slide);
    settings("Left image: pair.bmp\n");
    slide = load(1);
    EXPECT_EQ(slide.same_image, 0);
    free_slide(&slide);
}

TEST_F(Slides, MissingAndBrokenFilesGiveEmptyImagesAndPlaceholders) {
    write_file("empty.bmp", "");
    write_file("short.bmp", "BM\x10\x00");
    settings("Left image: nowhere.bmp\nRight image: empty.bmp\nLeft image: short.bmp\n");
    for (int n : {1, 2, 3}) {
        Slide slide = load(n);
        EXPECT_EQ(slide.left_image.width, 0) << n;
        EXPECT_EQ(slide.left_image.pixels, nullptr) << n;
        EXPECT_EQ(slide.right_image.width, 0) << n;
        EXPECT_EQ(slide.texture_width, 1) << n;
        EXPECT_EQ(slide.texture_height, 1) << n;
        EXPECT_FLOAT_EQ(slide.texture_scale_x, 0.0f) << n;
        EXPECT_NE(slide.textures[0], 0u) << n;
        EXPECT_NE(slide.textures[1], 0u) << n;
        free_slide(&slide);
    }
}

TEST_F(Slides, OffsetFieldsThatCannotBeReadKeepTheirValues) {
    const std::pair<const char*, std::pair<float, float>> cases[] = {
        {"0.1", {0.1f, 0.5f}},        {"x,0.2", {0.25f, 0.5f}},   {"0.1,y", {0.1f, 0.5f}},
        {"-0.03 , 0.2", {-0.03f, 0.5f}}, {"-0.03, 0.2", {-0.03f, 0.2f}}, {"1e-2,2E-1", {0.01f, 0.2f}},
        {"1e99,nan", {0.25f, 0.5f}},
    };
    for (auto& [text, expected] : cases) {
        settings(std::string("Stereo offset: ") + text + "\n");
        previous_.stereo_offset_x = 0.25f;
        previous_.stereo_offset_y = 0.5f;
        Slide slide = load(1);
        EXPECT_FLOAT_EQ(slide.stereo_offset_x, expected.first) << text;
        EXPECT_FLOAT_EQ(slide.stereo_offset_y, expected.second) << text;
        free_slide(&slide);
    }
}

TEST_F(Slides, CaptionColumnAndVerticalMarker) {
    settings("Caption: Sunset over the bay$y=0.85\n"
             "Caption: Upper case $Y=0.5 is found too\n"
             "Caption: Bad number $y=abc\n"
             "Caption: plain\n");
    Slide slide = load(1);
    EXPECT_STREQ(slide.caption.text, "Sunset over the bay");
    EXPECT_EQ(slide.caption.top_y, 918);
    EXPECT_EQ(slide.caption.left_x, 240);
    EXPECT_EQ(slide.caption.right_x, 1680);
    EXPECT_FLOAT_EQ(slide.caption.size, 0.03f);
    EXPECT_EQ(slide.caption.first_time, 0);
    EXPECT_EQ(slide.caption.last_time, 0);
    free_slide(&slide);

    slide = load(2);
    EXPECT_STREQ(slide.caption.text, "Upper case ");
    EXPECT_EQ(slide.caption.top_y, 540);
    free_slide(&slide);

    slide = load(3);
    EXPECT_STREQ(slide.caption.text, "Bad number ");
    EXPECT_EQ(slide.caption.top_y, 0);
    free_slide(&slide);

    screen_width = 1366;
    slide = load(4);
    EXPECT_STREQ(slide.caption.text, "plain");
    EXPECT_EQ(slide.caption.top_y, 0);
    EXPECT_EQ(slide.caption.left_x, 170);
    EXPECT_EQ(slide.caption.right_x, 1195);
    free_slide(&slide);
}

TEST_F(Slides, FreeReleasesTexturesAndBuffers) {
    write_solid_bmp("a.bmp", 4, 4, {255, 0, 0});
    settings("Left image: a.bmp\nRight image: a.bmp\nCaption: x\n");
    Slide slide = load(1);
    GLuint textures[2] = {slide.textures[0], slide.textures[1]};
    ASSERT_TRUE(glIsTexture(textures[0]));
    free_slide(&slide);
    EXPECT_FALSE(glIsTexture(textures[0]));
    EXPECT_FALSE(glIsTexture(textures[1]));
    EXPECT_EQ(slide.left_image.pixels, nullptr);
    EXPECT_EQ(slide.caption.text, nullptr);
}

TEST(FindTextNocase, PositionInTheGivenText) {
    const char* text = "Hello $Y=0.5 world";
    EXPECT_EQ(find_text_nocase(text, "$y="), text + 6);
    EXPECT_EQ(find_text_nocase(text, "WORLD"), text + 13);
    EXPECT_EQ(find_text_nocase(text, "absent"), nullptr);
    EXPECT_EQ(find_text_nocase(text, ""), text);
}
