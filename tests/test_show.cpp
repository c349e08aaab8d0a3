// Whole shows on the headless desktop: every stereo mode, the keys, the clock,
// the random order, offset editing, screenshots and what config.txt keeps.
#include "show.h"

#include "text/bitmapfonts.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

// Pixels of the letters (white, grey at their soft edges) in a rectangle with an untouched pixel of the
// picture beside them, above or below: where the black outline is missing.
int count_unoutlined(const std::vector<uint8_t>& rgb, const ScreenModel& m, int x0, int y0, int x1, int y1) {
    auto letter = [&](int x, int y) {
        const Rgb c = pixel_at(rgb, m.w, x, y);
        return c.r >= 64 && c.r == c.g && c.g == c.b;
    };
    auto picture = [&](int x, int y) {
        Seen want{}, got{};
        return !letter(x, y) && pixel_matches(rgb, m, 1, x, y, &want, &got) == Match::yes && got.slide == 1;
    };
    int n = 0;
    for (int y = std::max(y0, 1); y < std::min(y1, m.h) - 1; ++y)
        for (int x = std::max(x0, 1); x < std::min(x1, m.w) - 1; ++x)
            n += letter(x, y) && (picture(x + 1, y) || picture(x - 1, y) || picture(x, y + 1) || picture(x, y - 1));
    return n;
}

}  // namespace

// Each eye's picture lands in its own part of the window, upright, at its own proportions, zoomed and moved
// apart by the offset; interleaved eyes keep to their desktop rows, columns or pixels wherever the window
// sits, wider and taller than the texture limit as well (the font's texture within it too). The caption lies
// on top, once over a shared picture and inside each eye's own part.
TEST_F(Show, EveryStereoModeShowsEachEyeWhereItBelongs) {
    const struct { int mode; bool swap; int left, top, w, h; bool side_by_side; } cases[] = {
        {0, false, 0, 0, 1366, 768, false},   {1, false, 0, 0, 1366, 768, false},  {1, false, 0, 0, 1365, 767, false},
        {2, false, 0, 0, 1366, 768, false},   {2, false, 0, 0, 1366, 768, true},   {3, false, 0, 0, 1366, 768, false},
        {3, true, 0, 0, 1366, 768, false},    {3, false, 0, 1, 1366, 768, false},  {4, false, 0, 0, 1366, 768, false},
        {5, false, 0, 0, 1366, 768, false},   {9, false, 0, 0, 1366, 768, false},  {9, false, 0, 0, 1365, 767, false},
        {10, false, 0, 0, 1366, 768, false},  {10, true, 0, 0, 1366, 768, false},  {10, false, 1, 1, 1366, 768, false},
        {10, true, 3, 0, 1365, 767, true},    {11, false, 0, 0, 1366, 768, false}, {11, true, 0, 0, 1366, 768, false},
        {11, false, 1, 0, 1366, 768, false},  {11, false, 0, 1, 1366, 768, false}, {11, true, 5, 3, 1365, 767, false},
        {12, false, 0, 0, 1280, 1470, false}, {12, false, 1, 1, 1366, 768, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + (c.swap ? " swapped" : "") + " at " + std::to_string(c.left) +
                     "," + std::to_string(c.top) + " " + std::to_string(c.w) + "x" + std::to_string(c.h) +
                     (c.side_by_side ? " side-by-side" : ""));
        restart();
        desktop(c.w + c.left, c.h + c.top);
        headless::state().frame_ticks = 1250000;  // frame 2 is halfway through the zoom
        if (c.mode == 3) display.texture_size_cap = 512;  // rows interlaced beyond the texture limit too
        write_picture("left.bmp", 1, 0, 160, 120);
        write_picture("right.bmp", 1, 1, 160, 120);
        write_file("pair.bmp", bmp24(320, 120, [](int x, int y) {
                       return picture_pixel(1, x / 160, 160, 120, x % 160, y);  // left eye, then right
                   }));
        const EyePicture eye = c.side_by_side ? EyePicture{320, 120, true} : EyePicture{160, 120, false};
        const std::string pictures = c.side_by_side ? "Left image: pair.bmp\nRight image: pair.bmp\n"
                                                    : "Left image: left.bmp\nRight image: right.bmp\n";
        write_file("config.txt", pictures + "Stereo offset: 0.04,0.02\nCaption: Hello there$y=0.9\n"
                                 "Slide time: 4\nSlide pause before zoom: 1\nStereo mode: " + std::to_string(c.mode) +
                                 "\nSwap stereo: " + (c.swap ? "Y" : "N") + "\nResolution: " + std::to_string(c.w) +
                                 "x" + std::to_string(c.h) + "\nFullscreen offset: " + std::to_string(c.left) + "," +
                                 std::to_string(c.top) + "\n");
        ASSERT_EQ(run(3), 0);
        ASSERT_EQ(frames.size(), 3u);
        ASSERT_EQ(display.screen_width, c.w);
        for (const InterlaceTile& tile : display.interlace_tiles) EXPECT_LE(std::max(tile.width, tile.height), 512u);
        EXPECT_EQ(font_at(0)->texture_width, c.mode == 3 ? 512u : 2048u);  // the built-in font within the limit
        ScreenModel model{c.mode, c.w, c.h, c.top, c.swap, {eye, eye}, 1, 0.04, 0.02, c.left, 0.9};
        EXPECT_GT(check_frame(frames[0], model, 1), 500);
        model.zoom = std::sqrt(1.75);
        EXPECT_GT(check_frame(frames[2], model, 1), 500);
        // White letters with a black outline all round, inside the middle three
        // quarters of each view that has text.
        for (const ModelView& v : model.text_views()) {
            const int top = v.y + static_cast<int>(0.9 * v.h), bottom = v.y + v.h;
            EXPECT_GT(count_pixels(frames[2], c.w, v.x + v.w / 8, top, v.x + 7 * v.w / 8, bottom, true), 50);
            EXPECT_GT(count_pixels(frames[2], c.w, v.x + v.w / 8, top, v.x + 7 * v.w / 8, bottom, false), 50);
            EXPECT_EQ(count_unoutlined(frames[2], model, v.x, top, v.x + v.w, bottom), 0);
            EXPECT_EQ(count_pixels(frames[2], c.w, v.x, top, v.x + v.w / 8 - 2, bottom, true), 0);
        }
    }
}

// A caption over grey in a narrow window: white in a black outline, at twice the built-in font (the
// nearest whole scale to 3 % of 1080 rows), wrapped at blanks within the middle three quarters, a word
// wider than that broken; its lines a cell and a row apart, none begun below the window.
TEST_F(Show, ACaptionWrapsWithinItsView) {
    desktop(320, 1080);
    write_file("grey.bmp", bmp24(8, 8, [](int, int) { return Rgb{128, 128, 128}; }));
    write_file("config.txt", "Slide time: 100\nLeft image: grey.bmp\nRight image: grey.bmp\n"
                             "Caption: Wrapped at blanks; Pneumonoultramicroscopic words, the rest cut$y=0.85\n");
    TextWatch text;
    ASSERT_EQ(run(1), 0);
    EXPECT_EQ(text.lines[0], (std::map<int, std::string>{
                                 {918, "Wrappedat"}, {959, "blanks;"}, {1000, "Pneumonoult"}, {1041, "ramicroscop"}}));
    // Across the first letter's stem: grey, darkened by the outline, the white face with brighter soft edges.
    std::vector<int> row;
    for (int x = 36; x < 52; ++x) row.push_back(pixel_at(frames[0], 320, x, 928).r);
    EXPECT_EQ(row, (std::vector<int>{128, 128, 128, 32, 38, 102, 204, 255, 255, 247, 229, 165, 55, 4, 39, 104}));
}

// P, the arrows and the clock, frame by frame, in file order; Left brings back
// the slide just left without reading its files again. Alt+Tab minimises the
// window until it is iconic, meanwhile it is not put on top, and the show goes on.
TEST_F(Show, ArrowsPauseAndTheClockStepThroughTheSlides) {
    quarter_second_frames();
    write_file("config.txt", "My show\n" + slides(3) + "Slide time: 1\n");
    press(VK_KEY_LEFT, 1);      // at the first slide: nothing
    press(VK_KEY_RIGHT, 2);     // slide 2, its clock from 0
    press('P', 4);              // paused
    press(VK_KEY_RIGHT, 7);     // slide 3, still paused
    hold(VK_KEY_RIGHT, 9, 11);  // at the last slide: nothing
    press('P', 12);             // the clock runs on without a jump; at 1 s it wraps to slide 1
    hold(VK_KEY_MENU, 13, 14);
    press(VK_KEY_TAB, 13);
    // Iconic for frame 15, sized 0 x 0 meanwhile as the desktops report it: nothing drawn.
    at(15, [](headless::State& s) { s.iconic = true, gfx_window_proc(nullptr, PLAT_MSG_SIZE, 0, 0, 0); });
    at(16, [](headless::State& s) {
        EXPECT_EQ(display.screen_height, 1);
        s.iconic = false, gfx_window_proc(nullptr, PLAT_MSG_SIZE, 0, 200, 150);
    });
    press(VK_KEY_RIGHT, 17);
    hold(VK_KEY_LEFT, 19, 20);  // Left and Right together: slide 2 again, its clock from 0
    hold(VK_KEY_RIGHT, 19, 20);
    at(20, [](headless::State&) {
        std::remove("l1.bmp");
        std::remove("r1.bmp");
    });
    press(VK_KEY_LEFT, 21);
    ASSERT_EQ(run(24), 0);
    EXPECT_EQ(slides_shown(), (std::vector<int>{1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3, 0,  //
                                                1, 2, 2, 2, 2, 1, 1, 1}));
    EXPECT_EQ(read_file("config.txt"), text_mode(slides(3) + "Slide time: 1\n" + DESCRIPTIVE));
    const headless::State& s = headless::state();
    // Minimised at pumps 13 and 14, not put on top at 14 and 15; the cursor hidden once.
    EXPECT_EQ(std::vector<int>({s.minimise_calls, s.topmost_calls, s.hide_cursor_calls}),
              std::vector<int>({2, s.pumps - 2, 1}));
}

// A seeded random show: each next slide drawn among the first N (a number beyond the file's slides shows
// black), drawn again once when it repeats. The arrows step from the slide on screen, and the next draw is
// then made against the slide they lead to, as if each draw were made when its slide is due. Slides are
// prepared ahead, three held at most.
TEST_F(Show, RandomOrderDrawsAmongTheFirstN) {
    quarter_second_frames();
    headless::state().seed_clock = 77;  // the seed
    write_file("config.txt", slides(4) + "Slide time: 0.5\nRandomise: 5\n");
    press(VK_KEY_RIGHT, 3);
    press(VK_KEY_LEFT, 6);
    hold(VK_KEY_LEFT, 9, 10);  // Left and Right together
    hold(VK_KEY_RIGHT, 9, 10);
    ASSERT_EQ(run(20), 0);
    EXPECT_EQ(slides_shown(), (std::vector<int>{3, 3, 4, 4, 3, 3, 2, 2, 1, 2, 2, 3, 3, 0, 0, 2, 2, 1, 1, 4}));
    EXPECT_LE(most_held, 4u);  // the screen, the next draw, and the slides before and after for the arrows
    // A negative number (this one saturates to INT_MIN) draws slide 1 every time; without a
    // slide time every frame draws.
    restart();
    write_file("config.txt", slides(2) + "Randomise: -9999999999\n");
    ASSERT_EQ(run(6), 0);
    EXPECT_EQ(slides_shown(), std::vector<int>(6, 1));
}

// The offset follows the mouse while Shift is held, measured in the left image's pixels, reaches both eyes,
// is kept by the next slide that has no offset of its own, and is saved.
TEST_F(Show, ShiftAndTheMouseMoveTheEyesApart) {
    write_picture("left.bmp", 1, 0, 160, 120);
    write_picture("right.bmp", 1, 1, 200, 150);
    write_picture("left2.bmp", 2, 0, 160, 120);
    write_picture("right2.bmp", 2, 1, 200, 150);
    write_file("config.txt", "Stereo mode: 2\nSlide time: 100\nLeft image: left.bmp\nRight image: right.bmp\n"
                             "Left image: left2.bmp\nRight image: right2.bmp\n");
    hold(VK_KEY_SHIFT, 1, 6);
    for (int pump = 2; pump <= 4; ++pump) at(pump, [](headless::State& s) { s.cursor_x += 4, s.cursor_y += 9; });
    hold(VK_KEY_CONTROL, 5, 6);
    at(5, [](headless::State& s) { s.cursor_y += 6; });
    press(VK_KEY_RIGHT, 7);
    ASSERT_EQ(run(9), 0);
    EXPECT_EQ(headless::state().cursor_moves.front(), (std::pair<int32_t, int32_t>{683, 384}));
    // Frame, offset, slide: before the edit, after Shift's moves, after Ctrl's, on the next slide.
    for (auto [f, x, y, slide] :
         {std::tuple{0, 0.0, 0.0, 1}, {4, 0.075, 0.0, 1}, {6, 0.075, 0.05, 1}, {8, 0.075, 0.05, 2}}) {
        const ScreenModel model{2, 1366, 768, 0, false, {{160, 120, false}, {200, 150, false}}, 1, x, y};
        EXPECT_GT(check_frame(frames[f], model, slide), 500) << "frame " << f;
    }
    const std::string saved = read_file("config.txt");
    EXPECT_NE(saved.find(text_mode("Swap stereo (Y/N): N\nStereo offset: 0.075,0.05\n")), std::string::npos) << saved;
}

// M and Shift+M step through the stereo modes at the screen, round all of them: the frames after a press are
// laid out in the new mode, with its name in a corner of each eye's view for two seconds. The mode in use is
// kept as a plain entry, in place where the file has one; a key written before the later modes is renewed in
// place with its value; a show without M writes no mode.
TEST_F(Show, MStepsThroughTheStereoModesAndTheFileKeepsTheLast) {
    const std::string older = "Stereo mode (0=none,1=top/bottom,2=side-by-side,3=interlace,4=two screen SBS,"
                              "5=two screen vertical,6-8=coloured): ";
    const size_t key_at = DESCRIPTIVE.find("Stereo mode ("), swap_at = DESCRIPTIVE.find("Swap stereo");
    const std::string resolution = DESCRIPTIVE.substr(0, key_at), swap = DESCRIPTIVE.substr(swap_at);
    const std::string newer = DESCRIPTIVE.substr(key_at, DESCRIPTIVE.find("): ", key_at) + 3 - key_at);
    const struct {
        std::string before;      // the file's stereo mode line
        int start;               // the mode shown first
        std::vector<int> steps;  // at frames 1 and 12: +1 for M, -1 for Shift+M, twice as many for two taps
        std::string saved;       // that line and what follows it in the saved file
    } cases[] = {
        {older + "11\n", 11, {1, 1}, newer + "11\n" + resolution + swap + "Stereo mode: 0\n"},
        {"Stereo mode: 12\n", 12, {1, -1}, "Stereo mode: 12\n" + DESCRIPTIVE},
        {"Stereo mode: 42\n", 0, {-1, 1}, "Stereo mode: 0\n" + DESCRIPTIVE},
        {"Stereo mode: 42\n", 0, {}, "Stereo mode: 42\n" + DESCRIPTIVE},
        {"Stereo mode: 3\n", 3, {2, -2}, "Stereo mode: 3\n" + DESCRIPTIVE},  // both taps before one frame
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before);
        restart();
        headless::state().frame_ticks = 250000;
        desktop(400, 300);
        const std::string show = slides(1) + "Slide time: 100\nSlide pause before zoom: 50\n";
        write_file("config.txt", show + c.before);
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const int frame = i == 0 ? 1 : 12;
            if (c.steps[i] < 0) hold(VK_KEY_SHIFT, frame, frame + 1);
            std::abs(c.steps[i]) == 2 ? tap('M', frame, 2) : press('M', frame);
        }
        ASSERT_EQ(run(23), 0);
        int mode = c.start;
        for (size_t i = 0; i <= c.steps.size(); ++i) {
            const int first = i == 0 ? 0 : i == 1 ? 1 : 12;     // the first frame in this mode
            const int settled = i == 0 ? 0 : i == 1 ? 10 : 22;  // one after its label has gone
            if (i > 0) mode = (mode + c.steps[i - 1] + 13) % 13;
            const ScreenModel model{mode, 400, 300, 0, false, {{32, 24, false}, {32, 24, false}}, 1, 0, 0};
            EXPECT_GT(check_frame(frames[settled], model, 1), 500) << "mode " << mode;
            // Only the label is pure white; without a caption it goes to the bottom left corner.
            for (const ModelView& v : model.text_views())
                EXPECT_EQ(count_pixels(frames[first], 400, v.x, v.y + 3 * v.h / 4, v.x + v.w / 2, v.y + v.h, true) > 0,
                          i > 0)
                    << "mode " << mode << " view at " << v.x << "," << v.y;
        }
        // Shift also starts offset editing, which gives the slide its entry.
        const bool shifted = std::any_of(c.steps.begin(), c.steps.end(), [](int step) { return step < 0; });
        EXPECT_EQ(read_file("config.txt"), text_mode(show + c.saved + (shifted ? "Stereo offset: 0,0\n" : "")));
    }
}

// The caption's UTF-8 takes Windows-1252 slots, '?' where there is none. Ctrl+S saves the finished frame,
// caption included, once per press of S, as a bottom-up BGR file with rows padded to 4 bytes (66 pixels: 198
// bytes), and hands it to the converter. A colour or pixel packing left behind by another pass changes
// neither the slide nor the file. The file is numbered by the clock when S goes down, in steps of 0.3 s
// wrapping at 100000: the clock starts at 31234.5 s, so frame 2 reads 31235 s, step 104116; a picture of that
// name already there keeps it, and the new one takes the next free name.
TEST_F(Show, CtrlSSavesTheFrameAsShown) {
    desktop(66, 64);
    headless::State& s = headless::state();
    s.frame_ticks = s.frequency / 4;
    s.counter = 31234 * s.frequency + s.frequency / 2;
    write_file("p.bmp", bmp24(66, 64, [](int, int) { return Rgb{0, 255, 64}; }));
    write_file("3dimage_04116.png", "older");
    write_file("config.txt", "Slide time: 100\nLeft image: p.bmp\nRight image: p.bmp\n"
                             "Caption: Caf\xC3\xA9\xE2\x82\xAC\xE2\x80\x94\xC5\x93\xE6\x97\xA5$y=0\n");
    std::set<uint32_t> slots;
    font_state.quad_hook = [&](const TextQuad& q) { slots.insert(q.slot); };
    at(0, [](headless::State&) {
        glColor3f(1, 0, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
    });
    hold(VK_KEY_CONTROL, 0, 5);
    hold('S', 2, 5);
    ASSERT_EQ(run(5), 0);
    EXPECT_EQ(pixel_at(frames.at(2), 66, 33, 40), (Rgb{0, 255, 64}));
    EXPECT_EQ(slots, (std::set<uint32_t>{'C', 'a', 'f', 0xE9, 0x80, 0x97, 0x9C, '?'}));
    ASSERT_EQ(s.programs.size(), 2u);  // magick, then convert where magick is not found
    EXPECT_EQ(s.programs[0],
              (std::vector<std::string>{"magick", "-quality", "95", "3dimage_04116_2.bmp", "3dimage_04116_2.png"}));
    EXPECT_EQ(read_file("3dimage_04116.png"), "older");
    const Bytes expected = bmp24(66, 64, [&](int x, int y) { return pixel_at(frames[2], 66, x, y); });
    const std::string saved = read_file("3dimage_04116_2.bmp");
    EXPECT_TRUE(saved.size() == expected.size() && saved.substr(54) == std::string(expected.begin() + 54, expected.end()));
}

// How a show ends decides what config.txt keeps; a closed window lets go of its GL context and
// restores the display mode. Only timed changes count towards "Slides to show", and the show then
// ends at once without writing. Every end lets go of the slides the loader held.
TEST_F(Show, EndsAndWhatConfigTxtKeeps) {
    const std::string timed = slides(3) + "Slide time: 0.25\nSlides to show: 2\nA comment\n";
    // Each ends with status 0. No config (nullptr): no file; no saved text: the file as it was.
    // Released: the GL context let go and the display mode restored.
    const struct { const char *name, *config; std::function<void(Show&)> script; int swaps; std::string saved;
                   bool released = false; } cases[] = {
        {"Esc on an empty file", "", nullptr, 3, DESCRIPTIVE},
        {"no file", nullptr, nullptr, 3, DESCRIPTIVE},
        {"Q held", "Note\nSlide time: 9\n", [](Show& t) { t.hold('Q', 2, 3); }, 2, "Slide time: 9\n" + DESCRIPTIVE},
        {"window closed", "Stereo mode: 2\n", [](Show& t) { t.at(1, [](headless::State& s) { s.close_window = true; }); },
         1, "Stereo mode: 2\n" + DESCRIPTIVE, true},
        {"quit message", "", [](Show& t) { t.at(2, [](headless::State& s) { s.quit_message = true; }); }, 2, DESCRIPTIVE},
        {"zero-sized window", "Note\nResolution: 800x0\n", nullptr, 0, ""},
        {"Slides to show: 2, Right at frame 0 not one of them", timed.c_str(),
         [](Show& t) { t.quarter_second_frames(), t.press(VK_KEY_RIGHT, 0); }, 2, ""},
        {"a documented key in another case", "swap STEREO (y/n): Y\n", nullptr, 3,
         "swap STEREO (y/n): Y\n" + DESCRIPTIVE.substr(0, DESCRIPTIVE.find("Swap"))},
        {"a slide list of its own keeps the folder's pairs out (last: they stay)", "Left image: a.bmp\n",
         [](Show&) { write_picture("x_L.bmp", 1, 0, 8, 8), write_picture("x_R.bmp", 1, 1, 8, 8); }, 3,
         "Left image: a.bmp\n" + DESCRIPTIVE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        if (c.config) write_file("config.txt", c.config);
        if (c.script) c.script(*this);
        EXPECT_EQ(run(3), 0);
        const headless::State& s = headless::state();
        EXPECT_EQ(std::vector<int>({s.swaps, s.release_calls, s.mode_restores}),
                  std::vector<int>({c.swaps, c.released, c.released}));
        EXPECT_EQ(read_file("config.txt"), c.saved.empty() ? std::string(c.config) : text_mode(c.saved));
        EXPECT_EQ(slides_in_memory(), 0u);
        std::filesystem::remove("config.txt");
    }
}

// A folder or a picture on the command line: that folder's show, config.txt read and written
// there, starting at the picture's slide (at slide 1 with a word when it is in none). Anything
// else ends at once with status 2: no window, nothing written.
TEST_F(Show, TheCommandLineNamesTheFolderAndTheSlideToStart) {
    const fs::path home = fs::current_path();
    fs::create_directory("trip");
    fs::current_path("trip");
    const std::string config = "Slide time: 1000\n" + slides(3);
    write_file("config.txt", config);
    write_picture("other.bmp", 4, 0, 32, 24);
    fs::current_path(home);
    const std::string nowhere = "other.bmp: in no slide of this show";
    const struct { std::vector<std::string> args; int status, slide; bool notice; } cases[] = {
        {{"trip"}, 0, 1, false}, {{"trip/r2.bmp"}, 0, 2, false}, {{"--", "trip/./l3.bmp"}, 0, 3, false},
        {{"trip/other.bmp"}, 0, 1, true}, {{"--help"}, 0, 0, false}, {{"--version"}, 0, 0, false},
        {{"--bogus"}, 2, 0, false}, {{"trip/none.bmp"}, 2, 0, false}, {{"trip", "trip"}, 2, 0, false},
        {{""}, 2, 0, false}, {{"/dev/null"}, 2, 0, false}};
    for (const auto& c : cases) {
        SetUp();
        write_file("trip/config.txt", config);
        TextWatch text;
        args = c.args;
        EXPECT_EQ(run(2), c.status) << c.args[0];
        fs::current_path(home);
        EXPECT_EQ(slides_shown(), std::vector<int>(c.slide ? 2 : 0, c.slide)) << c.args[0];
        EXPECT_EQ(text.count(0, nowhere) > 0, c.notice) << c.args[0];
        EXPECT_EQ(read_file("trip/config.txt"), c.slide ? text_mode(config + DESCRIPTIVE) : config) << c.args[0];
        EXPECT_FALSE(file_exists("config.txt")) << c.args[0];
    }
}
