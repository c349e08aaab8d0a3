// Photos as slides: JPEG, PNG, MPO and JPS/PNS files written by the tests,
// shown whole on the headless desktop and loaded one by one.
#include "app/parallaxon.h"

#include "bitmapfonts.h"
#include "gfx_opengl.h"
#include "photo_files.h"
#include "platform/headless.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace {

const Rgb RED{255, 0, 0}, BLUE{0, 0, 255}, WHITE{255, 255, 255}, BLACK{0, 0, 0};

// Lossy compression leaves a colour within a few steps of what was written.
bool near(const Rgb& a, const Rgb& b) {
    return std::abs(a.r - b.r) < 16 && std::abs(a.g - b.g) < 16 && std::abs(a.b - b.b) < 16;
}

Pixels solid(Rgb c) { return [c](int, int) { return c; }; }
Pixels halves(Rgb left, Rgb right, int w) { return [=](int x, int) { return x < w / 2 ? left : right; }; }

class Photos : public testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        headless::state().primary_w = headless::state().primary_h = 64;
        headless::state().monitors = {{0, 0, 64, 64}};
    }
    void TearDown() override { headless::reset(); }

    // Runs the show, pressing Right at the given pumps; keeps every frame.
    void run(int frames, std::vector<int> right_presses = {}) {
        headless::state().on_pump = [=](int pump) {
            headless::State& s = headless::state();
            if (pump == frames) s.keys[VK_KEY_ESCAPE] = 0x80;
            s.keys[VK_KEY_RIGHT] = 0;
            for (int p : right_presses)
                if (p == pump) s.keys[VK_KEY_RIGHT] = 0x80;
        };
        headless::state().on_swap = [this](int) { frames_.push_back(headless::read_frame_rgb()); };
        app_main("", nullptr);
    }
    Rgb at(int frame, int x, int y) const { return pixel_at(frames_.at(frame), 64, x, y); }

    TempDir dir_;
    std::vector<std::vector<uint8_t>> frames_;
};

}  // namespace

// Each slide in side-by-side mode: the left eye's picture in the left half.
// Sampled at a quarter and three quarters of each half's width.
TEST_F(Photos, EveryKindOfStereoFileShowsEachEyeInItsHalf) {
    write_file("pair.mpo", mpo(jpeg(32, 32, solid(RED)), jpeg(32, 32, solid(BLUE)), true));
    write_file("pair.jps", jpeg(64, 32, halves(BLUE, RED, 64)));  // cross-eyed: the right eye's view first
    // Stored on its side, top red and bottom blue; orientation 8 turns it a quarter anticlockwise.
    write_file("turned.jpg", with_exif(jpeg(32, 64, [](int, int y) { return y < 32 ? RED : BLUE; }), 8));
    write_file("right.jpg", jpeg(64, 32, solid(BLUE)));
    write_file("left.png", png(32, 32, solid(RED)));
    write_file("right.png", png(32, 32, solid(BLUE)));
    write_file("config.txt",
               "Stereo mode: 2\nSlide time: 1000\nSlide pause before zoom: 1000\n"
               "Left image: pair.mpo\nRight image: PAIR.MPO\nLeft image: pair.jps\nRight image: pair.jps\n"
               "Left image: turned.jpg\nRight image: right.jpg\nLeft image: left.png\nRight image: right.png\n");
    run(8, {2, 4, 6});
    ASSERT_EQ(frames_.size(), 8u);
    const std::vector<std::vector<Rgb>> expected = {
        {RED, RED, BLUE, BLUE}, {RED, RED, BLUE, BLUE}, {RED, BLUE, BLUE, BLUE}, {RED, RED, BLUE, BLUE}};
    for (int slide = 0; slide < 4; ++slide)
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(near(at(2 * slide + 1, 8 + 16 * i, 16), expected[slide][i]))
                << "slide " << slide + 1 << " x " << 8 + 16 * i << ": " << at(2 * slide + 1, 8 + 16 * i, 16);
}

// A Fujifilm parallax value is how much further right the subject lies in
// the left view than in the right one, in percent of the width. Shifting the
// left view left and the right one right by half of it each, which a
// positive offset does, lays the two over each other: white in the anaglyph.
TEST_F(Photos, CameraParallaxPutsTheSubjectOnTheScreenPlane) {
    auto bar = [](int from) { return [from](int x, int) { return x >= from && x < from + 4 ? WHITE : BLACK; }; };
    // Bars at columns 38-41 and 30-33 of 64: 8 pixels or 12.5 percent apart.
    write_file("fuji.mpo", mpo(jpeg(64, 64, bar(38)), with_exif(jpeg(64, 64, bar(30)), 1, 125), false));
    write_file("config.txt",
               "Stereo mode: 6\nSlide time: 1000\nSlide pause before zoom: 1000\n"
               "Left image: fuji.mpo\nRight image: fuji.mpo\n");
    run(2);
    for (int x : {35, 36}) EXPECT_TRUE(near(at(1, x, 32), WHITE)) << x << ": " << at(1, x, 32);
    for (int x : {31, 40, 44}) EXPECT_TRUE(near(at(1, x, 32), BLACK)) << x << ": " << at(1, x, 32);
    // Shown, not edited: nothing is written for the slide.
    EXPECT_EQ(read_file("config.txt").find("Stereo offset"), std::string::npos);
}

namespace {

// Size and first pixel of a picture, as "64x16 red".
std::string describe(const SimpleBitmap& b) {
    const std::string size = std::to_string(b.width) + "x" + std::to_string(b.height);
    if (!b.pixels) return size;
    const Rgb c{b.pixels[2], b.pixels[1], b.pixels[0]};
    return size + (near(c, RED) ? " red" : near(c, BLUE) ? " blue" : " other");
}

}  // namespace

// Every file decoded for a slide on a 64 x 64 screen, hostile ones included:
// each eye's size and first pixel, and whether the eyes share one picture.
TEST_F(Photos, FilesGiveTheirViewsAtTheSizeTheScreenNeedsAndHostileOnesNothing) {
    headless::make_gl_context(64, 64);
    screen_width = screen_height = 64;
    const Bytes pattern = jpeg(64, 64, [](int x, int y) { return Rgb{uint8_t(x * 4), uint8_t(y * 4), 0}; });
    Bytes bomb = jpeg(16, 16, solid(RED));
    for (size_t i = 2; i + 8 < bomb.size(); ++i)
        if (bomb[i] == 0xFF && bomb[i + 1] == 0xC0) bomb[i + 5] = bomb[i + 6] = bomb[i + 7] = bomb[i + 8] = 0xFD;
    const std::map<std::string, Bytes> files = {
        {"plain.jpg", jpeg(64, 16, halves(RED, BLUE, 64))},
        {"cross.jps", jpeg(64, 16, halves(BLUE, RED, 64))},
        {"over.JPS", with_jps(jpeg(32, 32, [](int, int y) { return y < 16 ? RED : BLUE; }), 5, 3)},
        {"squeezed.jps", with_jps(jpeg(64, 16, halves(RED, BLUE, 64)), 2, 2)},
        {"cross.pns", png(64, 16, halves(BLUE, RED, 64))},
        {"big.jpg", jpeg(1024, 512, solid(RED))},
        {"turned.jpg", with_exif(jpeg(16, 32, [](int, int y) { return y < 16 ? RED : BLUE; }), 6)},
        {"mirrored.jpg", with_exif(jpeg(32, 16, halves(RED, BLUE, 32)), 2)},
        {"cut.jpg", Bytes(pattern.begin(), pattern.begin() + pattern.size() * 2 / 3)},
        {"head.jpg", Bytes(pattern.begin(), pattern.begin() + 30)},
        {"bomb.jpg", bomb},
        {"huge.png", png_claiming(png(8, 8, solid(RED)), 100000, 100000)},
        {"bomb.png", png_claiming(png(8, 8, solid(RED)), 60000, 60000)},
        {"bad.mpo", mpo(jpeg(32, 32, solid(RED)), jpeg(32, 32, solid(BLUE)), false, true)},
        {"noise.jpg", Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF, 'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42}},
        {"noise.png", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0}},
    };
    for (const auto& file : files) write_file(file.first, file.second);
    const struct {
        const char *left, *right;
        int32_t stereo_mode;
        const char* expected;
    } cases[] = {
        {"plain.jpg", "PLAIN.JPG", 0, "64x16 red | 64x16 red same"},  // the side-by-side rule stays
        {"cross.jps", "cross.jps", 0, "32x16 red | 32x16 blue"},
        {"over.JPS", "over.JPS", 0, "32x32 red | 32x32 blue"},          // half height, left first
        {"squeezed.jps", "squeezed.jps", 0, "64x16 blue | 64x16 red"},  // half width, right first
        {"cross.pns", "cross.pns", 0, "32x16 red | 32x16 blue"},
        {"cross.jps", "plain.jpg", 0, "64x16 blue | 64x16 red"},  // named for one eye, one picture
        {"big.jpg", "none", 0, "256x128 red | 0x0"},  // a quarter still covers 1.75 x 64
        {"big.jpg", "none", 5, "128x64 red | 0x0"},   // each eye's screen is 64 x 32
        {"turned.jpg", "mirrored.jpg", 0, "32x16 blue | 32x16 blue"},
        {"bad.mpo", "bad.mpo", 0, "32x32 red | 0x0"},
        {"bad.mpo", "cut.jpg", 0, "32x32 red | 64x64 other"},  // the first frame; what could be decoded
        {"head.jpg", "bomb.jpg", 0, "0x0 | 0x0"},
        {"huge.png", "bomb.png", 0, "0x0 | 0x0"},
        {"noise.jpg", "noise.png", 0, "0x0 | 0x0"},
    };
    for (const auto& c : cases) {
        write_file("config.txt", std::string("Left image: ") + c.left + "\nRight image: " + c.right + "\n");
        ConfigList list = config_load("config.txt", ':');
        Slide slide{};
        load_slide(&slide, &list, 1, c.stereo_mode);
        EXPECT_EQ(describe(slide.left_image) + " | " + describe(slide.right_image) + (slide.same_image ? " same" : ""),
                  c.expected)
            << c.left << ", " << c.right;
        free_slide(&slide);
        config_free(&list);
    }
}
