// Slides from the settings: offsets, captions and their place, and offset edits.
#include "show.h"
#include "text/text_encoding.h"

#include <cstring>

// Offsets: each number that reads replaces its field, the others keep theirs. "$y=" places the
// caption's top, at any case, clamped both ways; the text ends there.
TEST_F(Show, SlideOffsetsAndCaptionMarkers) {
    const struct {
        const char* offset;
        float x, y;
        const char *caption, *text;
        int height, top;
    } cases[] = {
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

// Editing slide 3 of a file without offsets appends entries until slide 3 has
// its own; an empty left picture has no size to measure in, and only numbers
// are ever written.
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
