// The eye views of the current slide and the mouse editing of its offset.
#pragma once

#include "app/parallaxon.h"

#include <cstdint>

struct EyeViewState {
    int32_t stereo_mode;
    float zoom;
    float scale_x, scale_y;     // working texture scale
    float offset_x, offset_y;   // working stereo offset
};

// The rectangle of one eye's picture in a view of view_w x view_h pixels
// (y downward): scaled to cover the view, zoomed, and moved by half the
// offset, left eye towards smaller x and y, right eye towards larger. An
// empty image has no size to scale: its quad is the empty one at the centre.
struct EyeQuad {
    float left, top, right, bottom;
};
EyeQuad eye_quad(int32_t view_w, int32_t view_h, int32_t image_w, int32_t image_h, float zoom, float offset_x,
                 float offset_y, int eye);

// How many of the finest mipmap levels of an eye's texture its view never
// samples: a renderer reads levels floor(L) and floor(L) + 1, where the level
// of detail L is at least log2 of the texels per screen pixel along the axis
// with the most, and that is least at the final zoom. The picture spans
// u_texels x v_texels of level 0. Views squeezed into half the window (modes
// 1 to 3) have half as many pixels across the squeeze.
int eye_levels_unseen(int32_t stereo_mode, int32_t view_w, int32_t view_h, int32_t image_w, int32_t image_h,
                      double u_texels, double v_texels);

// Both eyes in their views. The coloured modes 6, 7 and 8 mix the eyes over
// the whole window into a least-squares anaglyph (see anaglyph.h) from the
// slide's anaglyph textures, in the frame buffer: the positive halves added,
// the negative ones taken away (by blend subtraction, or added to the
// inverted frame where the driver lacks it), the sum doubled.
void draw_eye_views(const Slide& slide, const EyeViewState& view);

// While Shift is held: mouse movement, measured from the window centre where
// the cursor is pinned, edits the offset (Ctrl: the vertical one), which is
// written into the n-th "Stereo offset" entry every frame.
void edit_stereo_offset(ConfigList* list, int slide_number, const SimpleBitmap& left_image, float* offset_x,
                        float* offset_y);
