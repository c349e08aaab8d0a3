// BMP decoding of every layout and broken file; whole frames of pictures of every pixel format, down
// their mipmaps and zoomed; the textures of a long show.
#include "image/formats.h"
#include "show.h"

#include <algorithm>
#include <vector>

namespace {

// Little-endian numbers written from `at` on, growing the bytes as needed.
Bytes put32(Bytes b, size_t at, std::initializer_list<uint32_t> values) {
    b.resize(std::max(b.size(), at + 4 * values.size()));
    for (uint32_t v : values)
        for (int i = 0; i < 4; ++i) b[at++] = static_cast<uint8_t>(v >> 8 * i);
    return b;
}

// A BMP file: headers, then `between` (colour table or masks), then the stored rows.
Bytes bmp(int32_t w, int32_t h, int bits, const Bytes& rows, const Bytes& between = {}, uint32_t compression = 0,
          uint32_t header = 40, uint32_t colours = 0) {
    Bytes b = put32({'B', 'M'}, 10, {uint32_t(14 + header + between.size()), header, uint32_t(w), uint32_t(h),
                                     1u | bits << 16, compression, 0, 0, 0, colours});
    b.resize(std::max<size_t>(b.size(), 14 + header));
    b.insert(b.end(), between.begin(), between.end());
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

// The record as numbers: width, height, bytes per pixel, green bits, the pixels
// and, with a palette, the first pixel's entry; nothing for the empty record.
std::vector<int> decoded(const Bytes& file) {
    SimpleBitmap b = bitmap_from_bmp(file.data(), file.size());
    std::vector<int> r;
    if (b.width || b.height || b.bytes_per_pixel || b.green_bits || b.pixels || b.palette)
        r = {b.width, b.height, b.bytes_per_pixel, b.green_bits};
    if (b.pixels) r.insert(r.end(), b.pixels, b.pixels + static_cast<size_t>(b.width) * b.height * b.bytes_per_pixel);
    if (b.pixels && b.palette) r.insert(r.end(), b.palette + 4 * b.pixels[0], b.palette + 4 * b.pixels[0] + 4);
    bitmap_free(&b);
    return r;
}

// Halves the chosen sides of packed texels: each new texel is the rounded mean of
// texels (2x, 2x + 1) x (2y, 2y + 1), clamped to the last; a side kept samples x twice.
Bytes box(const Bytes& t, int* w, int* h, int c, bool halve_x, bool halve_y) {
    const int nw = halve_x ? (*w + 1) / 2 : *w, nh = halve_y ? (*h + 1) / 2 : *h;
    Bytes out;
    for (int y = 0; y < nh; ++y)
        for (int x = 0; x < nw; ++x)
            for (int i = 0; i < c; ++i) {
                const int x0 = x << halve_x, x1 = std::min(x0 + halve_x, *w - 1), y0 = y << halve_y,
                          y1 = std::min(y0 + halve_y, *h - 1);
                auto at = [&](int tx, int ty) { return t[(static_cast<size_t>(ty) * *w + tx) * c + i]; };
                out.push_back(static_cast<uint8_t>((at(x0, y0) + at(x1, y0) + at(x0, y1) + at(x1, y1) + 2) >> 2));
            }
    *w = nw, *h = nh;
    return out;
}

}  // namespace

TEST(BmpDecode, EveryLayoutAndBrokenFile) {
    const Bytes rows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 99, 99, 99, 11, 12, 13, 14, 15, 16, 17, 18, 19, 99, 99, 99};
    const std::vector<int> upright = {3, 2, 3, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    const Bytes top_down = bmp(3, -2, 24, rows), masks565 = put32({}, 0, {0xF800, 0x07E0, 0x001F});
    const Bytes v5 = bmp(1, 1, 32, {1, 2, 3, 4}, {}, 3, 124), rle_table(16), two = put32(Bytes(8), 4, {0x55});
    const Bytes sixteen = put32(Bytes(64), 60, {0xAB}), full = put32(Bytes(1024), 1020, {0x04030201});
    // A run of three 7s, end of line, an absolute run of three padded to a word, a delta one
    // row up, a run past the right edge, a delta far above the top, end of bitmap.
    const Bytes rle = {3, 7, 0, 0, 0, 3, 1, 2, 3, 99, 0, 2, 0, 1, 9, 5, 0, 2, 1, 9, 0, 1};
    const struct { const char* what; Bytes file; std::vector<int> record; } cases[] = {
        {"bottom-up", bmp(3, 2, 24, rows), {3, 2, 3, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"top-down, the last row without its fill", Bytes(top_down.begin(), top_down.end() - 3), upright},
        {"last row short of a pixel byte", Bytes(top_down.begin(), top_down.end() - 4), {}},
        {"16 colours", bmp(1, 1, 8, {15, 0, 0, 0}, sixteen, 0, 40, 16), {1, 1, 1, 0, 15, 0xAB, 0, 0, 0}},
        {"256 colours", bmp(1, 1, 8, {255, 0, 0, 0}, full), {1, 1, 1, 0, 255, 1, 2, 3, 4}},
        {"V5 header: the stored pixel offset", bmp(1, 1, 24, {1, 2, 3, 0}, {}, 0, 124), {1, 1, 3, 0, 1, 2, 3}},
        {"V4: colours up to the pixels", bmp(1, 1, 8, {1, 0, 0, 0}, two, 0, 108), {1, 1, 1, 0, 1, 0x55, 0, 0, 0}},
        {"5-6-5", bmp(1, 1, 16, {0x34, 0x12, 0, 0}, masks565, 3), {1, 1, 2, 6, 0x34, 0x12}},
        {"bitfields without masks: 5-5-5", bmp(1, 1, 16, {0x34, 0x12, 0, 0}, {}, 3), {1, 1, 2, 5, 0x34, 0x12}},
        {"32 bits without alpha: opaque", put32(v5, 54, {0xFF0000, 0xFF00, 0xFF, 0}), {1, 1, 4, 0, 1, 2, 3, 255}},
        {"32 bits with alpha", put32(v5, 54, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}), {1, 1, 4, 0, 1, 2, 3, 4}},
        {"32 bits, other masks", put32(v5, 54, {0xFF, 0xFF00, 0xFF, 0}), {}},
        {"RLE8", bmp(4, 3, 8, rle, rle_table, 1, 40, 4), {4, 3, 1, 0, 0, 0, 0, 5, 1, 2, 3, 0, 7, 7, 7, 0, 0, 0, 0, 0}},
        {"RLE8 cut short", bmp(4, 1, 8, {0, 200, 9, 8}, rle_table, 1, 40, 4), {4, 1, 1, 0, 9, 8, 0, 0, 0, 0, 0, 0}},
        {"RLE8 of 24 bits", bmp(1, 1, 24, {0, 1}, {}, 1), {}}, {"RLE4", bmp(1, 1, 24, Bytes(4), {}, 2), {}},
        {"24 bits, masks", bmp(1, 1, 24, Bytes(4), masks565, 3), {}}, {"1 bit", bmp(8, 1, 1, Bytes(4)), {}},
        {"4 bits", bmp(2, 1, 4, Bytes(4)), {}}, {"40 bits", bmp(1, 1, 40, Bytes(8)), {}}, {"53 bytes", Bytes(53), {}},
        {"no width", bmp(0, 1, 24, Bytes(4)), {}}, {"no height", bmp(1, 0, 24, Bytes(4)), {}}, {"no bytes", {}, {}},
        {"height -2^31", bmp(1, INT32_MIN, 24, Bytes(4)), {}}, {"core header", bmp(1, 1, 24, Bytes(4), {}, 0, 12), {}},
        {"huge", bmp(0x7FFFFFFF, 0x7FFFFFFF, 32, Bytes(16)), {}},
        {"huge RLE8", bmp(65536, 65536, 8, Bytes(64), {}, 1), {}},
    };
    for (const auto& c : cases) EXPECT_EQ(decoded(c.file), c.record) << c.what;
    EXPECT_EQ(bitmap_from_bmp(nullptr, 100).bytes_per_pixel, 0);
}

// Noise pictures of each pixel format, shown in a window of their size, of half and a quarter of it (the next
// mipmap levels: each the box filter of the one above), and beyond a texture limit of 512, where 1000 pixels
// become 500 (a file under 1 MiB: no preview first): every pixel of the frame as the picture's. Zoomed by the
// square root of 1.75 a second later, a picture two or four times the window's size samples two levels: the
// frame is their trilinear blend, whatever levels the texture leaves out.
TEST_F(Show, NoisePicturesOfEveryFormatShowEveryPixelDownTheMipmaps) {
    const struct { int bits, w, h, window, limit; } cases[] = {
        {24, 48, 32, 48, 0}, {24, 96, 64, 48, 0}, {24, 192, 128, 48, 0}, {8, 1000, 1000, 500, 512},
        {16, 48, 32, 48, 0}, {15, 48, 32, 48, 0}, {8, 48, 32, 48, 0},    {32, 48, 32, 48, 0}};
    auto expand = [](int v, int bits) {  // a 5- or 6-bit channel widened to 8 bits, its top bits repeated below
        v &= (1 << bits) - 1;
        return static_cast<uint8_t>(v << (8 - bits) | v >> (2 * bits - 8));
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.w) + " pixels wide");
        restart();
        const int bytes = c.bits == 15 ? 2 : c.bits / 8, stride = (bytes * c.w + 3) & ~3;
        Bytes rows(static_cast<size_t>(stride) * c.h), palette(1024), picture;  // picture: RGB, top row first
        for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
        for (size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<uint8_t>((i * 40503u) >> 5);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                const uint8_t* p = &rows[static_cast<size_t>(c.h - 1 - y) * stride + static_cast<size_t>(x) * bytes];
                const int v = bytes == 2 ? p[0] | p[1] << 8 : 0, green = c.bits == 16 ? 6 : 5;
                if (c.bits == 8) p = &palette[4 * p[0]];
                if (bytes == 2)
                    picture.insert(picture.end(), {expand(v >> (5 + green), 5), expand(v >> 5, green),
                                                   expand(v & 31, 5)});
                else
                    picture.insert(picture.end(), {p[2], p[1], p[0]});
            }
        const Bytes file = c.bits == 16   ? bmp(c.w, c.h, 16, rows, put32({}, 0, {0xF800, 0x07E0, 0x001F}), 3)
                           : c.bits == 8  ? bmp(c.w, c.h, 8, rows, palette)
                           : c.bits == 32 ? put32(bmp(c.w, c.h, 32, rows, {}, 3, 124), 54, {0xFF0000, 0xFF00, 0xFF, 0})
                                          : bmp(c.w, c.h, bytes * 8, rows);
        write_file("l.bmp", file);
        write_file("r.bmp", file);
        write_file("config.txt", "Slide time: 2\nSlide pause before zoom: 1\nLeft image: l.bmp\nRight image: r.bmp\n");
        const int window_h = c.window * c.h / c.w;
        desktop(c.window, window_h);
        headless::state().frame_ticks = headless::state().frequency / 4;  // frame 6 at 1.5 s, halfway through the zoom
        display.texture_size_cap = c.limit;
        GLint widest = 0;  // of the textures at frame 3: within the limit
        at(3, [&widest](headless::State&) {
            for (GLuint name = 1; name < 100; ++name) {
                GLint texture_w = 0;
                if (glIsTexture(name)) glBindTexture(GL_TEXTURE_2D, name);
                if (glIsTexture(name)) glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &texture_w);
                widest = std::max(widest, texture_w);
            }
        });
        ASSERT_EQ(run(7), 0);
        if (c.limit) {
            EXPECT_EQ(widest, c.limit);
        }
        std::vector<Bytes> levels{picture};
        int w = c.w, h = c.h, wrong = 0;
        while (w > c.window) levels.push_back(box(levels.back(), &w, &h, 3, true, true));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Rgb got = pixel_at(frames[3], w, x, y), want = pixel_at(levels.back(), w, x, y);
                if (!(got == want) && ++wrong <= 3) ADD_FAILURE() << x << "," << y << ": " << got << " for " << want;
            }
        if (c.w < 2 * c.window || c.limit) continue;  // the zoomed frame: levels k0 and k0 + 1 blended
        const double zoom = std::sqrt(1.75), lod = std::log2(double(c.w) / c.window / zoom);
        const int k0 = static_cast<int>(lod);
        double error = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int i = 0; i < 3; ++i) {
                    double want = 0;
                    for (int k : {k0, k0 + 1}) {  // bilinear in each level
                        const int lw = c.w >> k, lh = c.h >> k;
                        const double s = (0.5 + (x + 0.5 - w / 2.0) / (w * zoom)) * lw - 0.5;
                        const double t = (0.5 + (y + 0.5 - h / 2.0) / (h * zoom)) * lh - 0.5;
                        const int s0 = static_cast<int>(std::floor(s)), t0 = static_cast<int>(std::floor(t));
                        auto at = [&](int a, int b) { return levels[k][(static_cast<size_t>(b) * lw + a) * 3 + i]; };
                        const double top = at(s0, t0) + (at(s0 + 1, t0) - at(s0, t0)) * (s - s0);
                        const double bottom = at(s0, t0 + 1) + (at(s0 + 1, t0 + 1) - at(s0, t0 + 1)) * (s - s0);
                        want += (k == k0 ? k0 + 1 - lod : lod - k0) * (top + (bottom - top) * (t - t0));
                    }
                    const Rgb got = pixel_at(frames[6], w, x, y);
                    error += std::abs((i == 0 ? got.r : i == 1 ? got.g : got.b) - want);
                }
        EXPECT_LT(error / (w * h * 3), 2.0);
    }
}

// A long show of pictures of two sizes (slide 3 larger), a slide a frame: each shows whole, and the textures
// of slides let go are filled again or freed. At most four slides' textures: the one on screen, the two kept
// ready, and the room for one more, which the first frame already holds beside the fonts' textures and the
// next slide's.
TEST_F(Show, TexturesOfSlidesLetGoAreReusedOrFreed) {
    quarter_second_frames();
    write_file("config.txt", "Slide time: 0.25\n" + slides(5));
    write_picture("l3.bmp", 3, 0, 64, 48), write_picture("r3.bmp", 3, 1, 64, 48);
    std::vector<int> expected;
    for (int frame = 0; frame < 30; ++frame) expected.push_back(frame % 5 + 1);
    std::vector<int> live;
    GLuint newest = 0;
    at(0, [&](headless::State& s) {
        s.on_swap = [&, read_back = s.on_swap](int k) {
            int textures = 0;
            for (GLuint name = 1; name < 1000; ++name)
                if (glIsTexture(name)) ++textures, newest = std::max(newest, name);
            live.push_back(textures);
            read_back(k);
        };
    });
    ASSERT_EQ(run(30), 0);
    EXPECT_EQ(slides_shown(), expected);
    // The font's, a pair each for the slide on the screen and the next one, and spares for one slide.
    EXPECT_LE(*std::max_element(live.begin(), live.end()), 1 + 3 * 2);
    // Names come in increasing order: the newest tells how many textures were made. Only the odd slide out,
    // and the one after it, make theirs anew: about 30, where a new pair each frame would make 60.
    EXPECT_LT(newest, 40u);
}
