#include "render/stereo_mode.h"

namespace {

// mode, name, key label, split, own proportions, compositor, captions per eye, anaglyph
const StereoModeRow ROWS[] = {
    {StereoMode::none, "none (right eye)", "none", ViewSplit::whole, false, Compositor::none, false, nullptr},
    {StereoMode::top_bottom, "top/bottom", "top/bottom", ViewSplit::left_below, false, Compositor::none, true,
     nullptr},
    {StereoMode::side_by_side, "side-by-side", "side-by-side", ViewSplit::left_right, false, Compositor::none, true,
     nullptr},
    {StereoMode::interlace, "row-interlaced", "interlace", ViewSplit::left_below, false, Compositor::interlace_rows,
     false, nullptr},
    {StereoMode::two_screen_side_by_side, "two screens side by side", "two screen SBS", ViewSplit::left_right, true,
     Compositor::none, true, nullptr},
    {StereoMode::two_screen_vertical, "two screens stacked", "two screen vertical", ViewSplit::left_below, true,
     Compositor::none, true, nullptr},
    {StereoMode::red_cyan, "red/cyan anaglyph", "coloured", ViewSplit::whole, false, Compositor::anaglyph, false,
     &ANAGLYPH_RED_CYAN},
    {StereoMode::green_magenta, "green/magenta anaglyph", "coloured", ViewSplit::whole, false, Compositor::anaglyph,
     false, &ANAGLYPH_GREEN_MAGENTA},
    {StereoMode::amber_blue, "amber/blue anaglyph", "coloured", ViewSplit::whole, false, Compositor::anaglyph, false,
     &ANAGLYPH_AMBER_BLUE},
    {StereoMode::top_bottom_left_on_top, "top/bottom, left eye on top", "TV top/bottom", ViewSplit::left_above, false,
     Compositor::none, true, nullptr},
    {StereoMode::interlace_columns, "column-interlaced", "column interlace", ViewSplit::whole, false,
     Compositor::interlace_columns, false, nullptr},
    {StereoMode::checkerboard, "checkerboard", "checkerboard", ViewSplit::whole, false, Compositor::checkerboard,
     false, nullptr},
    {StereoMode::frame_packing, "HDMI frame packing", "frame packing", ViewSplit::frame_packed, true,
     Compositor::none, true, nullptr},
};
constexpr int ROW_COUNT = sizeof(ROWS) / sizeof(ROWS[0]);

}  // namespace

const StereoModeRow& stereo_mode_row(int32_t number) {
    return number >= 0 && number < ROW_COUNT ? ROWS[number] : ROWS[0];
}

StereoMode stereo_mode_step(StereoMode mode, int step) {
    const int index = static_cast<int>(stereo_mode_row(mode).mode);
    return ROWS[((index + step) % ROW_COUNT + ROW_COUNT) % ROW_COUNT].mode;
}

std::string stereo_mode_key() {
    std::string key = "Stereo mode (";
    for (int i = 0; i < ROW_COUNT;) {
        int last = i;
        while (last + 1 < ROW_COUNT && std::string(ROWS[last + 1].key_label) == ROWS[i].key_label) ++last;
        if (i > 0) key += ',';
        key += std::to_string(i);
        if (last > i) key += '-' + std::to_string(last);
        (key += '=') += ROWS[i].key_label;
        i = last + 1;
    }
    return key + ')';
}

EyeView eye_view(const StereoModeRow& row, int eye, int32_t w, int32_t h) {
    EyeView view{0, 0, w, h, w, h};
    switch (row.split) {
    case ViewSplit::whole: break;
    case ViewSplit::left_right:
        view.x = (w * eye) / 2;
        view.w = w / 2;
        break;
    case ViewSplit::left_below:
        view.y = (h * eye) / 2;
        view.h = h / 2;
        break;
    case ViewSplit::left_above:
        view.y = (h * (1 - eye)) / 2;
        view.h = h / 2;
        break;
    case ViewSplit::frame_packed:
        view.h = (h - h / 49) / 2;
        view.y = eye == 0 ? h - view.h : 0;
        break;
    }
    if (row.own_proportions) view.layout_w = view.w, view.layout_h = view.h;
    return view;
}

int text_views(const StereoModeRow& row, int32_t w, int32_t h, EyeView views[2]) {
    if (!row.captions_per_eye) {
        views[0] = {0, 0, w, h, w, h};
        return 1;
    }
    for (int eye = 0; eye < 2; ++eye) views[eye] = eye_view(row, eye, w, h);
    return 2;
}
