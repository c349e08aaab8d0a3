#include "display_settings.h"

#include "gfx_opengl.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class DisplaySettings : public testing::Test {
protected:
    void SetUp() override {
        screen_width = screen_height = 0;
        fullscreen_offset_x = fullscreen_offset_y = 0;
    }
    void TearDown() override { config_free(&list_); }

    void load(const std::string& text) {
        config_free(&list_);
        TempDir dir;
        write_file("config.txt", text);
        list_ = config_load("config.txt", ':');
    }
    std::pair<int32_t, int32_t> resolution(const std::string& value) {
        SetUp();
        load("Resolution: " + value + "\n");
        read_resolution(&list_);
        return {screen_width, screen_height};
    }

    ConfigList list_ = dynarray_create(sizeof(ConfigEntry));
};

using Pair = std::pair<int32_t, int32_t>;

}  // namespace

TEST_F(DisplaySettings, EmptyFileGetsTheThreeDescriptiveEntriesInOrder) {
    load("");
    int32_t mode = -1, swap = -1;
    read_stereo_settings(&list_, &mode, &swap);
    EXPECT_EQ(Pair(screen_width, screen_height), Pair(0, 0));
    EXPECT_EQ(Pair(fullscreen_offset_x, fullscreen_offset_y), Pair(0, 0));
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(swap, 0);
    ASSERT_EQ(list_.count, 3u);
    EXPECT_STREQ(config_entry(&list_, 0)->key, "Resolution (XxY, 'auto', 'span', 'display N' or 'span N,M...')");
    EXPECT_STREQ(config_entry(&list_, 0)->value, "auto");
    EXPECT_STREQ(config_entry(&list_, 1)->key,
                 "Stereo mode (0=none,1=top/bottom,2=side-by-side,3=interlace,4=two screen SBS,"
                 "5=two screen vertical,6-8=coloured)");
    EXPECT_STREQ(config_entry(&list_, 1)->value, "0");
    EXPECT_STREQ(config_entry(&list_, 2)->key, "Swap stereo (Y/N)");
    EXPECT_STREQ(config_entry(&list_, 2)->value, "N");
}

TEST_F(DisplaySettings, ResolutionForms) {
    EXPECT_EQ(resolution("1920x1080"), Pair(1920, 1080));
    EXPECT_EQ(resolution("1920X1080"), Pair(1920, 0));
    EXPECT_EQ(resolution("1920 x 1080"), Pair(1920, 0));
    EXPECT_EQ(resolution("1920"), Pair(1920, 0));
    EXPECT_EQ(resolution("AUTO"), Pair(0, 0));
    EXPECT_EQ(resolution("Display 3"), Pair(0, 3));
    EXPECT_EQ(resolution("display2"), Pair(0, 2));
    EXPECT_EQ(resolution("display  2"), Pair(0, 2));
    EXPECT_EQ(resolution("display"), Pair(0, 0));
    EXPECT_EQ(resolution("span"), Pair(-1, -1));
    EXPECT_EQ(resolution("SPAN"), Pair(-1, -1));
    EXPECT_EQ(resolution("span 1,3"), Pair(-1, 5));
    EXPECT_EQ(resolution("span 2 4"), Pair(-1, 10));
    EXPECT_EQ(resolution("spanish"), Pair(-1, 0));
    EXPECT_EQ(resolution("span 1.5"), Pair(-1, 1));
    EXPECT_EQ(resolution("span 2e3,3"), Pair(-1, 6));
    EXPECT_EQ(resolution("span 0"), Pair(-1, INT32_MIN));
    EXPECT_EQ(resolution("span 33"), Pair(-1, 1));
    EXPECT_EQ(resolution("span -2"), Pair(-1, 2));
    EXPECT_EQ(resolution("nonsense"), Pair(0, 0));
}

TEST_F(DisplaySettings, PlainResolutionBeatsTheDescriptiveOneAndLaterWins) {
    load("Resolution (XxY, 'auto', 'span', 'display N' or 'span N,M...'): span\n"
         "Resolution: 800x600\n"
         "Resolution: 1024x768\n");
    read_resolution(&list_);
    EXPECT_EQ(Pair(screen_width, screen_height), Pair(1024, 768));
    EXPECT_EQ(list_.count, 3u);
}

TEST_F(DisplaySettings, AnyKeyBeginningWithResolutionPreventsTheDefault) {
    load("Resolution2: 640x480\n");
    read_resolution(&list_);
    EXPECT_EQ(Pair(screen_width, screen_height), Pair(640, 480));
    EXPECT_EQ(list_.count, 1u);
}

TEST_F(DisplaySettings, FullscreenOffset) {
    load("Fullscreen offset: 100,-20\n");
    read_resolution(&list_);
    EXPECT_EQ(Pair(fullscreen_offset_x, fullscreen_offset_y), Pair(100, -20));
    config_free(&list_);
    SetUp();
    load("Fullscreen offset: 100\n");
    read_resolution(&list_);
    EXPECT_EQ(Pair(fullscreen_offset_x, fullscreen_offset_y), Pair(100, 0));
}

TEST_F(DisplaySettings, StereoModeAndSwap) {
    load("Stereo mode: 12\nSwap stereo: yes\n");
    int32_t mode = 0, swap = 0;
    read_stereo_settings(&list_, &mode, &swap);
    EXPECT_EQ(mode, 12);
    EXPECT_EQ(swap, 1);
    for (const char* no : {"N", "no", "0", ""}) {
        config_free(&list_);
        load(std::string("Swap stereo: ") + no + "\n");
        read_stereo_settings(&list_, &mode, &swap);
        EXPECT_EQ(swap, 0) << no;
    }
}

TEST_F(DisplaySettings, PlainStereoModeStillGainsTheDescriptiveEntry) {
    load("Stereo mode: 3\n");
    int32_t mode = 0, swap = 0;
    read_stereo_settings(&list_, &mode, &swap);
    EXPECT_EQ(mode, 3);
    ASSERT_EQ(list_.count, 4u);
    EXPECT_STREQ(config_entry(&list_, 2)->value, "0");
    // The next run reads the rewritten file and still uses 3, adding nothing.
    int32_t again = 0;
    read_stereo_settings(&list_, &again, &swap);
    EXPECT_EQ(again, 3);
    EXPECT_EQ(list_.count, 4u);
}
