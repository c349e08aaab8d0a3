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
    top_bottom_left_on_top = 9,  // each view squeezed to half height, left eye on top (HDMI top-and-bottom)
    interlace_columns = 10,  // alternate desktop columns, each eye over the whole window
    checkerboard = 11,       // desktop pixels of even and odd x + y, each eye over the whole window
    frame_packing = 12,      // left view on top, a black band, right view below, each at full size
};

// Where each eye's view goes: its part of the window.
enum class ViewSplit {
    whole,        // both eyes over the whole window
    left_right,   // left eye in the left half, right eye in the right half
    left_below,   // left eye in the lower half, right eye in the upper half
    left_above,   // left eye in the upper half, right eye in the lower half
    // Left eye on top, right eye at the bottom, a black band of 1/49 of the
    // height between: 1920x2205 is 1080 + 45 + 1080 rows.
    frame_packed,
};

// How the two views become one frame. Each eye keeps the same physical
// pixels wherever the window sits: the pattern follows the window's desktop
// position, and the swap setting exchanges the eyes.
enum class Compositor {
    none,
    interlace_rows,     // the lower half to odd desktop rows, the upper half to even ones
    interlace_columns,  // the right eye on even desktop columns, the left on odd ones
    checkerboard,       // the right eye where desktop x + y is even, the left elsewhere
    anaglyph,           // the eyes mixed through the row's anaglyph matrices
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
// The mode `step` places after this one (before it for a negative step),
// going round all modes; a number no mode has counts as mode 0.
StereoMode stereo_mode_step(StereoMode mode, int step);

// One eye's part of a window of w x h: a GL viewport (x, y from the bottom
// left) and the size the eye's picture is laid out in.
struct EyeView {
    int32_t x, y, w, h;
    int32_t layout_w, layout_h;
};
EyeView eye_view(const StereoModeRow& row, int eye, int32_t w, int32_t h);
// Where text over the frame goes: inside each eye's view in a mode that gives
// each eye its own part of the window, so that each eye reads all of it once
// a display has stretched its part; once over the whole window otherwise.
// Returns how many views it filled.
int text_views(const StereoModeRow& row, int32_t w, int32_t h, EyeView views[2]);
