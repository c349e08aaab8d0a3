// A pixel-addressed overlay for the current viewport: origin at its top left,
// y downward, no depth test. What begin changes, end gives back.
#pragma once

#include "render/stereo_mode.h"

// Without a view, x and y count window pixels. Within an eye's view, the
// viewport is the view's part of the window and x and y count the pixels of
// its layout, squeezed into that part as the eye's picture is.
void gfx_begin_2d(const EyeView* view = nullptr);
void gfx_end_2d();
