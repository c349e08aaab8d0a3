// The interleaving compositors: the two eyes woven into alternate desktop
// rows, columns or pixels, each eye on the same physical pixels wherever the
// window sits.
#pragma once

#include "render/stereo_mode.h"

#include <cstdint>

// Rows: the two eye halves of the frame drawn back as alternate rows.
void stereo_interlace(int32_t swap);
// The frame row shown at output row y (counted from the window's top) of an
// interlaced window of the given height and parity.
int32_t interlace_source_row(int32_t height, int32_t parity, int32_t y);

// Columns and checkerboard: both eyes drawn over the whole window, the right
// eye (the left one with swap) last and only on its own pixels, through a
// polygon stipple. The mask holds from begin to end.
void interleave_mask_begin(Compositor compositor, int32_t swap);
void interleave_mask_end();
// Whether window pixel (x, y), y counted from the window's bottom, is the
// masked eye's, in a window of the given height at desktop (left, top).
bool interleave_mask_has(Compositor compositor, int32_t swap, int32_t left, int32_t top, int32_t height, int32_t x,
                         int32_t y);
