// The stereo modes: how the two eyes' views share the window, and how they
// reach the viewer's eyes. Every property of a mode is a field of its row in
// one table; nothing else compares modes.
#pragma once

#include "render/anaglyph.h"

#include <cstdint>
#include <string>

// The numbers are the ones the "Stereo mode" setting takes.
enum class StereoMode : int32_t {
    none = 0,                // both eyes drawn over the whole window, the right one last
    top_bottom = 1,          // each view squeezed to half height, left eye below
    side_by_side = 2,        // each view squeezed to half width, left eye on the left
    interlace = 3,           // the halves of mode 1 woven into alternate desktop rows
    two_screen_side_by_side = 4,  // one screen per eye, side by side, at its own proportions
    two_screen_vertical = 5,      // one screen per eye, stacked, left eye below
    red_cyan = 6,            // least-squares anaglyphs over the whole window
    green_magenta = 7,
    amber_blue = 8,
};

// Where each eye's view goes: its part of the window.
enum class ViewSplit {
    whole,        // both eyes over the whole window
    left_right,   // left eye in the left half, right eye in the right half
    left_below,   // left eye in the lower half, right eye in the upper half
};

// What is done to the frame once both views are drawn.
enum class Compositor {
    none,
    interlace_rows,  // the lower half to even desktop rows, the upper half to odd ones (or swapped)
    anaglyph,        // the eyes mixed through the row's anaglyph matrices
};

struct StereoModeRow {
    StereoMode mode;
    const char* name;        // as the README and the setting's key call it
    const char* key_label;   // in the "Stereo mode" key; rows sharing one are listed as a range
    ViewSplit split;
    // One screen per eye: the view is laid out at its part's own proportions.
    // Otherwise at the whole window's, squeezed into its part.
    bool own_proportions;
    Compositor compositor;
    // The caption is drawn inside each eye's view, rather than once over the frame.
    bool captions_per_eye;
    const AnaglyphMatrices* anaglyph;  // anaglyph compositor only
};

// The row of a mode number; a number no mode has gets mode 0's row.
const StereoModeRow& stereo_mode_row(int32_t number);
inline const StereoModeRow& stereo_mode_row(StereoMode mode) { return stereo_mode_row(static_cast<int32_t>(mode)); }
// A number no mode has is kept as it is and shown as mode 0.
inline StereoMode stereo_mode_from_number(int32_t number) { return static_cast<StereoMode>(number); }
// "Stereo mode (0=none,1=top/bottom,...)": the setting's self-explaining key.
std::string stereo_mode_key();

// One eye's part of a window of w x h: a GL viewport (x, y from the bottom
// left) and the size the eye's picture is laid out in.
struct EyeView {
    int32_t x, y, w, h;
    int32_t layout_w, layout_h;
};
EyeView eye_view(const StereoModeRow& row, int eye, int32_t w, int32_t h);
