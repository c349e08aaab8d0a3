// config.txt: reading, lookups, typed values, the window the display settings choose; the slides'
// offsets and captions (UTF-8 or not) and offset edits.
#include "config/display_settings.h"
#include "show.h"
#include "text/text_encoding.h"

#include <cstring>

// Lines of any end become entries trimmed of every white-space byte, vertical tab and form feed
// too, but none inside a value; a setting is the value of the shortest key that starts with its
// name, of those the last; numbers and yes/no read as far as they can.
TEST(Settings, LinesBecomeTrimmedEntriesAndTypedValues) {
    for (const std::string& ends : {std::string("\n"), std::string("\r\n"), std::string("\r"), std::string(1, '\0')}) {
        std::string text = "  Slide time (s) :  7.5  |A comment line||Empty:|:no key|Two: a:b|\tTabbed\t:\tin  side\t"
                           "|\v\fFed\v:\f\vform\vfeed\f\v|slide TIME: 6|Slide time (s): 5|I1: -42abc|I2: 99999999999"
                           "|R1: 2.5e1x|R2: .5|R3: inf|R4: 0x10|Y1: Yes|Y2: true|Y3: 1|N1: on";
        for (size_t at; (at = text.find('|')) != std::string::npos;) text.replace(at, 1, ends);
        TempDir dir;
        write_file("config.txt", text);
        ConfigList l = config_load("config.txt", ':');
        std::vector<std::pair<std::string, std::string>> got;
        for (uint32_t i = 0; i < 6; ++i) got.emplace_back(config_entry(&l, i)->key, config_entry(&l, i)->value);
        EXPECT_EQ(got, (decltype(got){{"Slide time (s)", "7.5"}, {"Empty", ""}, {"", "no key"}, {"Two", "a:b"},
                                      {"Tabbed", "in  side"}, {"Fed", "form\vfeed"}}));
        EXPECT_EQ(std::vector<double>({config_get_real(&l, "Slide time"), config_get_real(&l, "R1"),
                                       config_get_real(&l, "R2"), config_get_real(&l, "R3"),
                                       config_get_real(&l, "R4")}),
                  std::vector<double>({6, 25, 0.5, 0, 0}));
        EXPECT_EQ(std::vector<int>({config_get_int(&l, "I1"), config_get_int(&l, "I2"), config_get_int(&l, "I3")}),
                  std::vector<int>({-42, 2147483647, 0}));
        for (const char* key : {"Y1", "Y2", "Y3", "N1", "N2"}) EXPECT_EQ(config_get_yesno(&l, key), key[0] == 'Y');
        config_free(&l);
    }
}

// From the "Resolution" and "Fullscreen offset" values to the window opened on
// a desktop of two monitors: the first left of and above the second, the primary.
TEST_F(Show, ResolutionChoosesTheWindow) {
    // An empty window rectangle: no window.
    const struct { const char* settings; PlatRect window; bool mode_change; } cases[] = {
        {"", {0, 0, 1366, 768}, false},
        {"Resolution: AUTO\nFullscreen offset: 100,-20\n", {100, -20, 1466, 748}, false},
        {"Resolution: display2", {0, 0, 1366, 768}, false},   {"Resolution: Display  3", {-1024, -100, 0, 668}, false},
        {"Resolution: display", {0, 0, 1366, 768}, false},    {"Resolution: span", {-1024, -100, 1366, 768}, false},
        {"Resolution: span 2", {0, 0, 1366, 768}, false},     {"Resolution: span 1,3", {-1024, -100, 0, 668}, false},
        {"Resolution: span 3", {0, 0, 0, 0}, false},          {"Resolution: spanish", {-1024, -100, 1366, 768}, false},
        {"Resolution: 1920x1080", {0, 0, 1920, 1080}, true},  {"Resolution: 1920X1080", {0, 0, 0, 0}, false},
        {"Resolution: 1024x768\nFullscreen offset: 10", {10, 0, 1034, 768}, false},
        {"Resolution (XxY, 'auto', 'span', 'display N' or 'span N,M...'): span\nResolution: 800x600\n"
         "Resolution: 1024x768\nFullscreen offset: 100",
         {100, 0, 1124, 768}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        restart();
        headless::State& s = headless::state();
        s.monitors = {{-1024, -100, 0, 668}, {0, 0, 1366, 768}};
        s.virtual_x = -1024, s.virtual_y = -100, s.virtual_w = 2390, s.virtual_h = 868;
        write_file("config.txt", c.settings);
        ASSERT_EQ(run(1), 0);
        EXPECT_EQ(s.window_open, c.window.right != c.window.left);
        EXPECT_EQ(std::vector<int>({s.window.left, s.window.top, s.window.right, s.window.bottom}),
                  std::vector<int>({c.window.left, c.window.top, c.window.right, c.window.bottom}));
        EXPECT_EQ(s.mode_changes.size(), c.mode_change ? 1u : 0u);
    }
}

// Offsets: each number that reads replaces its field, the others keep theirs. "$y=" places the
// caption's top, at any case, clamped both ways; the text ends there.
TEST_F(Show, SlideOffsetsAndCaptionMarkers) {
    const struct { const char* offset; float x, y; const char *caption, *text; int height, top; } cases[] = {
        {"0.1", 0.1f, 0.5f, "Sunset$y=0.85", "Sunset", 1080, 918},
        {"x,0.2", 0.25f, 0.5f, "Upper $Y=0.5 hidden", "Upper ", 1080, 540},
        {"0.1,y", 0.1f, 0.5f, "Bad $y=abc", "Bad ", 1080, 0},
        {"-0.03 , 0.2", -0.03f, 0.5f, "plain", "plain", 1080, 0},
        {"-0.03, 0.2", -0.03f, 0.2f, "A$y=-1e300", "A", 1080, -1000000000},
        {"1e99,nan", 0.25f, 0.5f, "A$y=-1e999", "A", 1080, -1000000000},
        {"", 0.25f, 0.5f, "A$y=1e300", "A", 1080, 1000000000},
        {"", 0.25f, 0.5f, "A$y=1e999", "A", 0, 0},  // infinity times 0
    };
    for (const auto& c : cases) {
        write_file("config.txt", std::string("Stereo offset: ") + c.offset + "\nCaption: " + c.caption + "\n");
        ConfigList list = config_load("config.txt", ':');
        Slide slide;
        install_slide(&slide, &list, 1, 0.25f, 0.5f);
        config_free(&list);
        EXPECT_EQ(std::make_pair(slide.stereo_offset_x, slide.stereo_offset_y), std::make_pair(c.x, c.y)) << c.offset;
        EXPECT_EQ(slide.caption.text, c.text);
        EXPECT_EQ(caption_place(slide.caption, 1920, c.height).top_y, c.top) << c.caption;
    }
}

// Editing slide 3 of a file without offsets appends entries until slide 3 has its own; an empty left picture
// has no size to measure in, and only numbers are ever written.
TEST_F(Show, OffsetEditsAppendUntilTheSlideHasItsEntry) {
    write_picture("p.bmp", 1, 0, 100, 50);
    write_file("config.txt", "Left image: p.bmp\nLeft image: p.bmp\nLeft image: p.bmp\nLeft image: none.bmp\n"
                             "Slide time: 100\n");
    for (int f : {1, 3}) press(VK_KEY_RIGHT, f);
    hold(VK_KEY_SHIFT, 5, 9);
    for (int pump = 5; pump < 9; ++pump) at(pump, [](headless::State& s) { s.cursor_x += 10; });
    press(VK_KEY_RIGHT, 10);
    hold(VK_KEY_SHIFT, 11, 13);
    at(12, [](headless::State& s) { s.cursor_x += 10, s.cursor_y += 10; });
    ASSERT_EQ(run(14), 0);
    const std::string saved = read_file("config.txt");
    EXPECT_NE(saved.find(text_mode("Swap stereo (Y/N): N\nStereo offset: 0,0\nStereo offset: 0.1,0\n"
                                   "Stereo offset: 0.3,0\nStereo offset: 0.3,0\n")),
              std::string::npos)
        << saved;
}

// Captions that are no UTF-8 are taken as Windows-1252: ASCII, a sequence cut short, overlong, a
// surrogate, beyond U+10FFFF, an escape cut short. (UTF-8 ones: Show.CtrlSSavesTheFrameAsShown.)
TEST(Utf8Captions, AnythingElseKeepsItsBytes) {
    for (const char* same : {"Caf\xE9", "plain\n", "\xC3\xA9\xC3", "\xC0\xA9\xC3\xA9", "\xE0\x82\xA9\xC3\xA9",
                             "\xED\xA0\x80\xC3\xA9", "\xF4\x90\x80\x80\xC3\xA9", "\x02\xC3"})
        EXPECT_EQ(cp1252_from_utf8(reinterpret_cast<const uint8_t*>(same), std::strlen(same)), same) << same;
    const std::string escapes("\x02\xC3\xA9\xC3\xA9\x05\x01\x80\x00\x80\xC3", 11);  // the escapes' bytes kept
    EXPECT_EQ(cp1252_from_utf8(reinterpret_cast<const uint8_t*>(escapes.data()), escapes.size()),
              std::string("\x02\xC3\xA9\xE9\x05\x01\x80\x00\x80\xC3", 10));
}
