// Arbitrary bytes as the lines of config.txt: each line read as an entry, the
// display and stereo settings and every typed reader applied to them, and the
// text written back must read as the same entries.
#include "config/display_settings.h"
#include "config/settings.h"
#include "platform/headless.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Lines end as the file reader ends them: at LF, CR or NUL.
ConfigList parse(const std::string& text) {
    ConfigList list = dynarray_create(sizeof(ConfigEntry));
    std::string line;
    for (char c : text + '\n') {
        if (c != '\n' && c != '\r' && c != '\0') {
            line += c;
        } else if (!line.empty()) {
            config_add_line(&list, line.c_str(), ':');
            line.clear();
        }
    }
    return list;
}

}  // namespace

// The settings reach files through the platform layer: the headless one here,
// though no file is touched.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    headless::reset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ConfigList list = parse(std::string(reinterpret_cast<const char*>(data), size));
    for (uint32_t i = 0; i < list.count; ++i) {
        const char* key = config_entry(&list, i)->key;
        config_get_int(&list, key);
        config_get_real(&list, key);
        config_get_yesno(&list, key);
    }
    ConfigList again = parse(config_text(&list, ':', "\n"));
    if (again.count != list.count) std::abort();
    for (uint32_t i = 0; i < list.count; ++i)
        if (std::strcmp(config_entry(&list, i)->key, config_entry(&again, i)->key) != 0 ||
            std::strcmp(config_entry(&list, i)->value, config_entry(&again, i)->value) != 0)
            std::abort();
    StereoMode mode{};
    int32_t swap = 0;
    read_resolution(&list);
    read_stereo_settings(&list, &mode, &swap);
    config_free(&again);
    config_free(&list);
    return 0;
}
