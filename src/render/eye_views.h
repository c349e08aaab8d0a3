// The two eye views of the current slide, placed as the stereo mode lays them out.
#pragma once

#include "render/gl.h"
#include "render/stereo_mode.h"

#include <cstdint>

// What the views draw: each eye's picture size and textures.
struct EyeTextures {
    int32_t width[2], height[2];  // each eye's picture; 0 where it has none
    GLuint picture[2];
    // Coloured modes only: per eye, the positive and negative halves of its
    // anaglyph projection (0 where there are none).
    GLuint anaglyph[2][2];
    bool same_image;  // both eyes take their half of one side-by-side picture
};

struct EyeViewState {
    StereoMode stereo_mode;
    float zoom;
    float scale_x, scale_y;     // working texture scale
    float offset_x, offset_y;   // working stereo offset
    int32_t swap = 0;           // the interleaving modes' eyes exchanged
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
// u_texels x v_texels of level 0 and is laid out in view_w x view_h; a view
// squeezed into part of the window has fewer pixels across the squeeze.
int eye_levels_unseen(StereoMode stereo_mode, int32_t view_w, int32_t view_h, int32_t image_w, int32_t image_h,
                      double u_texels, double v_texels);

// Both eyes in their views, over a window of the display's size. The
// column and checkerboard modes draw the second eye only on its own pixels,
// black where its picture does not reach (see interlace.h). The
// anaglyph compositor mixes the eyes over the whole window into a
// least-squares anaglyph (see anaglyph.h) from the anaglyph textures, in the
// frame buffer: the positive halves added, the negative ones taken away (by
// blend subtraction, or added to the inverted frame where the driver lacks
// it), the sum doubled.
void draw_eye_views(const EyeTextures& slide, const EyeViewState& view);
