#include "settings.h"

#include "test_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::pair<std::string, std::string>> entries_of(const ConfigList& list) {
    std::vector<std::pair<std::string, std::string>> out;
    for (uint32_t i = 0; i < list.count; ++i) out.emplace_back(config_entry(&list, i)->key, config_entry(&list, i)->value);
    return out;
}

std::vector<std::string> lines_of(const std::string& bytes) {
    TempDir dir;
    write_file("lines", bytes);
    FILE* file = std::fopen("lines", "rb");
    std::vector<std::string> lines;
    while (char* line = read_line(file)) {
        lines.emplace_back(line);
        std::free(line);
    }
    std::fclose(file);
    return lines;
}

ConfigList load_text(const std::string& text) {
    TempDir dir;
    write_file("config.txt", text);
    return config_load("config.txt", ':');
}

}  // namespace

TEST(DynArray, GrowsByAQuarterWhenFull) {
    DynArray array = dynarray_create(sizeof(int));
    EXPECT_EQ(array.capacity, 1u);
    EXPECT_EQ(array.min_capacity, 1u);
    EXPECT_EQ(array.fill_percent, 60.0f);
    std::vector<uint32_t> capacities;
    for (int i = 0; i < 22; ++i) {
        dynarray_append(&array, &i);
        capacities.push_back(array.capacity);
    }
    // Capacity after appending the 1st, 2nd, ... element.
    std::vector<uint32_t> expected = {1, 2, 3, 5, 5, 7, 7, 10, 10, 10, 13, 13, 13, 17, 17, 17, 17, 22, 22, 22, 22, 22};
    EXPECT_EQ(capacities, expected);
    for (int i = 0; i < 22; ++i) EXPECT_EQ(*static_cast<int*>(dynarray_at(&array, i)), i);
    dynarray_free(&array);
}

TEST(DynArray, RemoveMovesTheLastElementAndShrinksBelowSixtyPercent) {
    DynArray array = dynarray_create(sizeof(int));
    for (int i = 0; i < 10; ++i) dynarray_append(&array, &i);
    ASSERT_EQ(array.capacity, 10u);
    dynarray_remove(&array, 2);
    EXPECT_EQ(array.count, 9u);
    EXPECT_EQ(*static_cast<int*>(dynarray_at(&array, 2)), 9);
    EXPECT_EQ(array.capacity, 10u);
    dynarray_remove(&array, 50);  // out of range: nothing
    EXPECT_EQ(array.count, 9u);
    dynarray_remove(&array, 8);
    dynarray_remove(&array, 7);
    dynarray_remove(&array, 6);
    EXPECT_EQ(array.capacity, 10u);  // 6 of 10 is not below 60%
    dynarray_remove(&array, 5);      // 5 of 10: capacity 5 / 0.8 = 6
    EXPECT_EQ(array.capacity, 6u);
    EXPECT_EQ(*static_cast<int*>(dynarray_at(&array, 4)), 4);
    while (array.count) dynarray_remove(&array, 0);
    EXPECT_EQ(array.capacity, 1u);  // never below the capacity at creation
    dynarray_free(&array);
}

TEST(DynArray, MirrorFollowsTheBlock) {
    DynArray array = dynarray_create(sizeof(int));
    void* seen = nullptr;
    array.mirror = &seen;
    for (int i = 0; i < 5; ++i) dynarray_append(&array, &i);
    EXPECT_EQ(seen, array.data);
    dynarray_free(&array);
    EXPECT_EQ(seen, nullptr);
}

TEST(ReadLine, EveryLineEndingEndsExactlyOneLine) {
    const char bytes[] = "a\r\nb\rc\nd\0e\r\r\nf";
    EXPECT_EQ(lines_of(std::string(bytes, sizeof(bytes) - 1)),
              (std::vector<std::string>{"a", "b", "c", "d", "e", "", "f"}));
}

TEST(ReadLine, TrailingTerminatorGivesNoExtraLine) {
    EXPECT_EQ(lines_of("x\n\n"), (std::vector<std::string>{"x", ""}));
    EXPECT_EQ(lines_of(""), (std::vector<std::string>{}));
}

TEST(ConfigLoad, TrimsKeysAndValuesAndSkipsLinesWithoutSeparator) {
    ConfigList list = load_text(
        "  Slide time :  7.5  \n"
        "A comment line\n"
        "\n"
        "Empty:\n"
        ":no key\n"
        "Two: a:b\n"
        "\tTabbed\t:\tvalue with  inner  spaces\t\n");
    EXPECT_EQ(entries_of(list), (std::vector<std::pair<std::string, std::string>>{
                                    {"Slide time", "7.5"},
                                    {"Empty", ""},
                                    {"", "no key"},
                                    {"Two", "a:b"},
                                    {"Tabbed", "value with  inner  spaces"}}));
    config_free(&list);
}

TEST(ConfigLoad, LineEndingsReadIdentically) {
    ConfigList lf = load_text("A: 1\nB: 2\nC: 3");
    ConfigList crlf = load_text("A: 1\r\nB: 2\r\nC: 3\r\n");
    ConfigList cr = load_text("A: 1\rB: 2\rC: 3\r");
    EXPECT_EQ(entries_of(lf), entries_of(crlf));
    EXPECT_EQ(entries_of(lf), entries_of(cr));
    EXPECT_EQ(lf.count, 3u);
    config_free(&lf);
    config_free(&crlf);
    config_free(&cr);
}

TEST(ConfigLoad, MissingFileGivesEmptyList) {
    TempDir dir;
    ConfigList list = config_load("config.txt", ':');
    EXPECT_EQ(list.count, 0u);
    config_free(&list);
}

TEST(FindSetting, ShortestKeyWinsAndLaterEntryWinsTies) {
    ConfigList list = load_text(
        "Slide time (s): 4\n"
        "slide time: 6\n"
        "Slide time (s): 5\n"
        "Randomise: 0\n"
        "Randomise: 1\n"
        "Resolution: 800x600\n");
    EXPECT_STREQ(find_setting(&list, "Slide time"), "6");
    EXPECT_EQ(config_get_int(&list, "Randomise"), 1);
    EXPECT_STREQ(find_setting(&list, "Resol"), "800x600");
    EXPECT_EQ(find_setting(&list, "Resolutions"), nullptr);
    EXPECT_EQ(find_setting(&list, "Caption"), nullptr);
    config_free(&list);
}

TEST(FindSetting, PlainKeyOverridesTheDescriptiveOne) {
    ConfigList list = load_text(
        "stereo mode: 2\n"
        "Stereo mode (0=none,1=top/bottom): 0\n");
    EXPECT_EQ(config_get_int(&list, "Stereo mode"), 2);
    config_free(&list);
}

TEST(FindNthEntry, CountsEveryMatchingKeyFromTheStart) {
    ConfigList list = load_text(
        "Left image: a.bmp\n"
        "Right image: b.bmp\n"
        "left image (slide 2): c.bmp\n");
    ASSERT_NE(find_nth_entry(&list, "Left image", 2), nullptr);
    EXPECT_STREQ(find_nth_entry(&list, "Left image", 2)->value, "c.bmp");
    EXPECT_EQ(find_nth_entry(&list, "Left image", 3), nullptr);
    EXPECT_EQ(find_nth_entry(&list, "Left image", 0), nullptr);
    config_free(&list);
}

TEST(TypedGetters, ParseTheLeadingNumber) {
    ConfigList list = load_text(
        "I1: -42abc\nI2: words\nI3: +7\nI4: 99999999999\n"
        "R1: 2.5e1x\nR2: .5\nR3: inf\nR4: -1.e-1\nR5: 0x10\n");
    EXPECT_EQ(config_get_int(&list, "I1"), -42);
    EXPECT_EQ(config_get_int(&list, "I2"), 0);
    EXPECT_EQ(config_get_int(&list, "I3"), 7);
    EXPECT_EQ(config_get_int(&list, "I4"), 2147483647);
    EXPECT_EQ(config_get_int(&list, "Missing"), 0);
    EXPECT_DOUBLE_EQ(config_get_real(&list, "R1"), 25.0);
    EXPECT_DOUBLE_EQ(config_get_real(&list, "R2"), 0.5);
    EXPECT_DOUBLE_EQ(config_get_real(&list, "R3"), 0.0);
    EXPECT_DOUBLE_EQ(config_get_real(&list, "R4"), -0.1);
    EXPECT_DOUBLE_EQ(config_get_real(&list, "R5"), 0.0);
    config_free(&list);
}

TEST(TypedGetters, YesNoLooksAtTheFirstByteOnly) {
    for (const char* yes : {"Yes", "true", "1", "y", "T"}) {
        ConfigList list = load_text(std::string("Flag: ") + yes + "\n");
        EXPECT_TRUE(config_get_yesno(&list, "Flag")) << yes;
        config_free(&list);
    }
    for (const char* no : {"N", "0", "", "on", "false"}) {
        ConfigList list = load_text(std::string("Flag: ") + no + "\n");
        EXPECT_FALSE(config_get_yesno(&list, "Flag")) << no;
        config_free(&list);
    }
}

TEST(ConfigEnsure, AppendsOnlyWhenTheWholeKeyIsMissing) {
    ConfigList list = load_text("Swap stereo: Y\n");
    config_ensure(&list, "Swap stereo (Y/N)", "N");
    config_ensure(&list, "swap STEREO (y/n)", "N");
    EXPECT_EQ(entries_of(list), (std::vector<std::pair<std::string, std::string>>{
                                    {"Swap stereo", "Y"}, {"Swap stereo (Y/N)", "N"}}));
    EXPECT_TRUE(config_get_yesno(&list, "Swap stereo"));
    config_free(&list);
}

TEST(ConfigSave, WritesKeySeparatorBlankValueWithoutComments) {
    TempDir dir;
    write_file("config.txt", "# heading\nSlide time:5\n\n  Caption :  Hello: world  \n");
    ConfigList list = config_load("config.txt", ':');
    config_add(&list, "Stereo offset", "0.01,0");
    ASSERT_TRUE(config_save(&list, "config.txt", ':'));
    config_free(&list);
    EXPECT_EQ(read_file("config.txt"), text_mode("Slide time: 5\nCaption: Hello: world\nStereo offset: 0.01,0\n"));
    EXPECT_FALSE(file_exists("config.txt.new"));
}

TEST(ConfigSave, LeavesAnUnwritableFileAlone) {
    TempDir dir;
    write_file("config.txt", "Keep: me\n# comment\n");
    if (!make_read_only("config.txt")) GTEST_SKIP() << "the file system ignores read-only files for this user";
    ConfigList list = config_load("config.txt", ':');
    config_add(&list, "New", "entry");
    EXPECT_FALSE(config_save(&list, "config.txt", ':'));
    config_free(&list);
    EXPECT_EQ(read_file("config.txt"), "Keep: me\n# comment\n");
}
