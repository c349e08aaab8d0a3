// A pixel-addressed overlay for the current viewport: origin at its top left,
// y downward, no depth test. What begin changes, end gives back.
#pragma once

void gfx_begin_2d();
void gfx_end_2d();
