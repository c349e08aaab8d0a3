// Automatic alignment: pairs with known answers measured as slides are prepared, and whole shows where the
// measurement, the slide's own offset, a camera's parallax or the setting decides the offset.
#include "show.h"
#include "stereo_pairs.h"

namespace {

// A far wall (a checker pattern of the period given, if any), a middle plane, a nearer one (a tenth of the
// picture) and a tiny speck far in front, which must not count as the nearest thing.
StereoScene scene(double shift_y, double near, double far, double noise, double period = 0, double turn = 0) {
    return {{{0, 0, 1, 1, far, period},
             {0.08, 0.1, 0.55, 0.65, (near + far) / 2},
             {0.6, 0.5, 0.9, 0.85, near},
             {0.2, 0.78, 0.24, 0.83, near - 0.04}},
            shift_y, noise, 1, turn};
}

enum class Pair { files, side_by_side, larger_right, flat, same, unrelated };

// The pair's files, BMP for quality 0 and JPEG else, named in config.txt as one slide.
std::string write_pair(Pair pair, const StereoScene& s, int quality) {
    const int w = 512, h = 384, scale = pair == Pair::larger_right ? 2 : 1;
    const StereoScene flat{{}, 0, s.noise}, other{s.planes, s.shift_y, s.noise, 9};  // grey; another texture
    const Pixels left = scene_eye(pair == Pair::flat ? flat : s, 0, w, h);
    const Pixels right = pair == Pair::same ? left
                         : scene_eye(pair == Pair::flat ? flat : pair == Pair::unrelated ? other : s, 1, scale * w,
                                     scale * h);
    auto write = [quality](const std::string& name, int width, int height, const Pixels& pixels) {
        const std::string file = name + (quality ? ".jpg" : ".bmp");
        write_file(file, quality ? jpeg(width, height, pixels, quality) : bmp24(width, height, pixels));
        return file;
    };
    if (pair == Pair::side_by_side) {
        const std::string both = write("both", 2 * w, h, [&](int x, int y) { return x < w ? left(x, y) : right(x - w, y); });
        return "Left image: " + both + "\nRight image: " + both + "\n";
    }
    return "Left image: " + write("l", w, h, left) + "\nRight image: " + write("r", scale * w, scale * h, right) + "\n";
}

// How far apart the eyes' pictures of the nearest plane lie in a frame of
// the side-by-side mode: the mean grey difference between the halves there.
double nearest_plane_difference(const std::vector<uint8_t>& frame, int w, int h) {
    double total = 0;
    int count = 0;
    for (int y = h * 55 / 100; y < h * 82 / 100; ++y)
        for (int x = w / 2 * 62 / 100; x < w / 2 * 85 / 100; ++x, ++count)
            total += std::abs(pixel_at(frame, w, x, y).g - pixel_at(frame, w, x + w / 2, y).g);
    return total / count;
}

}  // namespace

// The offset measured for each pair, against the truth: the right eye's vertical shift undone within 0.1 % of
// the height, the nearest plane put on the screen plane within 0.2 % of the width. Pairs without a clear
// answer keep the offset carried over from the slide before.
TEST_F(Show, AlignmentIsMeasuredWhileASlideIsPrepared) {
    screen(1024, 768);
    const struct { const char* what; Pair pair; double shift_y, near, far, noise, period, turn; int quality;
                   bool trustworthy; } cases[] = {
        {"right eye 3 % lower", Pair::files, 0.03, -0.025, 0.005, 2, 0, 0, 0, true},
        {"right eye 3 % higher, JPEG", Pair::files, -0.03, -0.02, 0.01, 2, 0, 0, 85, true},
        {"1.3 % lower, noisy JPEG", Pair::files, 0.013, -0.035, -0.005, 6, 0, 0, 80, true},
        {"everything behind the screen", Pair::files, -0.007, 0.012, 0.03, 3, 0, 0, 90, true},
        {"a wall of a repeating pattern", Pair::files, -0.015, -0.025, 0.005, 2, 24, 0, 90, true},
        {"the right eye turned by half a degree", Pair::files, 0.02, -0.025, 0.005, 2, 0, 0.5, 90, true},
        {"one side-by-side file", Pair::side_by_side, 0.021, -0.03, 0, 3, 0, 0, 90, true},
        {"the right picture twice as large", Pair::larger_right, -0.016, -0.018, 0.004, 3, 0, 0, 90, true},
        {"featureless", Pair::flat, 0.01, -0.02, 0, 3, 0, 0, 90, false},
        {"identical eyes", Pair::same, 0, 0, 0, 3, 0, 0, 0, false},
        {"unrelated pictures", Pair::unrelated, 0.01, -0.02, 0, 3, 0, 0, 90, false},
    };
    for (const auto& c : cases) {
        const std::string slide =
            write_pair(c.pair, scene(c.shift_y, c.near, c.far, c.noise, c.period, c.turn), c.quality);
        write_file("config.txt", "Align pairs automatically: Y\n" + slide);
        ConfigList list = config_load("config.txt", ':');
        std::unique_ptr<Slide> s = load_slide(&list, 1, StereoMode::none);
        install_slide(s.get(), &list, 1, 0.25f, 0.5f);
        config_free(&list);
        const char* doubt = s->alignment.doubt ? s->alignment.doubt : "";
        EXPECT_EQ(s->alignment.trustworthy, c.trustworthy) << c.what << ": " << doubt;
        if (!c.trustworthy) {
            EXPECT_EQ(std::make_pair(s->stereo_offset_x, s->stereo_offset_y), std::make_pair(0.25f, 0.5f)) << c.what;
            continue;
        }
        EXPECT_NEAR(s->stereo_offset_x, -c.near, 0.002) << c.what;
        EXPECT_NEAR(s->stereo_offset_y, -c.shift_y, 0.001) << c.what;
        EXPECT_NEAR(s->alignment.rotation_degrees, c.turn, 0.05) << c.what;
    }
}

// Whole shows of one misaligned pair, the eyes side by side: the right eye 2 % lower, the nearest plane 2.5 %
// of the width in front of the screen. A Shift held without moving the mouse writes the offset in effect;
// moving it edits that offset, measured or not.
TEST_F(Show, AutomaticAlignmentAndWhatWinsOverIt) {
    const StereoScene s = scene(0.02, -0.025, 0.005, 2);
    const Bytes left = jpeg(640, 480, scene_eye(s, 0, 640, 480), 90), right = jpeg(640, 480, scene_eye(s, 1, 640, 480), 90);
    write_file("pair_L.jpg", left);
    write_file("pair_R.jpg", right);
    const std::string listed = "Left image: pair_L.jpg\nRight image: pair_R.jpg\n";
    const struct {
        const char* what;
        std::string config;
        int mouse_x;
        float x, y;  // the offset in effect
        bool camera;   // camera.mpo, first in the folder, with a parallax of 1.5 % of the width
        bool aligned;  // in the first frame, before any edit
    } cases[] = {
        {"a folder show measures", "", 0, 0.025f, -0.02f, false, true},
        {"a folder show told not to", "Align pairs automatically: N\n", 0, 0, 0, false, false},
        {"a slide list without the setting", listed, 0, 0, 0, false, false},
        {"the slide's own offset", "Align pairs automatically: Y\n" + listed + "Stereo offset: 0.01,0.003\n", 0,
         0.01f, 0.003f, false, false},
        {"an edit starts from the measured offset", "", 32, 0.075f, -0.02f, false, true},
        {"a camera's parallax", "Align pairs automatically: Y\n", 0, 0.015f, 0, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        desktop(640, 480);
        if (c.camera) write_file("camera.mpo", mpo(left, with_exif(right, 1, 15), false));
        write_file("config.txt", "Stereo mode: 2\nSlide time: 100\n" + c.config);
        hold(VK_KEY_SHIFT, 1, 3);
        at(2, [&c](headless::State& st) { st.cursor_x += c.mouse_x; });
        ASSERT_EQ(run(4), 0);
        const std::string saved = read_file("config.txt");
        float x = -1, y = -1;
        const size_t at = saved.find("Stereo offset: ");
        ASSERT_NE(at, std::string::npos) << saved;
        std::sscanf(saved.c_str() + at + 15, "%f,%f", &x, &y);
        EXPECT_NEAR(x, c.x, 0.002);
        EXPECT_NEAR(y, c.y, 0.001);
        EXPECT_EQ(nearest_plane_difference(frames.at(0), 640, 480) < 8, c.aligned)
            << nearest_plane_difference(frames.at(0), 640, 480);
    }
}
