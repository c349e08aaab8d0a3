// Whole runs of the slideshow on the headless desktop: scripted keys, mouse
// and clock, frames read back at every buffer swap.
#include "app/parallaxon.h"

#include "bitmapfonts.h"
#include "bmp_files.h"
#include "gfx_opengl.h"
#include "platform/headless.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>

namespace {

const Rgb RED{255, 0, 0}, GREEN{0, 255, 0}, BLUE{0, 0, 255}, WHITE{255, 255, 255};

const char* const DESCRIPTIVE_ENTRIES =
    "Resolution (XxY, 'auto', 'span', 'display N' or 'span N,M...'): auto\n"
    "Stereo mode (0=none,1=top/bottom,2=side-by-side,3=interlace,4=two screen SBS,5=two screen vertical,"
    "6-8=coloured): 0\n"
    "Swap stereo (Y/N): N\n";

class App : public testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        font_reset_for_tests();
        stereo_interlace_forget_texture();
        screen_width = screen_height = 0;
        fullscreen_offset_x = fullscreen_offset_y = 0;
        quit_requested = 0;
        minimise_pending = 0;
        headless::state().primary_w = 64;
        headless::state().primary_h = 64;
        headless::state().monitors = {{0, 0, 64, 64}};
    }
    void TearDown() override { headless::reset(); }

    // Keys held from the given frame on (frame 0 is the first drawn frame);
    // the run presses Esc at `frames` unless something ends it earlier.
    int run(int frames) {
        headless::State& s = headless::state();
        s.on_pump = [this, frames](int pump) {
            headless::State& st = headless::state();
            if (pump == frames) st.keys[VK_KEY_ESCAPE] = 0x80;
            auto it = script.find(pump);
            if (it != script.end()) it->second(st);
        };
        s.on_swap = [this](int) {
            std::vector<uint8_t> rgb = headless::read_frame_rgb();
            centre.push_back(pixel_at(rgb, screen_width, screen_width / 2, screen_height / 2));
            if (keep_frames) frames_seen.push_back(std::move(rgb));
        };
        return app_main("", nullptr);
    }
    // At pump k (the pump after frame k - 1), before the snapshot is taken.
    void at(int pump, std::function<void(headless::State&)> action) { script[pump] = std::move(action); }
    static void down(headless::State& s, uint8_t vk) { s.keys[vk] = 0x80; }
    static void up(headless::State& s, uint8_t vk) { s.keys[vk] = 0; }

    TempDir dir;
    std::map<int, std::function<void(headless::State&)>> script;
    std::vector<Rgb> centre;
    std::vector<std::vector<uint8_t>> frames_seen;
    bool keep_frames = false;
};

std::string three_solid_slides() {
    write_solid_bmp("red.bmp", 64, 64, RED);
    write_solid_bmp("green.bmp", 64, 64, GREEN);
    write_solid_bmp("blue.bmp", 64, 64, BLUE);
    return "Left image: red.bmp\nRight image: red.bmp\n"
           "Left image: green.bmp\nRight image: green.bmp\n"
           "Left image: blue.bmp\nRight image: blue.bmp\n";
}

}  // namespace

TEST_F(App, EmptySettingsFileGainsTheDescriptiveEntriesOnEsc) {
    write_file("config.txt", "");
    EXPECT_EQ(run(3), 0);
    EXPECT_EQ(read_file("config.txt"), text_mode(DESCRIPTIVE_ENTRIES));
    EXPECT_EQ(headless::state().title, "Parallaxon [Qorvath 2014-15]");
    EXPECT_EQ(headless::state().swaps, 3);
    EXPECT_EQ(headless::state().hide_cursor_calls, 1);
}

TEST_F(App, MissingSettingsFileIsCreatedAtExit) {
    EXPECT_EQ(run(0), 0);
    EXPECT_EQ(read_file("config.txt"), text_mode(DESCRIPTIVE_ENTRIES));
}

TEST_F(App, HeldQEndsAtTheEndOfTheFrame) {
    write_file("config.txt", "A comment\nSlide time: 100\n");
    at(2, [](headless::State& s) { down(s, 'Q'); });
    EXPECT_EQ(run(50), 0);
    EXPECT_EQ(headless::state().swaps, 2);
    EXPECT_EQ(read_file("config.txt"), text_mode(std::string("Slide time: 100\n") + DESCRIPTIVE_ENTRIES));
}

TEST_F(App, ClosedWindowSavesLikeEsc) {
    write_file("config.txt", "Stereo mode: 2\n");
    at(1, [](headless::State& s) { s.close_window = true; });
    EXPECT_EQ(run(50), 0);
    EXPECT_EQ(headless::state().swaps, 1);
    EXPECT_EQ(headless::state().release_calls, 1);
    EXPECT_EQ(read_file("config.txt").rfind(text_mode("Stereo mode: 2\n"), 0), 0u);
}

TEST_F(App, ZeroSizedWindowEndsQuietlyWithoutWriting) {
    const std::string text = "Note\nResolution: 800x0\n";
    write_file("config.txt", text);
    EXPECT_EQ(run(5), 0);
    EXPECT_FALSE(headless::state().window_open);
    EXPECT_EQ(read_file("config.txt"), text);
}

TEST_F(App, ArrowsStepWithoutWrapping) {
    write_file("config.txt", three_solid_slides() + "Slide time: 1000\nSlide pause before zoom: 1000\n");
    at(1, [](headless::State& s) { down(s, VK_KEY_LEFT); });    // frame 1: at slide 1, nothing
    at(2, [](headless::State& s) { up(s, VK_KEY_LEFT); down(s, VK_KEY_RIGHT); });  // frame 2: slide 2
    at(3, [](headless::State& s) { up(s, VK_KEY_RIGHT); });
    at(4, [](headless::State& s) { down(s, VK_KEY_RIGHT); });  // frame 4: slide 3
    at(5, [](headless::State& s) { up(s, VK_KEY_RIGHT); });
    at(6, [](headless::State& s) { down(s, VK_KEY_RIGHT); });  // frame 6: last slide, nothing
    at(7, [](headless::State& s) { up(s, VK_KEY_RIGHT); down(s, VK_KEY_LEFT); });  // frame 7: slide 2
    EXPECT_EQ(run(8), 0);
    EXPECT_EQ(centre, (std::vector<Rgb>{RED, RED, GREEN, GREEN, BLUE, BLUE, BLUE, GREEN}));
}

TEST_F(App, LeftAndRightTogetherReloadTheSlide) {
    write_file("config.txt", three_solid_slides() + "Slide time: 1000\n");
    at(1, [](headless::State& s) { down(s, VK_KEY_RIGHT); });
    at(2, [](headless::State& s) { up(s, VK_KEY_RIGHT); });
    at(3, [](headless::State& s) { down(s, VK_KEY_LEFT); down(s, VK_KEY_RIGHT); });
    EXPECT_EQ(run(5), 0);
    EXPECT_EQ(centre, (std::vector<Rgb>{RED, GREEN, GREEN, GREEN, GREEN}));
}

TEST_F(App, TimedAdvanceInFileOrderWrapsToTheFirstSlide) {
    // 60 frames a second: each slide lasts 0.05 s, that is 3 frames.
    write_file("config.txt", three_solid_slides() + "Slide time: 0.05\n");
    EXPECT_EQ(run(12), 0);
    EXPECT_EQ(centre, (std::vector<Rgb>{RED, RED, RED, GREEN, GREEN, GREEN, BLUE, BLUE, BLUE, RED, RED, RED}));
}

TEST_F(App, WithoutSlideTimesEveryFrameAdvances) {
    write_file("config.txt", three_solid_slides());
    EXPECT_EQ(run(4), 0);
    // The first frame comes before any time has passed.
    EXPECT_EQ(centre, (std::vector<Rgb>{RED, GREEN, BLUE, RED}));
}

TEST_F(App, PauseStopsTheClockAndResumesWithoutAJump) {
    write_file("config.txt", three_solid_slides() + "Slide time: 0.05\n");
    at(1, [](headless::State& s) { down(s, 'P'); });   // frame 1 pauses
    at(2, [](headless::State& s) { up(s, 'P'); });
    at(9, [](headless::State& s) { down(s, 'P'); });   // frame 9 resumes
    at(10, [](headless::State& s) { up(s, 'P'); });
    EXPECT_EQ(run(13), 0);
    // Frames 1 to 8 stand still; from frame 9 on the clock counts again
    // from where it stopped, reaching the slide's 0.05 s at frame 11.
    std::vector<Rgb> expected(11, RED);
    expected.push_back(GREEN);
    expected.push_back(GREEN);
    EXPECT_EQ(centre, expected);
}

TEST_F(App, ArrowsStillWorkWhilePaused) {
    write_file("config.txt", three_solid_slides() + "Slide time: 0.05\n");
    at(1, [](headless::State& s) { down(s, 'P'); });
    at(2, [](headless::State& s) { up(s, 'P'); down(s, VK_KEY_RIGHT); });
    at(3, [](headless::State& s) { up(s, VK_KEY_RIGHT); });
    EXPECT_EQ(run(10), 0);
    EXPECT_EQ(centre, (std::vector<Rgb>{RED, RED, GREEN, GREEN, GREEN, GREEN, GREEN, GREEN, GREEN, GREEN}));
}

TEST_F(App, SlideCountEndsTheProcessWithoutWriting) {
    static std::string original;
    original = three_solid_slides() + "Comment line\nSlide time: 0.05\nSlides to show: 3\n";
    write_file("config.txt", original);
    EXPECT_EXIT(
        {
            // The check runs as the process ends: the file must be untouched
            // and three slides of three frames must have been shown.
            std::atexit([] {
                if (read_file("config.txt") != original || headless::state().swaps != 9) std::_Exit(3);
            });
            run(1000);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(App, ShiftWithTheMouseEditsTheOffsetInImagePixels) {
    write_solid_bmp("wide.bmp", 100, 50, WHITE);
    write_file("config.txt", "Left image: wide.bmp\nRight image: wide.bmp\nSlide time: 1000\n");
    headless::state().cursor_x = 5;
    headless::state().cursor_y = 7;
    at(1, [](headless::State& s) { down(s, VK_KEY_LSHIFT); down(s, VK_KEY_SHIFT); });
    // Each frame the viewer moves the mouse 10 pixels right of the pinned centre.
    for (int pump = 2; pump <= 4; ++pump) at(pump, [](headless::State& s) { s.cursor_x += 10; s.cursor_y += 3; });
    at(5, [](headless::State& s) { down(s, VK_KEY_CONTROL); s.cursor_y += 5; });
    EXPECT_EQ(run(6), 0);
    // Pinned to the centre of the 64x64 window on the first Shift frame and after every reading.
    ASSERT_GE(headless::state().cursor_moves.size(), 2u);
    EXPECT_EQ(headless::state().cursor_moves[0], (std::pair<int32_t, int32_t>{32, 32}));
    EXPECT_EQ(headless::state().cursor_x, 32);
    const std::string saved = read_file("config.txt");
    EXPECT_NE(saved.find(text_mode("Stereo offset: 0.3,0.1\n")), std::string::npos) << saved;
}

TEST_F(App, CtrlSSavesTheFinishedFrame) {
    write_solid_bmp("green.bmp", 64, 64, GREEN);
    write_file("config.txt", "Left image: green.bmp\nRight image: green.bmp\nSlide time: 1000\n");
    at(2, [](headless::State& s) { down(s, VK_KEY_CONTROL); down(s, 'S'); });
    EXPECT_EQ(run(4), 0);
    ASSERT_EQ(headless::state().commands.size(), 1u);  // held S shoots once
    const std::string& command = headless::state().commands[0];
    ASSERT_EQ(command.substr(0, 27), "magick -quality 95 \"3dimage");
    const std::string bmp = command.substr(19 + 1, 17);
    EXPECT_TRUE(file_exists(bmp)) << bmp;
    const std::string file = read_file(bmp);
    ASSERT_EQ(file.size(), 54u + 64 * 64 * 3);
    EXPECT_EQ(static_cast<uint8_t>(file[54]), 0);    // blue
    EXPECT_EQ(static_cast<uint8_t>(file[55]), 255);  // green
    EXPECT_EQ(static_cast<uint8_t>(file[56]), 0);    // red
}

TEST(SlideOrder, RandomDrawStaysWithinTheFirstN) {
    EXPECT_EQ(pick_random_slide(1, 1 / 32768.0), 1);
    for (int n : {-5, -1}) EXPECT_EQ(pick_random_slide(n, n / 32768.0), 1);
    std::vector<int> seen(6, 0);
    for (int i = 0; i < 2000; ++i) {
        int m = pick_random_slide(5, 5 / 32768.0);
        ASSERT_GE(m, 1);
        ASSERT_LE(m, 5);
        ++seen[m];
    }
    for (int m = 1; m <= 5; ++m) EXPECT_GT(seen[m], 250) << m;
}

TEST(SlideOrder, ZoomEasesFromOneToSevenQuarters) {
    const double inverse = 1.0 / (10.0 - 4.0);
    EXPECT_DOUBLE_EQ(zoom_factor(0.0, 4.0, inverse), 1.0);
    EXPECT_DOUBLE_EQ(zoom_factor(4.0, 4.0, inverse), 1.0);
    EXPECT_DOUBLE_EQ(zoom_factor(7.0, 4.0, inverse), std::sqrt(1.75));
    EXPECT_NEAR(zoom_factor(9.999, 4.0, inverse), 1.75, 1e-6);
}
