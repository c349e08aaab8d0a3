// Least-squares anaglyphs in stereo modes 6 to 8: whole shows on both blend
// paths against pinned projections of solid pairs and the exact projection.
#include "render/stereo_mode.h"
#include "show.h"

#include <algorithm>

namespace {

uint8_t channel(const Rgb& c, int i) { return i == 0 ? c.r : i == 1 ? c.g : c.b; }

// 255 * clamp(M_L * L + M_R * R) in one output channel, unrounded.
double exact(int mode, const Rgb& l, const Rgb& r, int row) {
    const AnaglyphMatrices* m = stereo_mode_row(mode).anaglyph;
    double sum = 0;
    for (int i = 0; i < 3; ++i) sum += m->left[row][i] * channel(l, i) + m->right[row][i] * channel(r, i);
    return std::clamp(sum, 0.0, 255.0);
}

// Pictures of 8 x 8 blocks: first every pair of colours whose channels are 0 or
// 255, then pseudo-random pairs.
Rgb block_colour(int x, int y, int eye) {
    const int block = x / 8 + y / 8 * 16, c = eye ? block >> 3 : block & 7;
    if (block < 64) return {uint8_t(255 * (c & 1)), uint8_t(255 * (c >> 1 & 1)), uint8_t(255 * (c >> 2))};
    const uint32_t bits = (block * 73 + eye * 29 + 1) * 2654435761u >> 7;
    return {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16)};
}

// Solid pairs (left, right) and their projections in modes 6, 7 and 8, rounded.
const Rgb SOLID[][5] = {
    {{128, 128, 128}, {128, 128, 128}, {128, 128, 128}, {128, 128, 128}, {128, 128, 128}},
    {{200, 100, 50}, {30, 150, 220}, {134, 108, 241}, {97, 114, 213}, {184, 95, 207}},
    {{255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {255, 242, 0}},
    {{0, 0, 0}, {255, 255, 255}, {0, 255, 255}, {255, 0, 255}, {0, 13, 255}},
};

}  // namespace

// Slides 1 to 4 are the solid pairs, the grey one under a caption, the next with its eyes 16 pixels apart;
// slide 5 the block pictures at twice the window's size, drawn from their mipmaps. Right goes down every
// other frame: slide s shows in frame 2s - 3.
TEST_F(Show, AnaglyphFramesMatchTheProjectionOnBothBlendPaths) {
    for (int mode : {6, 7, 8})
        for (bool subtract : {true, false}) {
            SCOPED_TRACE("mode " + std::to_string(mode) + (subtract ? " subtraction" : " inversion"));
            restart();
            desktop(64, 48);
            // The n-th caption and the n-th offset are slide n's; slides without one keep the last offset.
            std::string config = "Stereo mode: " + std::to_string(mode) + "\nSlide time: 9\nSlide pause before zoom: 9"
                                 "\nCaption: Hello\nStereo offset: 0,0\nStereo offset: 0.25,0\nStereo offset: 0,0\n";
            for (int i = 0; i < 4; ++i) {
                const std::string l = "l" + std::to_string(i) + ".bmp", r = "r" + std::to_string(i) + ".bmp";
                write_file(l, bmp24(64, 48, [i](int, int) { return SOLID[i][0]; }));
                write_file(r, bmp24(64, 48, [i](int, int) { return SOLID[i][1]; }));
                config += "Left image: " + l + "\nRight image: " + r + "\n";
            }
            write_file("pl.bmp", bmp24(128, 96, [](int x, int y) { return block_colour(x, y, 0); }));
            write_file("pr.bmp", bmp24(128, 96, [](int x, int y) { return block_colour(x, y, 1); }));
            write_file("config.txt", config + "Left image: pl.bmp\nRight image: pr.bmp\n");
            if (!subtract) at(0, [](headless::State&) { display.blend_equation = nullptr; });
            for (int pump = 1; pump <= 7; pump += 2) press(VK_KEY_RIGHT, pump);
            ASSERT_EQ(run(8), 0);
            ASSERT_EQ(frames.size(), 8u);
            double worst = 0;
            for (int s = 1; s < 5; ++s)
                for (int y = 0; y < 48; ++y)
                    for (int x = 0; x < 64; ++x) {
                        // Of the blocks only the middles, where two mipmap levels agree.
                        if (s == 4 && (x % 4 == 0 || x % 4 == 3 || y % 4 == 0 || y % 4 == 3)) continue;
                        // In slide 2 the left eye alone covers 8 columns on the left, the right eye on the right.
                        const bool left_only = s == 1 && x < 8, right_only = s == 1 && x >= 56, solid = s < 4;
                        const Rgb l = solid ? (right_only ? Rgb{0, 0, 0} : SOLID[s][0]) : block_colour(2 * x, 2 * y, 0);
                        const Rgb r = solid ? (left_only ? Rgb{0, 0, 0} : SOLID[s][1]) : block_colour(2 * x, 2 * y, 1);
                        const Rgb got = pixel_at(frames[2 * s - 1], 64, x, y);
                        for (int c = 0; c < 3; ++c) {
                            const double want = solid && !left_only && !right_only ? channel(SOLID[s][mode - 4], c)
                                                                                   : exact(mode, l, r, c);
                            worst = std::max(worst, std::abs(channel(got, c) - want));
                        }
                    }
            EXPECT_LE(worst, 2.0);
            // The caption, white in its black outline, covers the grey anaglyph (128 +- 2).
            EXPECT_GT(std::count(frames[0].begin(), frames[0].end(), 255), 30);
            EXPECT_GT(std::count(frames[0].begin(), frames[0].end(), 0), 30);
        }
}
