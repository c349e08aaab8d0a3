// Slides from the settings: offsets, the caption's place, and offset edits.
#include "show.h"

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
