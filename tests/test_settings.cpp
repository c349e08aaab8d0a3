// config.txt: reading, lookups, typed values, the documented defaults, and
// the display settings with the window they choose.
#include "config/display_settings.h"
#include "show.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

struct Loaded {
    TempDir dir;
    ConfigList list;
    explicit Loaded(const std::string& text) {
        write_file("config.txt", text);
        list = config_load("config.txt", ':');
    }
    ~Loaded() { config_free(&list); }
};

}  // namespace

TEST(Settings, LinesBecomeTrimmedEntriesWhateverTheLineEnds) {
    for (const std::string& ends : {std::string("\n"), std::string("\r\n"), std::string("\r"), std::string(1, '\0')}) {
        // Every white-space byte is trimmed, vertical tab and form feed too, but none inside a value.
        std::string text = "  Slide time :  7.5  |A comment line||Empty:|:no key|Two: a:b|\tTabbed\t:\tin  side\t"
                           "|\v\fFed\v:\f\vform\vfeed\f\v";
        for (size_t at; (at = text.find('|')) != std::string::npos;) text.replace(at, 1, ends);
        Loaded f(text);
        Entries got;
        for (uint32_t i = 0; i < f.list.count; ++i)
            got.emplace_back(config_entry(&f.list, i)->key, config_entry(&f.list, i)->value);
        EXPECT_EQ(got,
                  (Entries{{"Slide time", "7.5"}, {"Empty", ""}, {"", "no key"}, {"Two", "a:b"}, {"Tabbed", "in  side"},
                          {"Fed", "form\vfeed"}}));
    }
}

// Lookups, typed values, and the documented defaults: added once, whatever the
// case; a plain key wins over the descriptive one the user kept.
TEST(Settings, LookupsTypedValuesAndDocumentedDefaults) {
    Loaded f("Slide time (s): 4\nslide time: 6\nSlide time (s): 5\nRandomise: 0\nRandomise: 1\nResolution: 800x600\n"
             "Left image: a.bmp\nleft image (slide 2): c.bmp\nI1: -42abc\nI2: words\nI3: 99999999999\n"
             "R1: 2.5e1x\nR2: .5\nR3: inf\nR4: 0x10\nY1: Yes\nY2: true\nY3: 1\nN1: on\nN2:\nSwap stereo: Y\n"
             "stereo MODE: 12\nStereo mode (0=none,1=top/bottom,2=side-by-side,3=interlace,4=two screen SBS,"
             "5=two screen vertical,6-8=coloured): 0\n");
    ConfigList* l = &f.list;
    EXPECT_STREQ(find_setting(l, "Slide time"), "6");  // shortest key, then the last
    EXPECT_EQ(config_get_int(l, "Randomise"), 1);
    EXPECT_STREQ(find_setting(l, "Resol"), "800x600");
    EXPECT_EQ(find_setting(l, "Resolutions"), nullptr);
    EXPECT_STREQ(find_nth_entry(l, "Left image", 2)->value, "c.bmp");
    EXPECT_EQ(find_nth_entry(l, "Left image", 3), nullptr);
    EXPECT_EQ(find_nth_entry(l, "Left image", 0), nullptr);
    const std::pair<const char*, int> ints[] = {{"I1", -42}, {"I2", 0}, {"I3", 2147483647}, {"Missing", 0}};
    for (auto [key, value] : ints) EXPECT_EQ(config_get_int(l, key), value) << key;
    const std::pair<const char*, double> reals[] = {{"R1", 25}, {"R2", 0.5}, {"R3", 0}, {"R4", 0}};
    for (auto [key, value] : reals) EXPECT_DOUBLE_EQ(config_get_real(l, key), value) << key;
    for (const char* key : {"Y1", "Y2", "Y3"}) EXPECT_TRUE(config_get_yesno(l, key)) << key;
    for (const char* key : {"N1", "N2", "Missing"}) EXPECT_FALSE(config_get_yesno(l, key)) << key;
    const uint32_t before = l->count;
    config_ensure(l, "Swap stereo (Y/N)", "N");
    config_ensure(l, "swap STEREO (y/n)", "N");
    StereoMode mode{};
    int32_t swap = 0;
    read_stereo_settings(l, &mode, &swap);  // every descriptive key is there already
    EXPECT_EQ(l->count, before + 1);
    EXPECT_EQ(static_cast<int>(mode), 12);
    EXPECT_EQ(swap, 1);
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
        TearDown();
        SetUp();
        headless::State& s = headless::state();
        s.monitors = {{-1024, -100, 0, 668}, {0, 0, 1366, 768}};
        s.virtual_x = -1024, s.virtual_y = -100, s.virtual_w = 2390, s.virtual_h = 868;
        write_file("config.txt", c.settings);
        ASSERT_EQ(run(1), 0);
        EXPECT_EQ(s.window_open, c.window.right != c.window.left);
        if (s.window_open) {
            EXPECT_EQ(std::vector<int>({s.window.left, s.window.top, s.window.right, s.window.bottom}),
                      std::vector<int>({c.window.left, c.window.top, c.window.right, c.window.bottom}));
        }
        EXPECT_EQ(s.mode_changes.size(), c.mode_change ? 1u : 0u);
    }
}
