#include "image.h"
#include "platform/headless.h"

#include <gtest/gtest.h>

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

Bytes pixels(const SimpleBitmap& b) {
    return Bytes(b.pixels, b.pixels + static_cast<size_t>(b.width) * b.height * b.bytes_per_pixel);
}

void expect_empty(const Bytes& file) {
    SimpleBitmap b = bitmap_from_bmp(file.data(), file.size());
    EXPECT_EQ(b.width, 0);
    EXPECT_EQ(b.height, 0);
    EXPECT_EQ(b.bytes_per_pixel, 0);
    EXPECT_EQ(b.pixels, nullptr);
    EXPECT_EQ(b.palette, nullptr);
}

}  // namespace

TEST(BmpDecode, PaddedBottomUpRowsBecomePackedTopDown) {
    Bytes rows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE};
    SimpleBitmap b = bitmap_from_bmp(bmp(3, 2, 24, rows).data(), 54 + rows.size());
    ASSERT_EQ(b.bytes_per_pixel, 3);
    EXPECT_EQ(pixels(b), (Bytes{11, 12, 13, 14, 15, 16, 17, 18, 19, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    bitmap_free(&b);
    EXPECT_EQ(b.pixels, nullptr);

    Bytes file = bmp(3, -2, 24, rows);
    b = bitmap_from_bmp(file.data(), file.size());
    EXPECT_EQ(pixels(b), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19}));
    bitmap_free(&b);
    // The last row's fill bytes may be missing; a pixel byte may not.
    file.resize(file.size() - 3);
    b = bitmap_from_bmp(file.data(), file.size());
    EXPECT_EQ(b.height, 2);
    bitmap_free(&b);
    file.resize(file.size() - 1);
    expect_empty(file);
}

TEST(BmpDecode, ColourTableCountPlacesTheRows) {
    Bytes table(64);
    table[4 * 15] = 0xAB;
    SimpleBitmap b = bitmap_from_bmp(bmp(1, 1, 8, {15, 0, 0, 0}, table, 0, 40, 16).data(), 54 + 64 + 4);
    ASSERT_EQ(b.bytes_per_pixel, 1);
    EXPECT_EQ(b.pixels[0], 15);
    EXPECT_EQ(b.palette[4 * 15], 0xAB);
    EXPECT_EQ(b.palette[4 * 16], 0);
    bitmap_free(&b);

    Bytes full(1024, 7);
    Bytes file = bmp(1, 1, 8, {200, 0, 0, 0}, full);
    b = bitmap_from_bmp(file.data(), file.size());
    EXPECT_EQ(file.size(), 1078u + 4);
    EXPECT_EQ(b.pixels[0], 200);
    EXPECT_EQ(b.palette[1023], 7);
    bitmap_free(&b);
}

TEST(BmpDecode, UnsupportedOrBrokenFilesGiveTheEmptyRecord) {
    expect_empty(bmp(8, 1, 1, Bytes(4)));
    expect_empty(bmp(2, 1, 4, Bytes(4)));
    expect_empty(bmp(1, 1, 40, Bytes(8)));
    expect_empty(bmp(0, 1, 24, Bytes(4)));
    expect_empty(bmp(1, 0, 24, Bytes(4)));
    expect_empty(bmp(1, INT32_MIN, 24, Bytes(4)));
    expect_empty(bmp(1, 1, 24, Bytes(4), {}, 2));
    expect_empty(bmp(1, 1, 24, Bytes(4), {}, 0, 12));
    expect_empty(bmp(0x7FFFFFFF, 0x7FFFFFFF, 32, Bytes(16)));
    expect_empty(bmp(65536, 65536, 8, Bytes(64), {}, 1));
    expect_empty(bmp(4, 4, 24, Bytes(47)));
    expect_empty(Bytes(53));
    expect_empty({});
    SimpleBitmap b = bitmap_from_bmp(nullptr, 100);
    EXPECT_EQ(b.bytes_per_pixel, 0);
}

TEST(BmpDecode, LongHeadersUseTheStoredPixelOffset) {
    Bytes file = bmp(1, 1, 24, {1, 2, 3, 0}, {}, 0, 124);
    EXPECT_EQ(file[10], 138);
    SimpleBitmap b = bitmap_from_bmp(file.data(), file.size());
    EXPECT_EQ(pixels(b), (Bytes{1, 2, 3}));
    bitmap_free(&b);

    Bytes table(8, 0);
    table[4] = 0x55;
    file = bmp(1, 1, 8, {1, 0, 0, 0}, table, 0, 108, 0);
    b = bitmap_from_bmp(file.data(), file.size());
    ASSERT_EQ(b.bytes_per_pixel, 1);
    EXPECT_EQ(b.palette[4], 0x55);
    EXPECT_EQ(b.palette[8], 0);
    EXPECT_EQ(b.pixels[0], 1);
    bitmap_free(&b);
}

TEST(BmpDecode, BitfieldsOfTheUsualLayouts) {
    Bytes masks565(12);
    put32(masks565, 0, 0xF800), put32(masks565, 4, 0x07E0), put32(masks565, 8, 0x001F);
    SimpleBitmap b = bitmap_from_bmp(bmp(1, 1, 16, {0x34, 0x12, 0, 0}, masks565, 3).data(), 70);
    EXPECT_EQ(pixels(b), (Bytes{0x34, 0x12}));
    EXPECT_EQ(b.green_bits, 6);
    bitmap_free(&b);
    // Masks left out of a 40-byte file mean the default 5-5-5.
    b = bitmap_from_bmp(bmp(1, 1, 16, {0x34, 0x12, 0, 0}, {}, 3).data(), 58);
    EXPECT_EQ(pixels(b), (Bytes{0x34, 0x12}));
    EXPECT_EQ(b.green_bits, 5);
    bitmap_free(&b);

    Bytes file = bmp(1, 1, 32, {1, 2, 3, 4}, {}, 3, 124);
    put32(file, 54, 0xFF0000), put32(file, 58, 0xFF00), put32(file, 62, 0xFF);
    b = bitmap_from_bmp(file.data(), file.size());
    EXPECT_EQ(pixels(b), (Bytes{1, 2, 3, 0xFF}));
    bitmap_free(&b);
    put32(file, 66, 0xFF000000);
    b = bitmap_from_bmp(file.data(), file.size());
    EXPECT_EQ(pixels(b), (Bytes{1, 2, 3, 4}));
    bitmap_free(&b);
    put32(file, 54, 0xFF);
    expect_empty(file);
    expect_empty(bmp(1, 1, 24, Bytes(4), masks565, 3));
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
    Bytes file = bmp(4, 3, 8, rle, table, 1, 40, 4);
    SimpleBitmap b = bitmap_from_bmp(file.data(), file.size());
    EXPECT_EQ(pixels(b), (Bytes{0, 0, 0, 5, 1, 2, 3, 0, 7, 7, 7, 0}));
    bitmap_free(&b);

    // An absolute run longer than the data left, then nothing.
    file = bmp(4, 1, 8, {0, 200, 9, 8}, table, 1, 40, 4);
    b = bitmap_from_bmp(file.data(), file.size());
    EXPECT_EQ(pixels(b), (Bytes{9, 8, 0, 0}));
    bitmap_free(&b);
    expect_empty(bmp(1, 1, 24, {0, 1}, {}, 1));
}

TEST(Image, Pow2CeilIsTheSmallestPowerOfTwoNotBelow) {
    const uint32_t in[] = {0, 1, 2, 3, 480, 640, 1024, 1025, 0x80000000u, 0x80000001u};
    const uint32_t out[] = {0, 1, 2, 4, 512, 1024, 1024, 2048, 0x80000000u, 0};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(pow2_ceil(in[i]), out[i]) << in[i];
}
