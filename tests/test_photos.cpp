// Photos as slides: JPEG, PNG, MPO and JPS/PNS files, loaded one by one and shown whole.
#include "heif_files.h"
#include "show.h"

namespace {

const Rgb RED{255, 0, 0}, BLUE{0, 0, 255}, BLACK{0, 0, 0};

// One letter per colour, within what lossy compression leaves: Red, Blue, - black, ? other.
char seen(const Rgb& c) {
    for (const auto& [colour, letter] : {std::pair{RED, 'R'}, {BLUE, 'B'}, {BLACK, '-'}})
        if (std::abs(c.r - colour.r) + std::abs(c.g - colour.g) + std::abs(c.b - colour.b) < 40) return letter;
    return '?';
}

// Size and first pixel of a picture, as "64x16 R".
std::string view(const SimpleBitmap& b) {
    const std::string size = std::to_string(b.width) + "x" + std::to_string(b.height);
    if (b.pixels) return size + " " + seen({b.pixels[2], b.pixels[1], b.pixels[0]});
    // No picture: why, in its first word that tells the reasons apart.
    const std::string why = b.failure ? b.failure : "?";
    return size + " " + (why == PICTURE_UNREADABLE ? "missing" : why == PICTURE_UNKNOWN ? "unknown"
                         : why == PICTURE_DAMAGED ? "damaged" : why == PICTURE_TOO_LARGE ? "large"
                         : why == PICTURE_UNSUPPORTED ? "unsupported" : why == PICTURE_NO_MEMORY ? "memory" : "?");
}

Pixels across(Rgb left, Rgb right, int w) { return [=](int x, int) { return x < w / 2 ? left : right; }; }
Pixels down(Rgb top, Rgb bottom, int h) { return [=](int, int y) { return y < h / 2 ? top : bottom; }; }

}  // namespace

// Every file decoded for a slide on a 64 x 64 screen, hostile ones included:
// each eye's size and first pixel, and whether the eyes share one picture.
TEST_F(Show, PhotosGiveTheirViewsAtTheSizeTheScreenNeedsAndHostileOnesNothing) {
    screen(64, 64);
    const Bytes pattern = jpeg(64, 64, [](int x, int y) { return Rgb{uint8_t(x * 4), uint8_t(y * 4), 0}; });
    Bytes bomb = jpeg(16, 16, solid(RED));
    // The frame header claims 0xFDFD x 0xFDFD pixels.
    std::fill_n(bomb.begin() + std::string(bomb.begin(), bomb.end()).find("\xFF\xC0") + 5, 4, 0xFD);
    // x265 codes pictures of at least 64 x 64.
    const Hevc red = hevc(64, 64, solid(RED)), blue = hevc(64, 64, solid(BLUE)), tile = hevc(128, 128, solid(RED));
    const std::vector<HeifImage> pair = {{{red}}, {{blue}}};
    // Views told apart by size: red 16, blue 24, red 32, blue 40 pixels square.
    std::vector<MpView> views;
    for (uint32_t n = 1; n <= 4; ++n) views.push_back({jpeg(8 + 8 * n, 8 + 8 * n, solid(n % 2 ? RED : BLUE)), n});
    const Bytes shaded = mpo(jpeg(32, 32, solid(RED)), jpeg(64, 64, [](int x, int y) { return Rgb{0, uint8_t(x * y / 16), 255}; }), true);
    const std::map<std::string, Bytes> files = {
        {"pair.mpo", mpo(jpeg(32, 32, solid(RED)), jpeg(32, 32, solid(BLUE)), true)},
        {"bad.mpo", mpo(jpeg(32, 32, solid(RED)), jpeg(32, 32, solid(BLUE)), false, true)},
        {"cut.mpo", Bytes(shaded.begin(), shaded.end() - 200)},
        // Of four views the base viewpoint and its right neighbour; else the two leftmost.
        {"four.mpo", mpo(views, false, 2)}, {"rightmost.mpo", mpo(views, true, 4)},
        // Views are ordered by their numbers, not by their place in the file.
        {"numbered.mpo", mpo({{views[0].jpeg, 2}, {views[1].jpeg, 1}}, true)},
        // A thumbnail among the views is no view.
        {"thumbnail.mpo", mpo({views[0], {views[1].jpeg, 2, 0x010001}, views[2]}, false)},
        // The left frame's orientation turns both.
        {"turned.mpo", mpo(with_exif(jpeg(16, 32, down(RED, BLUE, 32)), 6), jpeg(16, 32, down(RED, BLUE, 32)), false)},
        {"plain.jpg", jpeg(64, 16, across(RED, BLUE, 64))}, {"cross.jps", jpeg(64, 16, across(BLUE, RED, 64))},
        {"over.JPS", with_jps(jpeg(32, 32, down(RED, BLUE, 32)), 5, 3)},
        {"squeezed.jps", with_jps(jpeg(64, 16, across(RED, BLUE, 64)), 2, 2)},
        // One picture for both eyes: the mono type, rows interleaved (1), an anaglyph (4).
        {"mono.jps", with_jps(jpeg(64, 16, across(RED, BLUE, 64)), 2, 2, 0)},
        {"woven.jps", with_jps(jpeg(64, 16, across(RED, BLUE, 64)), 0, 1)},
        {"glasses.jps", with_jps(jpeg(64, 16, across(RED, BLUE, 64)), 0, 4)},
        {"cross.pns", png(64, 16, across(BLUE, RED, 64))}, {"big.jpg", jpeg(1024, 512, solid(RED))},
        // Stored on their sides, top red and bottom blue: 6 turns a quarter clockwise, 8 anticlockwise.
        {"turned6.jpg", with_exif(jpeg(16, 32, down(RED, BLUE, 32)), 6)},
        {"turned8.jpg", with_exif(jpeg(16, 32, down(RED, BLUE, 32)), 8)},
        {"mirrored.jpg", with_exif(jpeg(32, 16, across(RED, BLUE, 32)), 2)},
        {"turned6.png", png(16, 32, down(RED, BLUE, 32), 6)},
        // Each half of a stored side-by-side picture turned by itself: red at the bottom of the right half.
        {"turned.pns", png(64, 16, [](int x, int y) { return (x < 32) == (y < 8) ? RED : BLUE; }, 6)},
        // Inks: black by the key alone at left, red (blue) at right, read as cross-eyed halves.
        {"ycck.jps", cmyk_jpeg(32, 16, across(BLACK, RED, 32), true)},
        {"cmyk.jps", cmyk_jpeg(32, 16, across(BLACK, BLUE, 32), false)},
        {"cut.jpg", Bytes(pattern.begin(), pattern.begin() + pattern.size() * 2 / 3)},
        {"head.jpg", Bytes(pattern.begin(), pattern.begin() + 30)}, {"bomb.jpg", bomb},
        {"huge.png", png_claiming(png(8, 8, solid(RED)), 100000, 100000)},
        {"bomb.png", png_claiming(png(8, 8, solid(RED)), 60000, 60000)},
        {"noise.jpg", Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF, 'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42}},
        {"noise.png", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0}},
        // Spatial photos: a stereo pair group's first entity is the left eye, whatever the items' order.
        {"spatial.heic", spatial_heic(red, blue)}, {"swapped.heic", heif_file(pair, heif_group("ster", {2, 1}))},
        {"plain.heic", heif_file(pair)}, {"album.heic", heif_file(pair, heif_group("albc", {2, 1}))},
        {"missing.heic", heif_file(pair, heif_group("ster", {1, 9}))},
        {"three.heic", heif_file(pair, heif_group("ster", {1, 2, 1}))},
        {"zero.heic", heif_file(pair, heif_group("ster", {0, 2}))},
        {"cut.heic", heif_file(pair, heif_group("ster", {1, 2}, 4))},
        {"grid.heic", heif_file({{{tile, tile, tile, tile, tile, tile, tile, tile}, 4}})},
        // Red left and blue right, turned a quarter anticlockwise: blue on top.
        {"turned.heic", heif_file({{{hevc(128, 64, across(RED, BLUE, 128))}, 1, 0, 0, 1}})},
        {"bomb.heic", heif_file({{{red}, 1, 20000, 20000}})}, {"huge.heic", heif_file({{{red}, 1, 40000, 32}})},
        {"liar.heic", heif_file({{{red}, 1, 16, 16}})},
    };
    for (const auto& [name, bytes] : files) write_file(name, bytes);
    const struct { const char *l, *r; int32_t stereo_mode; const char* expected; } cases[] = {
        {"pair.mpo", "PAIR.MPO", 0, "32x32 R | 32x32 B"}, {"cut.mpo", "cut.mpo", 0, "32x32 R | 64x64 B"},
        {"four.mpo", "four.mpo", 0, "24x24 B | 32x32 R"}, {"rightmost.mpo", "rightmost.mpo", 0, "16x16 R | 24x24 B"},
        {"numbered.mpo", "numbered.mpo", 0, "24x24 B | 16x16 R"}, {"thumbnail.mpo", "thumbnail.mpo", 0, "16x16 R | 32x32 R"},
        {"turned.mpo", "turned.mpo", 0, "32x16 B | 32x16 B"},
        {"plain.jpg", "PLAIN.JPG", 0, "64x16 R | 64x16 R same"},  // the side-by-side rule stays
        {"cross.jps", "cross.jps", 0, "32x16 R | 32x16 B"}, {"cross.pns", "cross.pns", 0, "32x16 R | 32x16 B"},
        {"over.JPS", "over.JPS", 0, "32x32 R | 32x32 B"},          // half height, left first
        {"squeezed.jps", "squeezed.jps", 0, "64x16 B | 64x16 R"},  // half width, right first
        {"mono.jps", "mono.jps", 0, "64x16 R | 64x16 R"}, {"woven.jps", "woven.jps", 0, "64x16 R | 64x16 R"},
        {"glasses.jps", "glasses.jps", 0, "64x16 R | 64x16 R"},
        {"cross.jps", "plain.jpg", 0, "64x16 B | 64x16 R"},  // named for one eye, one picture
        {"big.jpg", "none", 0, "256x128 R | 0x0 missing"},  // a quarter still covers 1.75 x 64
        {"big.jpg", "none", 5, "128x64 R | 0x0 missing"},   // each eye's screen is 64 x 32
        {"turned6.jpg", "mirrored.jpg", 0, "32x16 B | 32x16 B"},
        {"turned8.jpg", "none", 0, "32x16 R | 0x0 missing"},
        {"turned6.png", "turned8.jpg", 0, "32x16 B | 32x16 R"}, {"turned.pns", "turned.pns", 0, "16x32 R | 16x32 B"},
        {"ycck.jps", "ycck.jps", 0, "16x16 R | 16x16 -"}, {"cmyk.jps", "cmyk.jps", 0, "16x16 B | 16x16 -"},
        {"bad.mpo", "bad.mpo", 0, "32x32 R | 0x0 damaged"},
        {"bad.mpo", "cut.jpg", 0, "32x32 R | 64x64 -"},  // the first frame; what could be decoded
        {"head.jpg", "bomb.jpg", 0, "0x0 damaged | 0x0 large"},
        {"huge.png", "bomb.png", 0, "0x0 large | 0x0 large"},
        {"noise.jpg", "noise.png", 0, "0x0 damaged | 0x0 damaged"},
        {"config.txt", "plain.jpg", 0, "0x0 unknown | 64x16 R"},
        {"spatial.heic", "spatial.heic", 0, "64x64 R | 64x64 B"}, {"swapped.heic", "swapped.heic", 0, "64x64 B | 64x64 R"},
        {"spatial.heic", "plain.heic", 0, "64x64 R | 64x64 R"},  // named for one eye: the primary image
        {"plain.heic", "plain.heic", 0, "64x64 R | 64x64 R same"}, {"album.heic", "album.heic", 0, "64x64 R | 64x64 R same"},
        {"missing.heic", "missing.heic", 0, "64x64 R | 0x0 damaged"},
        {"three.heic", "three.heic", 0, "0x0 damaged | 0x0 damaged"}, {"cut.heic", "cut.heic", 0, "0x0 damaged | 0x0 damaged"},
        {"zero.heic", "zero.heic", 0, "0x0 damaged | 0x0 damaged"},
        {"grid.heic", "none", 0, "256x128 R | 0x0 missing"},  // 512 x 256 in 8 tiles, halved for the screen
        {"turned.heic", "none", 0, "64x128 B | 0x0 missing"},
        {"bomb.heic", "huge.heic", 0, "0x0 large | 0x0 large"}, {"liar.heic", "none", 0, "0x0 damaged | 0x0 missing"},
    };
    for (const auto& c : cases) {
        write_file("config.txt", std::string("Left image: ") + c.l + "\nRight image: " + c.r + "\n");
        ConfigList list = config_load("config.txt", ':');
        std::unique_ptr<Slide> s = load_slide(&list, 1, StereoMode(c.stereo_mode));
        EXPECT_EQ(view(s->left_image) + " | " + view(s->right_image) + (s->same_image ? " same" : ""), c.expected) << c.l;
        config_free(&list);
    }
}
