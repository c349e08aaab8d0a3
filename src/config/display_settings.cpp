#include "config/display_settings.h"

#include "display/display.h"

#include <cstdlib>
#include <string>

const char* const RESOLUTION_KEY = "Resolution (XxY, 'auto', 'span', 'display N' or 'span N,M...')";
const char* const SWAP_STEREO_KEY = "Swap stereo (Y/N)";

namespace {

// Monitor numbers after "span": every number sets its monitor's bit; all
// other bytes are skipped, and a number's fraction or exponent is passed over.
int32_t span_mask(const char* p) {
    uint32_t mask = 0;
    while (*p) {
        if (!is_digit(*p)) {
            ++p;
            continue;
        }
        const char* end = nullptr;
        long n = parse_int(p, &end);
        p = end;
        mask |= 1u << ((static_cast<uint32_t>(n) - 1u) & 31u);
        if (*p == '.') {
            ++p;
            while (is_digit(*p)) ++p;
        }
        if ((*p == 'e' || *p == 'E') &&
            (is_digit(p[1]) || ((p[1] == '+' || p[1] == '-') && is_digit(p[2])))) {
            p += (p[1] == '+' || p[1] == '-') ? 2 : 1;
            while (is_digit(*p)) ++p;
        }
    }
    return static_cast<int32_t>(mask);
}

// "%d,%d"-style pair: a part that cannot be read leaves its value unchanged.
void scan_pair(const char* text, char between, int32_t* first, int32_t* second) {
    const char* end = nullptr;
    long value = parse_int(text, &end);
    if (end == text) return;
    *first = static_cast<int32_t>(value);
    if (*end != between) return;
    const char* rest = end + 1;
    value = parse_int(rest, &end);
    if (end == rest) return;
    *second = static_cast<int32_t>(value);
}

}  // namespace

void read_resolution(ConfigList* list) {
    const char* value = find_setting(list, "Resolution");
    if (!value) {
        config_ensure(list, RESOLUTION_KEY, "auto");
        value = find_setting(list, "Resolution");
    }
    // Every form is read as the width and height it stands for ("display 2"
    // is 0 x 2, "span" -1 x -1), which resolution_of_size then names.
    int32_t width = 0, height = 0;
    if (value && !equals_nocase(value, "auto")) {
        if (starts_with_nocase(value, "display")) {
            height = static_cast<int32_t>(parse_int(value + 7));
        } else if (equals_nocase(value, "span")) {
            width = height = -1;
        } else if (starts_with_nocase(value, "span")) {
            width = -1;
            height = span_mask(value + 4);
        } else {
            scan_pair(value, 'x', &width, &height);
        }
    }
    display.resolution = resolution_of_size(width, height);
    const char* offset = find_setting(list, "Fullscreen offset");
    if (offset) scan_pair(offset, ',', &display.fullscreen_offset_x, &display.fullscreen_offset_y);
}

namespace {
const char* const STEREO_MODE_KEY_BEFORE_TV_MODES =
    "Stereo mode (0=none,1=top/bottom,2=side-by-side,3=interlace,4=two screen SBS,5=two screen vertical,6-8=coloured)";
}  // namespace

void read_stereo_settings(ConfigList* list, StereoMode* stereo_mode, int32_t* swap_stereo) {
    read_resolution(list);
    // A file written before the later modes came keeps its line and value
    // under the key that lists them all.
    const std::string key = stereo_mode_key();
    for (uint32_t i = 0; i < list->count; ++i) {
        ConfigEntry* entry = config_entry(list, i);
        if (!equals_nocase(entry->key, STEREO_MODE_KEY_BEFORE_TV_MODES)) continue;
        char* renewed = copy_text(key.c_str());
        std::free(entry->key);
        entry->key = renewed;
    }
    config_ensure(list, key.c_str(), "0");
    *stereo_mode = stereo_mode_from_number(config_get_int(list, "Stereo mode"));
    config_ensure(list, SWAP_STEREO_KEY, "N");
    *swap_stereo = config_get_yesno(list, "Swap stereo") ? 1 : 0;
}
