// The slides of a folder without a slide list, recognised by file name.
#include "app/folder_show.h"

#include "base/text.h"
#include "image/formats.h"
#include "image/picture.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>

namespace {

const char* const SLIDE_TIME_KEY = "Slide time (seconds, pause included)";
const char* const PAUSE_KEY = "Slide pause before zoom (seconds)";
const char* const ALIGN_KEY = "Align pairs automatically (Y/N)";

std::string lower(std::string text) {
    for (char& c : text) c = fold_ascii(c);
    return text;
}

// Digit runs compare by their value, other bytes without regard to case;
// names still equal then compare byte by byte, so the order is total.
bool natural_less(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (is_digit(a[i]) && is_digit(b[j])) {
            while (i < a.size() && a[i] == '0') ++i;
            while (j < b.size() && b[j] == '0') ++j;
            size_t i_end = i, j_end = j;
            while (i_end < a.size() && is_digit(a[i_end])) ++i_end;
            while (j_end < b.size() && is_digit(b[j_end])) ++j_end;
            if (i_end - i != j_end - j) return i_end - i < j_end - j;
            const int order = a.compare(i, i_end - i, b, j, j_end - j);
            if (order != 0) return order < 0;
            i = i_end;
            j = j_end;
        } else {
            const unsigned char x = fold_ascii(a[i]), y = fold_ascii(b[j]);
            if (x != y) return x < y;
            ++i;
            ++j;
        }
    }
    if (i < a.size() || j < b.size()) return j < b.size();
    return a < b;
}

struct NameParts {
    std::string stem;       // as written
    std::string extension;  // lower case, without the dot
};

NameParts split(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {name, ""};
    return {name.substr(0, dot), lower(name.substr(dot + 1))};
}

bool is_stereo_file(const std::string& name, const std::string& extension) {
    return extension == "mpo" || side_by_side_name(name.c_str()) != SideBySideName::none;
}

bool is_picture(const std::string& extension) {
    return extension == "jpg" || extension == "jpeg" || extension == "png" || extension == "bmp";
}

bool is_heif(const std::string& extension) { return extension == "heic" || extension == "heif" || extension == "hif"; }

// Phones and cameras write a HEIF file's meta box, where its stereo pair
// group is, near the start: this much of a file is read to find it.
constexpr size_t HEIF_HEAD_BYTES = size_t(256) << 10;

bool heif_holds_stereo_pair(const std::string& name) {
    const int64_t size = plat_regular_file_size(name.c_str());
    FILE* file = size > 0 ? plat_open_file(name.c_str(), "rb") : nullptr;
    if (!file) return false;
    std::vector<uint8_t> head(static_cast<size_t>(std::min<int64_t>(size, HEIF_HEAD_BYTES)));
    head.resize(std::fread(head.data(), 1, head.size(), file));
    std::fclose(file);
    uint32_t left = 0, right = 0;
    return heif_stereo_pair(head.data(), head.size(), &left, &right) == HeifStereo::pair;
}

// The lower-case stem of the right eye's file for a left eye's stem, or ""
// when the stem does not name a left eye: "...left", or a single "l" after a
// separator or a digit ("_L", "-l", "0042L") or as a capital after a small
// letter ("beachL"), which keeps names such as "carl" out.
std::string right_stem(const std::string& stem) {
    const std::string low = lower(stem);
    const size_t n = low.size();
    if (n >= 4 && low.compare(n - 4, 4, "left") == 0) return low.substr(0, n - 4) + "right";
    if (n >= 2 && low[n - 1] == 'l') {
        const char before = stem[n - 2];
        const bool separated = before == '_' || before == '-' || before == '.' || before == ' ' || is_digit(before);
        const bool capital_after_small = stem[n - 1] == 'L' && before >= 'a' && before <= 'z';
        if (separated || capital_after_small) return low.substr(0, n - 1) + "r";
    }
    return "";
}

// Regular files of the working folder, their names in UTF-8.
std::vector<std::string> working_folder_files() {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(".", error), end; !error && it != end; it.increment(error)) {
        std::error_code kind_error;
        if (!it->is_regular_file(kind_error)) continue;
        try {
            names.push_back(it->path().filename().u8string());
        } catch (const std::exception&) {
        }
    }
    return names;
}

}  // namespace

std::vector<StereoPair> folder_stereo_pairs(const std::vector<std::string>& names,
                                            const std::function<bool(const std::string&)>& holds_stereo_pair) {
    std::vector<std::string> sorted;
    for (const std::string& name : names)
        // A line break would end the name's line in config.txt.
        if (!name.empty() && name[0] != '.' && name.find_first_of("\r\n") == std::string::npos) sorted.push_back(name);
    std::sort(sorted.begin(), sorted.end(), natural_less);

    std::vector<NameParts> parts;
    std::vector<bool> stereo, picture;
    std::multimap<std::string, size_t> pictures_by_stem;  // equal stems stay in name order
    for (size_t i = 0; i < sorted.size(); ++i) {
        parts.push_back(split(sorted[i]));
        const std::string& extension = parts[i].extension;
        stereo.push_back(is_stereo_file(sorted[i], extension) || (is_heif(extension) && holds_stereo_pair(sorted[i])));
        picture.push_back(!stereo[i] && (is_picture(extension) || is_heif(extension)));
        if (picture[i]) pictures_by_stem.emplace(lower(parts[i].stem), i);
    }

    // Partners of the same type are matched first, then any other picture type.
    const size_t none = sorted.size();
    std::vector<size_t> partner(sorted.size(), none);
    std::vector<bool> taken(sorted.size(), false);
    for (bool same_type : {true, false}) {
        for (size_t i = 0; i < sorted.size(); ++i) {
            if (taken[i] || !picture[i]) continue;
            const std::string wanted = right_stem(parts[i].stem);
            if (wanted.empty()) continue;
            auto range = pictures_by_stem.equal_range(wanted);
            for (auto it = range.first; it != range.second; ++it) {
                const size_t k = it->second;
                if (taken[k] || (same_type && parts[k].extension != parts[i].extension)) continue;
                partner[i] = k;
                taken[i] = taken[k] = true;
                break;
            }
        }
    }

    std::vector<StereoPair> pairs;
    for (size_t i = 0; i < sorted.size(); ++i) {
        if (stereo[i])
            pairs.push_back({sorted[i], sorted[i]});
        else if (partner[i] != none)
            pairs.push_back({sorted[i], sorted[partner[i]]});
    }
    return pairs;
}

void add_folder_show(ConfigList* list) {
    if (find_nth_entry(list, "Left image", 1)) return;
    const std::vector<StereoPair> pairs = folder_stereo_pairs(working_folder_files(), heif_holds_stereo_pair);
    if (pairs.empty()) return;
    // Without a slide time every frame would show the next slide.
    if (!find_setting(list, "Slide time")) {
        config_add(list, SLIDE_TIME_KEY, "8");
        if (!find_setting(list, "Slide pause before zoom")) config_add(list, PAUSE_KEY, "2");
    }
    // Pairs found in a folder were never lined up by hand.
    if (!find_setting(list, "Align pairs automatically")) config_add(list, ALIGN_KEY, "Y");
    for (const StereoPair& pair : pairs) {
        config_add(list, "Left image", pair.left.c_str());
        config_add(list, "Right image", pair.right.c_str());
    }
}
