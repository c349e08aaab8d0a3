// Least-squares anaglyphs in stereo modes 6 to 8: a model of the frame
// buffer's blend steps against the exact projection, and whole shows.
#include "anaglyph.h"
#include "app/parallaxon.h"
#include "bitmapfonts.h"
#include "bmp_files.h"
#include "gfx_opengl.h"
#include "platform/headless.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

// 255 * clamp(M_L * L + M_R * R) in one output channel, unrounded.
double exact(int mode, Rgb l, Rgb r, int row) {
    const AnaglyphMatrices* m = anaglyph_matrices(mode);
    return std::clamp<double>(m->left[row][0] * l.r + m->left[row][1] * l.g + m->left[row][2] * l.b +
                              m->right[row][0] * r.r + m->right[row][1] * r.g + m->right[row][2] * r.b, 0, 255);
}

// 8-bit frame buffer steps: both positive halves added, the negative ones
// subtracted (or added to the inverted frame, which is inverted back), doubled.
int blended(int p_left, int p_right, int n_left, int n_right, bool subtract) {
    int fb = std::min(255, p_left + p_right);
    if (subtract) fb = std::max(0, std::max(0, fb - n_left) - n_right);
    else fb = 255 - std::min(255, std::min(255, 255 - fb + n_left) + n_right);
    return std::min(255, 2 * fb);
}

Rgb from_bits(uint32_t bits) { return {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16)}; }

TEST(Anaglyph, BlendStepsStayWithinTwoLevelsOfTheProjection) {
    std::mt19937 random(13);
    for (int mode : {6, 7, 8})
        for (bool subtract : {true, false}) {
            double worst = 0;
            for (int i = 0; i < 100000; ++i) {
                Rgb eyes[2];
                uint8_t p[2][3], n[2][3];  // the positive and negative halves
                for (int e = 0; e < 2; ++e) {
                    // First every pair of black and full channels, then random pairs.
                    const uint32_t c = i >> 3 * e & 7;
                    eyes[e] = from_bits(i < 64 ? (c & 1) * 0xFF + (c & 2) * 0x7F80 + (c & 4) * 0x3FC000 : random());
                    const uint8_t texel[3] = {eyes[e].r, eyes[e].g, eyes[e].b};
                    const AnaglyphMatrices* m = anaglyph_matrices(mode);
                    anaglyph_split(e == 0 ? m->left : m->right, texel, 3, 1, p[e], n[e]);
                }
                for (int c = 0; c < 3; ++c)
                    worst = std::max(worst, std::fabs(blended(p[0][c], p[1][c], n[0][c], n[1][c], subtract) -
                                                      exact(mode, eyes[0], eyes[1], c)));
            }
            EXPECT_LE(worst, 2.0) << "mode " << mode << (subtract ? " subtraction" : " inversion");
        }
}

// Pictures of 8 x 8 blocks of pseudo-random colours, a different pattern per eye.
Rgb block_colour(int x, int y, int eye) {
    return from_bits(((x / 8) * 73 + (y / 8) * 151 + eye * 29 + 1) * 2654435761u >> 7);
}

// Solid pairs (left, right) and their projections in modes 6, 7 and 8, rounded.
const Rgb SOLID[][5] = {
    {{128, 128, 128}, {128, 128, 128}, {128, 128, 128}, {128, 128, 128}, {128, 128, 128}},
    {{200, 100, 50}, {30, 150, 220}, {134, 108, 241}, {97, 114, 213}, {184, 95, 207}},
    {{255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {255, 242, 0}},
    {{0, 0, 0}, {255, 255, 255}, {0, 255, 255}, {255, 0, 255}, {0, 13, 255}},
};

class AnaglyphShow : public testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        font_reset_for_tests();
        screen_width = screen_height = 0;
        quit_requested = minimise_pending = 0;
        headless::State& s = headless::state();
        s.primary_w = 64, s.primary_h = 48, s.monitors = {{0, 0, 64, 48}};
    }

    // Slides 1 to 4: the solid pairs, the grey one under a caption; 5: the
    // patterned pair at twice the window's size (drawn from the mipmaps).
    // Right is pressed every other frame, so slide s is frame 2s - 3 (s > 1).
    std::vector<std::vector<uint8_t>> show(int mode, bool subtract) {
        std::string config = "Stereo mode: " + std::to_string(mode) + "\nSlide time: 9\nSlide pause before zoom: 9\n";
        for (int i = 0; i < 4; ++i) {
            write_solid_bmp("l" + std::to_string(i) + ".bmp", 64, 48, SOLID[i][0]);
            write_solid_bmp("r" + std::to_string(i) + ".bmp", 64, 48, SOLID[i][1]);
            config += "Left image: l" + std::to_string(i) + ".bmp\nRight image: r" + std::to_string(i) + ".bmp\n";
            if (i == 0) config += "Caption: Hello\n";
        }
        write_file("pl.bmp", bmp24(128, 96, [](int x, int y) { return block_colour(x, y, 0); }));
        write_file("pr.bmp", bmp24(128, 96, [](int x, int y) { return block_colour(x, y, 1); }));
        write_file("config.txt", config + "Left image: pl.bmp\nRight image: pr.bmp\n");
        std::vector<std::vector<uint8_t>> frames;
        headless::state().on_pump = [subtract](int pump) {
            if (pump == 0 && !subtract) gfx_blend_equation = nullptr;
            headless::state().keys[VK_KEY_RIGHT] = pump % 2 ? 0x80 : 0;
            if (pump == 8) headless::state().keys[VK_KEY_ESCAPE] = 0x80;
        };
        headless::state().on_swap = [&frames](int) {
            frames.push_back(headless::read_frame_rgb());
            EXPECT_TRUE(!glIsEnabled(GL_BLEND) && glIsEnabled(GL_DITHER)) << "blending and dithering restored";
        };
        EXPECT_EQ(app_main("", nullptr), 0);
        return frames;
    }
    TempDir dir;
};

TEST_F(AnaglyphShow, FramesMatchTheProjectionOnBothBlendPaths) {
    for (int mode : {6, 7, 8})
        for (bool subtract : {true, false}) {
            const std::string what = "mode " + std::to_string(mode) + (subtract ? " subtraction" : " inversion");
            std::vector<std::vector<uint8_t>> frames = show(mode, subtract);
            ASSERT_GE(frames.size(), 8u) << what;
            double worst = 0;
            auto check = [&](int frame, int x, int y, double r, double g, double b) {
                const Rgb got = pixel_at(frames[frame], 64, x, y);
                worst = std::max({worst, std::fabs(got.r - r), std::fabs(got.g - g), std::fabs(got.b - b)});
            };
            for (int i = 64 * 48; i < 4 * 64 * 48; ++i) {
                const Rgb want = SOLID[i / (64 * 48)][mode - 4];
                check(2 * (i / (64 * 48)) - 1, i % 64, i / 64 % 48, want.r, want.g, want.b);
            }
            // The middle of each 4-pixel block, where the two mipmap levels agree.
            for (int y = 1; y < 48; y += (y % 4 == 1 ? 1 : 3))
                for (int x = 1; x < 64; x += (x % 4 == 1 ? 1 : 3)) {
                    const Rgb l = block_colour(2 * x, 2 * y, 0), r = block_colour(2 * x, 2 * y, 1);
                    check(7, x, y, exact(mode, l, r, 0), exact(mode, l, r, 1), exact(mode, l, r, 2));
                }
            EXPECT_LE(worst, 2.0) << what;
            // The caption, white in its black outline, covers the grey anaglyph (128 +- 2).
            EXPECT_GT(std::count(frames[0].begin(), frames[0].end(), 255), 30) << what;
            EXPECT_GT(std::count(frames[0].begin(), frames[0].end(), 0), 30) << what;
            SetUp();
        }
}

}  // namespace
