#include "image.h"
#include "platform/headless.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

class Texture : public ::testing::Test {
protected:
    void SetUp() override { headless::make_gl_context(16, 16); }
    void TearDown() override {
        image_set_max_texture_size_for_tests(0);
        glDeleteTextures(1, &name);
    }

    void upload(SimpleBitmap b) { name = texture_from_bitmap(b, &tw, &th); }

    GLint level_size(int level, GLenum which) {
        GLint v = -1;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, which, &v);
        return v;
    }

    Bytes level(int level, int channels) {
        Bytes out(static_cast<size_t>(level_size(level, GL_TEXTURE_WIDTH)) * level_size(level, GL_TEXTURE_HEIGHT) *
                  channels);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, level, channels == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, out.data());
        return out;
    }

    // Checks every level against a plain 2x2 box filter of the texture's level 0.
    void expect_mip_chain(Bytes texels, int w, int h, int c, int levels) {
        for (int k = 0; k < levels; ++k) {
            ASSERT_EQ(level(k, c), texels) << "level " << k;
            int nw = w > 1 ? w / 2 : 1, nh = h > 1 ? h / 2 : 1;
            Bytes next(static_cast<size_t>(nw) * nh * c);
            auto at = [&](int x, int y, int i) {
                return texels[(std::min(y, h - 1) * w + std::min(x, w - 1)) * c + i];
            };
            for (int y = 0; y < nh; ++y)
                for (int x = 0; x < nw; ++x)
                    for (int i = 0; i < c; ++i)
                        next[(y * nw + x) * c + i] = static_cast<uint8_t>(
                            (at(2 * x, 2 * y, i) + at(2 * x + 1, 2 * y, i) + at(2 * x, 2 * y + 1, i) +
                             at(2 * x + 1, 2 * y + 1, i) + 2) >> 2);
            texels = next, w = nw, h = nh;
        }
        EXPECT_EQ(level_size(levels, GL_TEXTURE_WIDTH), 0);
    }

    GLuint name = 0;
    int32_t tw = 0, th = 0;
};

uint8_t noise(size_t i) { return static_cast<uint8_t>((i * 2654435761u) >> 13); }

}  // namespace

TEST_F(Texture, PictureSitsInTheLowerLeftCornerFlippedToRgb) {
    Bytes file(54 + 640 * 480 * 3);
    file[14] = 40, file[18] = 640 & 255, file[19] = 640 >> 8, file[22] = 480 & 255, file[23] = 480 >> 8, file[28] = 24;
    for (size_t i = 54; i < file.size(); ++i) file[i] = noise(i);
    SimpleBitmap b = bitmap_from_bmp(file.data(), file.size());
    upload(b);
    EXPECT_EQ(tw, 1024);
    EXPECT_EQ(th, 512);
    Bytes t = level(0, 3);
    auto texel = [&](int x, int y) { return Bytes(&t[(y * 1024 + x) * 3], &t[(y * 1024 + x) * 3 + 3]); };
    EXPECT_EQ(texel(0, 0), (Bytes{noise(56), noise(55), noise(54)}));
    size_t top_right = 54 + (479 * 640 + 639) * 3;
    EXPECT_EQ(texel(639, 479), (Bytes{noise(top_right + 2), noise(top_right + 1), noise(top_right)}));
    EXPECT_EQ(texel(640, 0), (Bytes{0, 0, 0}));
    EXPECT_EQ(texel(0, 480), (Bytes{0, 0, 0}));
    EXPECT_EQ(level_size(10, GL_TEXTURE_WIDTH), 1);
    bitmap_free(&b);
}

TEST_F(Texture, FourthByteBecomesAlpha) {
    uint8_t px[] = {1, 2, 3, 4, 5, 6, 7, 8};
    upload({2, 1, 4, px, nullptr, 0});
    EXPECT_EQ(level(0, 4), (Bytes{3, 2, 1, 4, 7, 6, 5, 8}));
    expect_mip_chain({3, 2, 1, 4, 7, 6, 5, 8}, 2, 1, 4, 2);
}

TEST_F(Texture, EmptyAndDegenerateRecordsGiveOneTexel) {
    upload({});
    EXPECT_EQ(tw, 1);
    EXPECT_EQ(th, 1);
    EXPECT_EQ(level_size(0, GL_TEXTURE_WIDTH), 0);
    glDeleteTextures(1, &name);
    uint8_t px[4] = {9, 9, 9, 9};
    upload({0, 5, 4, px, nullptr, 0});
    EXPECT_EQ(level(0, 4), (Bytes{0, 0, 128, 0}));
    glDeleteTextures(1, &name);
    upload({0, 5, 1, px, nullptr, 0});
    EXPECT_EQ(level(0, 3), (Bytes{0, 0, 0}));
    EXPECT_EQ(tw * th, 1);
}

TEST_F(Texture, PaletteImageShowsItsColoursAtEveryLevel) {
    Bytes indices(256 * 256), palette(1024);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = noise(i);
    for (size_t i = 0; i < palette.size(); ++i) palette[i] = noise(i + 7);
    upload({256, 256, 1, indices.data(), palette.data(), 0});
    EXPECT_EQ(tw, 256);
    Bytes expected;
    for (int y = 255; y >= 0; --y)
        for (int x = 0; x < 256; ++x)
            for (int i = 2; i >= 0; --i) expected.push_back(palette[4 * indices[y * 256 + x] + i]);
    expect_mip_chain(expected, 256, 256, 3, 9);
}

TEST_F(Texture, SixteenBitColoursExpandToEightBits) {
    // Top row: white, pure red; bottom row: pure green, pure blue.
    uint16_t px565[] = {0xFFFF, 0xF800, 0x07E0, 0x001F};
    upload({2, 2, 2, reinterpret_cast<uint8_t*>(px565), nullptr, 6});
    expect_mip_chain({0, 255, 0, 0, 0, 255, 255, 255, 255, 255, 0, 0}, 2, 2, 3, 2);
    glDeleteTextures(1, &name);
    uint16_t px555[] = {0x4210, 0x7C00, 0x03E0};
    upload({3, 1, 2, reinterpret_cast<uint8_t*>(px555), nullptr, 5});
    EXPECT_EQ(tw, 4);
    expect_mip_chain({132, 132, 132, 255, 0, 0, 0, 255, 0, 0, 0, 0}, 4, 1, 3, 3);
}

TEST_F(Texture, WideRowMipmapsAverageNeighbours) {
    Bytes px(512 * 3);
    for (size_t i = 0; i < px.size(); ++i) px[i] = noise(i);
    upload({512, 1, 3, px.data(), nullptr, 0});
    Bytes rgb(px.size());
    for (size_t i = 0; i < px.size(); i += 3) rgb[i] = px[i + 2], rgb[i + 1] = px[i + 1], rgb[i + 2] = px[i];
    expect_mip_chain(rgb, 512, 1, 3, 10);
    EXPECT_EQ(level(1, 3)[0], (rgb[0] + rgb[3] + 1) >> 1);
}

TEST_F(Texture, OversizedPicturesAreHalvedUntilTheyFit) {
    image_set_max_texture_size_for_tests(64);
    for (bool tall : {false, true}) {
        int w = tall ? 40 : 130, h = tall ? 130 : 40;
        Bytes px(static_cast<size_t>(w) * h * 3), expected;
        for (size_t i = 0; i < px.size(); ++i) px[i] = noise(i);
        upload({w, h, 3, px.data(), nullptr, 0});
        // 130 -> 65 -> 33 pixels: a 64-texel side standing for 256 picture pixels.
        EXPECT_EQ(tw, tall ? 64 : 256);
        EXPECT_EQ(th, tall ? 256 : 64);
        for (int y = h - 1; y >= 0; --y)
            for (int x = 0; x < w; ++x)
                for (int i = 2; i >= 0; --i) expected.push_back(px[(y * w + x) * 3 + i]);
        for (int pass = 0; pass < 2; ++pass) {
            int nw = tall ? w : (w + 1) / 2, nh = tall ? (h + 1) / 2 : h;
            Bytes next;
            for (int y = 0; y < nh; ++y)
                for (int x = 0; x < nw; ++x)
                    for (int i = 0; i < 3; ++i) {
                        int x1 = tall ? x : std::min(2 * x + 1, w - 1), y1 = tall ? std::min(2 * y + 1, h - 1) : y;
                        int a = expected[((tall ? 2 * y : y) * w + (tall ? x : 2 * x)) * 3 + i];
                        next.push_back(static_cast<uint8_t>((a + expected[(y1 * w + x1) * 3 + i] + 1) >> 1));
                    }
            expected = next, w = nw, h = nh;
        }
        Bytes t = level(0, 3);
        ASSERT_EQ(t.size(), 64u * 64 * 3);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                for (int i = 0; i < 3; ++i)
                    ASSERT_EQ(t[(y * 64 + x) * 3 + i], x < w && y < h ? expected[(y * w + x) * 3 + i] : 0)
                        << x << "," << y;
        glDeleteTextures(1, &name);
    }
}
