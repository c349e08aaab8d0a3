// Hostile input and surroundings: slide files that are no files, extreme settings,
// unusual config.txt set-ups, the screenshot converter.
#include "photo_files.h"
#include "show.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace fs = std::filesystem;
using RobustFiles = Show;

TEST_F(RobustFiles, SlideFilesThatAreNoFilesShowNothingAndTheShowGoesOn) {
    const Rgb green{0, 255, 0};
    write_file("green.bmp", bmp24(64, 64, [=](int, int) { return green; }));
    fs::create_directory("photos");
    std::vector<std::string> names{"photos"};
#ifndef _WIN32
    // A FIFO would block for ever; the sparse file of 1 TiB is too large to hold.
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    write_file("huge.bmp", "BM");
    fs::resize_file("huge.bmp", uintmax_t(1) << 40);
    names.insert(names.end(), {"pipe", "huge.bmp"});
#endif
    for (const std::string& name : names) {
        SetUp();
        write_file("config.txt", "Stereo mode: 2\nLeft image: " + name + "\nRight image: green.bmp\nSlide time: 1000\n");
        EXPECT_EQ(run(3), 0) << name;
        ASSERT_EQ(frames.size(), 3u) << name;
        for (const auto& frame : frames) {  // the left eye black, the right one green
            EXPECT_EQ(pixel_at(frame, 1366, 341, 384), (Rgb{0, 0, 0})) << name;
            EXPECT_EQ(pixel_at(frame, 1366, 1024, 384), green) << name;
        }
        EXPECT_NE(read_file("config.txt").find("Swap stereo (Y/N): N"), std::string::npos) << name;  // saved
    }
}

TEST_F(RobustFiles, SavingKeepsLineEndsAndWritesInPlaceWhenNoFileCanBeMadeBeside) {
    ConfigList list = dynarray_create(sizeof(ConfigEntry));
    config_add(&list, "Stereo mode", "2");
    config_add(&list, "Caption", "Hi");
    const std::string lf = "Stereo mode: 2\nCaption: Hi\n", crlf = "Stereo mode: 2\r\nCaption: Hi\r\n";
    // File, its text before (null: no file yet), whether nothing can be made beside it, its text after.
    const struct { const char* path; const char* before; bool blocked; std::string after; } cases[] = {
        {"new.txt", nullptr, false, text_mode(lf)}, {"lf.txt", "a: 1\nb: 2\r\nc: 3\n", false, text_mode(lf)},
        {"crlf.txt", "a: 1\r\nb: 2\nc: 3\r\n", false, crlf},
        {"longer.txt", "A comment long enough to be cut back when written in place\n", true, text_mode(lf)},
        {"shorter.txt", "a: 1\n", true, text_mode(lf)}};
    for (const auto& c : cases) {
        if (c.before) write_file(c.path, c.before);
        // A folder under the temporary file's name blocks it.
        if (c.blocked) fs::create_directories(std::string(c.path) + ".new/x");
        EXPECT_TRUE(config_save(&list, c.path, ':')) << c.path;
        EXPECT_EQ(read_file(c.path), c.after) << c.path;
    }
#ifndef _WIN32
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::create_directory("shared");
    write_file("shared/config.txt", "a: 1\r\n");
    fs::permissions("shared/config.txt", mode);
    fs::create_symlink("shared/config.txt", "config.txt");
    struct stat before {}, after {};
    stat("shared/config.txt", &before);
    EXPECT_TRUE(config_save(&list, "config.txt", ':'));
    stat("shared/config.txt", &after);
    EXPECT_NE(after.st_ino, before.st_ino);  // a new file put in place whole, never the old one rewritten
    EXPECT_TRUE(fs::is_symlink("config.txt"));
    EXPECT_EQ(read_file("shared/config.txt"), crlf);
    EXPECT_EQ(fs::status("shared/config.txt").permissions(), mode);
#endif
    config_free(&list);
}

#ifndef _WIN32
TEST_F(RobustFiles, ConverterComesFromThePathOnlyAndGetsTheNamesAsTheyAre) {
    const std::string path = std::getenv("PATH"), tools = (dir.path() / "tools").string();
    auto script = [](const std::string& file, const std::string& body) {
        write_file(file, "#!/bin/sh\n" + body);
        fs::permissions(file, fs::perms::owner_all);
    };
    // Programs of the slide folder, reached by empty, "." and relative entries, must never run.
    for (const char* folder : {"tools", "local"}) fs::create_directory(folder);
    for (const char* planted : {"magick", "convert", "local/magick", "local/convert"})
        script(planted, ": >planted\n");
    script("tools/convert", "printf '%s\\n' \"$@\" >arguments.txt\n/bin/cp \"$3\" \"$4\"\n");
    setenv("PATH", ("::.:local:" + tools).c_str(), 1);
    headless::state().run_programs = true;
    const uint8_t pixel[4] = {1, 2, 3, 0};
    bmp_save_and_convert(pixel, 1, 1, "it's \"$HOME\" `id`.bmp", 1);
    screenshots_wait();
    EXPECT_FALSE(file_exists("planted"));
    EXPECT_EQ(read_file("arguments.txt"), "-quality\n95\nit's \"$HOME\" `id`.bmp\nit's \"$HOME\" `id`.png\n");
    EXPECT_FALSE(file_exists("it's \"$HOME\" `id`.bmp"));
    EXPECT_EQ(read_file("it's \"$HOME\" `id`.png").size(), 58u);

    // A converter that fails keeps the BMP, whatever it left behind.
    script("tools/magick", ": >\"$4\"\nexit 1\n");
    bmp_save_and_convert(pixel, 1, 1, "failed.bmp", 1);
    screenshots_wait();
    EXPECT_TRUE(file_exists("failed.bmp"));
    EXPECT_EQ(headless::state().programs.size(), 3u);  // magick not found, convert; then magick alone
    setenv("PATH", path.c_str(), 1);
}
#endif

// A picture named for a slide that does not show says why, in the eye it was for (once where the
// eyes share the window), over whatever of it could be decoded, which keeps its place on the
// screen without a left picture; the show goes on.
TEST_F(RobustFiles, PicturesThatDoNotShowSayWhyInTheirEye) {
    const Bytes photo = jpeg(64, 64, [](int x, int y) { return Rgb{uint8_t(x * 4), uint8_t(y * 4), 128}; });
    write_file("cut_R.jpg", Bytes(photo.begin(), photo.begin() + photo.size() * 2 / 3));
    const std::string gone = "gone_L.jpg: the file is missing or cannot be read";
    const std::string cut = "cut_R.jpg: the file ends in the middle of the picture";
    // Stereo mode, the left edge of each eye's view, and the lines each view must hold.
    const struct { int mode, left_x, right_x; } cases[] = {{2, 0, 683}, {6, 0, 0}};
    for (const auto& c : cases) {
        SetUp();
        TextWatch text;
        write_file("config.txt", "Stereo mode: " + std::to_string(c.mode) +
                                     "\nSlide time: 1000\nLeft image: gone_L.jpg\nRight image: cut_R.jpg\n");
        EXPECT_EQ(run(2), 0);
        EXPECT_GE(text.count(c.left_x, gone), 5) << c.mode;
        EXPECT_GE(text.count(c.right_x, cut), 5) << c.mode;
        if (c.left_x != c.right_x) {
            EXPECT_EQ(text.count(c.left_x, cut) + text.count(c.right_x, gone), 0);
        }
        // The lines in white over the middle of each eye's view; the cut picture's top still there.
        const std::vector<uint8_t>& f = frames.at(1);
        for (int x0 : {c.left_x, c.right_x})
            EXPECT_GT(count_pixels(f, 1366, x0 + 40, 340, x0 + 600, 384), 200) << c.mode;
        if (c.mode == 2) {  // (32, 21) of the right picture, although the left one has no size to give
            const Rgb top = pixel_at(f, 1366, 1024, 150);
            EXPECT_NEAR(top.r, 128, 12);
            EXPECT_NEAR(top.g, 84, 12);
        }
    }
}
