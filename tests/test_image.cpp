#include "image.h"
#include "platform/headless.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void put32(Bytes& b, size_t at, uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> 8 * i);
}

// A BMP file: headers, then `between` (colour table or masks), then the stored rows.
Bytes bmp(int32_t w, int32_t h, int bits, const Bytes& rows, const Bytes& between = {}, uint32_t compression = 0,
          uint32_t header = 40, uint32_t colours = 0) {
    Bytes b(14 + header);
    b[0] = 'B', b[1] = 'M';
    put32(b, 10, static_cast<uint32_t>(14 + header + between.size()));
    put32(b, 14, header);
    put32(b, 18, static_cast<uint32_t>(w));
    put32(b, 22, static_cast<uint32_t>(h));
    put32(b, 26, 1 | bits << 16);
    put32(b, 30, compression);
    put32(b, 46, colours);
    b.insert(b.end(), between.begin(), between.end());
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

struct Decoded {
    explicit Decoded(const Bytes& file) : b(bitmap_from_bmp(file.data(), file.size())) {}
    ~Decoded() { bitmap_free(&b); }
    Decoded(const Decoded&) = delete;
    Decoded& operator=(const Decoded&) = delete;
    Bytes pixels() const {
        return Bytes(b.pixels, b.pixels + static_cast<size_t>(b.width) * b.height * b.bytes_per_pixel);
    }
    bool empty() const { return !b.width && !b.height && !b.bytes_per_pixel && !b.pixels && !b.palette; }
    SimpleBitmap b;
};

uint8_t noise(size_t i) { return static_cast<uint8_t>((i * 2654435761u) >> 13); }

// The rounded mean of texels (2x, 2x + 1) x (2y, 2y + 1), clamped to the last
// texel; a side that keeps its size samples x twice.
Bytes box(const Bytes& t, int w, int h, int c, int nw, int nh) {
    Bytes out;
    for (int y = 0; y < nh; ++y)
        for (int x = 0; x < nw; ++x)
            for (int i = 0; i < c; ++i) {
                int x0 = nw < w ? 2 * x : x, x1 = std::min(nw < w ? 2 * x + 1 : x, w - 1);
                int y0 = nh < h ? 2 * y : y, y1 = std::min(nh < h ? 2 * y + 1 : y, h - 1);
                int sum = t[(y0 * w + x0) * c + i] + t[(y0 * w + x1) * c + i] + t[(y1 * w + x0) * c + i] +
                          t[(y1 * w + x1) * c + i];
                out.push_back(static_cast<uint8_t>((sum + 2) >> 2));
            }
    return out;
}

}  // namespace

TEST(BmpDecode, PaddedBottomUpRowsBecomePackedTopDown) {
    Bytes rows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(Decoded(bmp(3, 2, 24, rows)).pixels(),
              (Bytes{11, 12, 13, 14, 15, 16, 17, 18, 19, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    Bytes file = bmp(3, -2, 24, rows);
    EXPECT_EQ(Decoded(file).pixels(), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19}));
    // The last row's fill bytes may be missing; a pixel byte may not.
    file.resize(file.size() - 3);
    EXPECT_EQ(Decoded(file).b.height, 2);
    file.resize(file.size() - 1);
    EXPECT_TRUE(Decoded(file).empty());
}

TEST(BmpDecode, ColourTableCountPlacesTheRows) {
    Bytes table(64);
    table[4 * 15] = 0xAB;
    Decoded sixteen(bmp(1, 1, 8, {15, 0, 0, 0}, table, 0, 40, 16));
    ASSERT_EQ(sixteen.b.bytes_per_pixel, 1);
    EXPECT_EQ(sixteen.b.pixels[0], 15);
    EXPECT_EQ(sixteen.b.palette[4 * 15], 0xAB);
    EXPECT_EQ(sixteen.b.palette[4 * 16], 0);

    Bytes file = bmp(1, 1, 8, {200, 0, 0, 0}, Bytes(1024, 7));
    EXPECT_EQ(file.size(), 1078u + 4);
    Decoded full(file);
    ASSERT_EQ(full.b.bytes_per_pixel, 1);
    EXPECT_EQ(full.b.pixels[0], 200);
    EXPECT_EQ(full.b.palette[1023], 7);
}

TEST(BmpDecode, UnsupportedOrBrokenFilesGiveTheEmptyRecord) {
    const Bytes files[] = {bmp(8, 1, 1, Bytes(4)), bmp(2, 1, 4, Bytes(4)), bmp(1, 1, 40, Bytes(8)),
                           bmp(0, 1, 24, Bytes(4)), bmp(1, 0, 24, Bytes(4)), bmp(1, INT32_MIN, 24, Bytes(4)),
                           bmp(1, 1, 24, Bytes(4), {}, 2), bmp(1, 1, 24, Bytes(4), {}, 0, 12),
                           bmp(0x7FFFFFFF, 0x7FFFFFFF, 32, Bytes(16)), bmp(65536, 65536, 8, Bytes(64), {}, 1),
                           bmp(4, 4, 24, Bytes(47)), Bytes(53), {}};
    for (const Bytes& file : files) EXPECT_TRUE(Decoded(file).empty()) << file.size();
    EXPECT_EQ(bitmap_from_bmp(nullptr, 100).bytes_per_pixel, 0);
}

TEST(BmpDecode, LongHeadersUseTheStoredPixelOffset) {
    Bytes file = bmp(1, 1, 24, {1, 2, 3, 0}, {}, 0, 124);
    EXPECT_EQ(file[10], 138);
    EXPECT_EQ(Decoded(file).pixels(), (Bytes{1, 2, 3}));

    Bytes table(8, 0);
    table[4] = 0x55;
    Decoded palette(bmp(1, 1, 8, {1, 0, 0, 0}, table, 0, 108, 0));
    ASSERT_EQ(palette.b.bytes_per_pixel, 1);
    EXPECT_EQ(palette.b.pixels[0], 1);
    EXPECT_EQ(palette.b.palette[4], 0x55);
    EXPECT_EQ(palette.b.palette[8], 0);
}

TEST(BmpDecode, BitfieldsOfTheUsualLayouts) {
    Bytes masks565(12);
    put32(masks565, 0, 0xF800), put32(masks565, 4, 0x07E0), put32(masks565, 8, 0x001F);
    Decoded b565(bmp(1, 1, 16, {0x34, 0x12, 0, 0}, masks565, 3));
    EXPECT_EQ(b565.pixels(), (Bytes{0x34, 0x12}));
    EXPECT_EQ(b565.b.green_bits, 6);
    // Masks left out of a 40-byte file mean the default 5-5-5.
    Decoded b555(bmp(1, 1, 16, {0x34, 0x12, 0, 0}, {}, 3));
    EXPECT_EQ(b555.pixels(), (Bytes{0x34, 0x12}));
    EXPECT_EQ(b555.b.green_bits, 5);

    Bytes file = bmp(1, 1, 32, {1, 2, 3, 4}, {}, 3, 124);
    put32(file, 54, 0xFF0000), put32(file, 58, 0xFF00), put32(file, 62, 0xFF);
    EXPECT_EQ(Decoded(file).pixels(), (Bytes{1, 2, 3, 0xFF}));
    put32(file, 66, 0xFF000000);
    EXPECT_EQ(Decoded(file).pixels(), (Bytes{1, 2, 3, 4}));
    put32(file, 54, 0xFF);
    EXPECT_TRUE(Decoded(file).empty());
    EXPECT_TRUE(Decoded(bmp(1, 1, 24, Bytes(4), masks565, 3)).empty());
}

TEST(BmpDecode, Rle8EscapesAndHostileRuns) {
    Bytes table(16);
    Bytes rle = {3, 7,                 // run of three 7s on the bottom row
                 0, 0,                 // end of line
                 0, 3, 1, 2, 3, 0xEE,  // absolute run of three, padded to a word
                 0, 2, 0, 1,           // delta: one row up
                 9, 5,                 // run past the right edge
                 0, 2, 1, 9,           // delta far above the top
                 0, 1};                // end of bitmap
    EXPECT_EQ(Decoded(bmp(4, 3, 8, rle, table, 1, 40, 4)).pixels(), (Bytes{0, 0, 0, 5, 1, 2, 3, 0, 7, 7, 7, 0}));
    // An absolute run longer than the data left.
    EXPECT_EQ(Decoded(bmp(4, 1, 8, {0, 200, 9, 8}, table, 1, 40, 4)).pixels(), (Bytes{9, 8, 0, 0}));
    EXPECT_TRUE(Decoded(bmp(1, 1, 24, {0, 1}, {}, 1)).empty());
}

TEST(Image, Pow2CeilIsTheSmallestPowerOfTwoNotBelow) {
    const uint32_t in[] = {0, 1, 2, 3, 480, 640, 1024, 1025, 0x80000000u, 0x80000001u};
    const uint32_t out[] = {0, 1, 2, 4, 512, 1024, 1024, 2048, 0x80000000u, 0};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(pow2_ceil(in[i]), out[i]) << in[i];
}

class Texture : public ::testing::Test {
protected:
    void SetUp() override { headless::make_gl_context(16, 16); }
    void TearDown() override {
        glDeleteTextures(1, &name);
        image_set_max_texture_size_for_tests(0);
    }

    void upload(SimpleBitmap b) {
        glDeleteTextures(1, &name);
        name = texture_from_bitmap(b, &tw, &th);
    }

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

    void expect_mip_chain(Bytes texels, int w, int h, int c, int levels) {
        for (int k = 0; k < levels; ++k) {
            ASSERT_EQ(level(k, c), texels) << "level " << k;
            int nw = std::max(w / 2, 1), nh = std::max(h / 2, 1);
            texels = box(texels, w, h, c, nw, nh), w = nw, h = nh;
        }
        EXPECT_EQ(level_size(levels, GL_TEXTURE_WIDTH), 0);
    }

    GLuint name = 0;
    int32_t tw = 0, th = 0;
};

TEST_F(Texture, PictureSitsInTheLowerLeftCornerFlippedToRgb) {
    Bytes rows(640 * 480 * 3);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = noise(i);
    Decoded d(bmp(640, 480, 24, rows));
    upload(d.b);
    EXPECT_EQ(tw, 1024);
    EXPECT_EQ(th, 512);
    Bytes t = level(0, 3);
    auto texel = [&](int x, int y) { return Bytes(&t[(y * 1024 + x) * 3], &t[(y * 1024 + x) * 3 + 3]); };
    EXPECT_EQ(texel(0, 0), (Bytes{noise(2), noise(1), noise(0)}));
    size_t top_right = (479 * 640 + 639) * 3;
    EXPECT_EQ(texel(639, 479), (Bytes{noise(top_right + 2), noise(top_right + 1), noise(top_right)}));
    EXPECT_EQ(texel(640, 0), (Bytes{0, 0, 0}));
    EXPECT_EQ(texel(0, 480), (Bytes{0, 0, 0}));
    EXPECT_EQ(level_size(10, GL_TEXTURE_WIDTH), 1);
}

TEST_F(Texture, FourthByteBecomesAlpha) {
    uint8_t px[] = {1, 2, 3, 4, 5, 6, 7, 8};
    upload({2, 1, 4, px, nullptr, 0});
    expect_mip_chain({3, 2, 1, 4, 7, 6, 5, 8}, 2, 1, 4, 2);
}

TEST_F(Texture, EmptyAndDegenerateRecordsGiveOneTexel) {
    upload({});
    EXPECT_EQ(tw, 1);
    EXPECT_EQ(th, 1);
    EXPECT_EQ(level_size(0, GL_TEXTURE_WIDTH), 0);
    uint8_t px[4] = {9, 9, 9, 9};
    upload({0, 5, 4, px, nullptr, 0});
    EXPECT_EQ(level(0, 4), (Bytes{0, 0, 128, 0}));
    upload({0, 5, 1, px, nullptr, 0});
    EXPECT_EQ(level(0, 3), (Bytes{0, 0, 0}));
    EXPECT_EQ(tw * th, 1);
}

TEST_F(Texture, PaletteImageShowsItsColoursAtEveryLevel) {
    Bytes indices(256 * 256), palette(1024), expected;
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = noise(i);
    for (size_t i = 0; i < palette.size(); ++i) palette[i] = noise(i + 7);
    upload({256, 256, 1, indices.data(), palette.data(), 0});
    EXPECT_EQ(tw, 256);
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
    uint16_t px555[] = {0x4210, 0x7C00, 0x03E0};
    upload({3, 1, 2, reinterpret_cast<uint8_t*>(px555), nullptr, 5});
    EXPECT_EQ(tw, 4);
    expect_mip_chain({132, 132, 132, 255, 0, 0, 0, 255, 0, 0, 0, 0}, 4, 1, 3, 3);
}

TEST_F(Texture, OneTexelSidesAverageNeighbours) {
    Bytes px(512 * 3);
    for (size_t i = 0; i < px.size(); ++i) px[i] = noise(i);
    for (bool tall : {false, true}) {
        Bytes rgb;
        for (size_t k = 0; k < 512; ++k) {
            size_t p = 3 * (tall ? 511 - k : k);
            rgb.insert(rgb.end(), {px[p + 2], px[p + 1], px[p]});
        }
        upload({tall ? 1 : 512, tall ? 512 : 1, 3, px.data(), nullptr, 0});
        expect_mip_chain(rgb, tall ? 1 : 512, tall ? 512 : 1, 3, 10);
        EXPECT_EQ(level(1, 3)[0], (rgb[0] + rgb[3] + 1) >> 1);
    }
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
            expected = box(expected, w, h, 3, nw, nh), w = nw, h = nh;
        }
        Bytes t = level(0, 3);
        ASSERT_EQ(t.size(), 64u * 64 * 3);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64 * 3; ++x)
                ASSERT_EQ(t[y * 64 * 3 + x], x < w * 3 && y < h ? expected[y * w * 3 + x] : 0) << x / 3 << "," << y;
    }
}
