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

// Saving keeps line ends, writes in place when nothing can be made beside the file, and writes values
// so that they read back as they were: blanks at an end, quotes of their own.
TEST_F(RobustFiles, SavingKeepsLineEndsAndValuesAndWritesInPlaceWhenNoFileCanBeMadeBeside) {
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
    const std::vector<std::string> values = {" beach_L.jpg", "beach_R.jpg  ", "\t", "\"quoted\"", "\" both \"",
                                             "\"\" x\"\"", "\"", "", "a \" b"};
    for (const std::string& value : values) config_add(&list, "Left image", value.c_str());
    ASSERT_TRUE(config_save(&list, "values.txt", ':'));
    ConfigList read = config_load("values.txt", ':');
    ASSERT_EQ(read.count, values.size() + 2);
    for (uint32_t i = 0; i < values.size(); ++i) EXPECT_EQ(config_entry(&read, i + 2)->value, values[i]);
    config_free(&read);
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
// screen without a left picture; the show goes on and config.txt is saved. A folder, a FIFO (which
// would block for ever) and a sparse file of 1 TiB (too large to hold) are files that cannot be read.
TEST_F(RobustFiles, PicturesThatDoNotShowSayWhyInTheirEye) {
    const Bytes photo = jpeg(64, 64, [](int x, int y) { return Rgb{uint8_t(x * 4), uint8_t(y * 4), 128}; });
    write_file("cut_R.jpg", Bytes(photo.begin(), photo.begin() + photo.size() * 2 / 3));
    write_file("green.bmp", bmp24(64, 64, [](int, int) { return Rgb{0, 255, 0}; }));
    fs::create_directory("photos");
    // Stereo mode and the pictures; the right eye's view starts at 683 in mode 2.
    std::vector<std::tuple<int, std::string, std::string>> cases = {
        {2, "gone_L.jpg", "cut_R.jpg"}, {6, "gone_L.jpg", "cut_R.jpg"}, {2, "photos", "green.bmp"}};
#ifndef _WIN32
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    write_file("huge.bmp", "BM");
    fs::resize_file("huge.bmp", uintmax_t(1) << 40);
    cases.insert(cases.end(), {{2, "pipe", "green.bmp"}, {2, "huge.bmp", "green.bmp"}});
#endif
    for (const auto& [mode, left, right] : cases) {
        SCOPED_TRACE(left + " in mode " + std::to_string(mode));
        SetUp();
        TextWatch text;
        write_file("config.txt", "Stereo mode: " + std::to_string(mode) + "\nSlide time: 1000\nLeft image: " + left +
                                     "\nRight image: " + right + "\n");
        EXPECT_EQ(run(2), 0);
        const int left_x = 0, right_x = mode == 2 ? 683 : 0;
        const std::string gone = left + ": the file is missing or cannot be read";
        const std::string cut = "cut_R.jpg: the file ends in the middle of the picture";
        EXPECT_GE(text.count(left_x, gone), 5);
        EXPECT_EQ(text.count(right_x, cut) >= 5, right == "cut_R.jpg");
        if (left_x != right_x) {
            EXPECT_EQ(text.count(left_x, cut) + text.count(right_x, gone), 0);
        }
        // The lines in white over the middle of each eye's view that has them.
        const std::vector<uint8_t>& f = frames.at(1);
        for (int x0 : {left_x, right_x})
            EXPECT_EQ(count_pixels(f, 1366, x0 + 40, 340, x0 + 600, 384) > 200, x0 == left_x || right == "cut_R.jpg");
        // Beside them the left eye is black, the right one green or (32, 21) of the cut picture.
        if (mode == 2) {
            const Rgb want = right == "green.bmp" ? Rgb{0, 255, 0} : Rgb{128, 84, 128}, seen = pixel_at(f, 1366, 1024, 150);
            EXPECT_EQ(pixel_at(f, 1366, 341, 384), (Rgb{0, 0, 0}));
            EXPECT_LT(std::max(std::abs(seen.r - want.r), std::abs(seen.g - want.g)), 12) << seen;
        }
        EXPECT_NE(read_file("config.txt").find("Swap stereo (Y/N): N"), std::string::npos);
    }
}
