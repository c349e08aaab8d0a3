#include "render/eye_views.h"

#include "display/display.h"
#include "image/picture.h"
#include "render/interlace.h"

#include <cmath>

namespace {

void set_pixel_projection(int32_t w, int32_t h) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, h, 0, h / 2, -(h / 2));
    glMatrixMode(GL_MODELVIEW);
}

// One eye's picture, scaled to cover a view laid out at w x h, with the given texture.
void draw_eye_quad(const EyeTextures& slide, const EyeViewState& view, int eye, GLuint texture, int32_t w,
                   int32_t h) {
    // An eye without a picture (missing or unreadable file) stays black.
    if (slide.width[eye] <= 0 || slide.height[eye] <= 0 || texture == 0) return;
    const EyeQuad q = eye_quad(w, h, slide.width[eye], slide.height[eye], view.zoom, view.offset_x, view.offset_y, eye);
    glBindTexture(GL_TEXTURE_2D, texture);
    float u0 = 0, u1 = view.scale_x;
    if (slide.same_image) {
        u0 = eye * view.scale_x * 0.5f;
        u1 = (view.scale_x + eye * view.scale_x) * 0.5f;
    }
    glBegin(GL_QUADS);
    glTexCoord2f(u0, 0);
    glVertex2f(q.left, q.bottom);
    glTexCoord2f(u1, 0);
    glVertex2f(q.right, q.bottom);
    glTexCoord2f(u1, view.scale_y);
    glVertex2f(q.right, q.top);
    glTexCoord2f(u0, view.scale_y);
    glVertex2f(q.left, q.top);
    glEnd();
}

// A rectangle over the whole window in the current colour (white for the
// blending passes), untextured.
void fill_window(int32_t w, int32_t h) {
    glDisable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(static_cast<float>(w), 0);
    glVertex2f(static_cast<float>(w), static_cast<float>(h));
    glVertex2f(0, static_cast<float>(h));
    glEnd();
    glEnable(GL_TEXTURE_2D);
}

// The textures hold half of each eye's projection, split by sign, so that no
// sum clamps before the last step doubles the result.
void draw_anaglyph(const EyeTextures& slide, const EyeViewState& view, int32_t w, int32_t h) {
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT | GL_ENABLE_BIT);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_DITHER);
    glEnable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
    glBlendFunc(GL_ONE, GL_ONE);
    for (int eye = 0; eye < 2; ++eye) draw_eye_quad(slide, view, eye, slide.anaglyph[eye][0], w, h);
    if (display.blend_equation) {
        display.blend_equation(GL_FUNC_REVERSE_SUBTRACT);
        for (int eye = 0; eye < 2; ++eye) draw_eye_quad(slide, view, eye, slide.anaglyph[eye][1], w, h);
        display.blend_equation(GL_FUNC_ADD);
    } else {
        // Only addition: 1 - (1 - sum + negatives), clamped as a subtraction would be.
        glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ZERO);
        fill_window(w, h);
        glBlendFunc(GL_ONE, GL_ONE);
        for (int eye = 0; eye < 2; ++eye) draw_eye_quad(slide, view, eye, slide.anaglyph[eye][1], w, h);
        glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ZERO);
        fill_window(w, h);
    }
    glBlendFunc(GL_DST_COLOR, GL_ONE);
    fill_window(w, h);
    glPopAttrib();
}

}  // namespace

EyeQuad eye_quad(int32_t view_w, int32_t view_h, int32_t image_w, int32_t image_h, float zoom, float offset_x,
                 float offset_y, int eye) {
    const float half_w = static_cast<float>(view_w / 2), half_h = static_cast<float>(view_h / 2);
    if (image_w <= 0 || image_h <= 0) return {half_w, half_h, half_w, half_h};
    const float scale = std::fmax(static_cast<float>(view_w) / image_w, static_cast<float>(view_h) / image_h);
    const float quad_w = image_w * scale * zoom, quad_h = image_h * scale * zoom;
    const float cx = half_w + offset_x * (eye - 0.5f) * quad_w;
    const float cy = half_h + (eye - 0.5f) * offset_y * quad_h;
    return {cx - quad_w / 2, cy - quad_h / 2, cx + quad_w / 2, cy + quad_h / 2};
}

int eye_levels_unseen(StereoMode stereo_mode, int32_t view_w, int32_t view_h, int32_t image_w, int32_t image_h,
                      double u_texels, double v_texels) {
    if (view_w <= 0 || view_h <= 0 || image_w <= 0 || image_h <= 0) return 0;
    // The squeeze of the eye's part of a window whose views are laid out at view_w x view_h.
    const EyeView part = eye_view(stereo_mode_row(stereo_mode), 0, 2 * view_w, 2 * view_h);
    const double squeeze_x = static_cast<double>(part.layout_w) / part.w;
    const double squeeze_y = static_cast<double>(part.layout_h) / part.h;
    const double pixels_per_image_pixel =
        std::fmax(static_cast<double>(view_w) / image_w, static_cast<double>(view_h) / image_h) * PICTURE_MAX_ZOOM;
    // A margin keeps a renderer's rounding from reaching a dropped level.
    const double texels_per_pixel = std::fmax(u_texels * squeeze_x / image_w, v_texels * squeeze_y / image_h) /
                                    pixels_per_image_pixel * (63.0 / 64);
    int unseen = 0;
    while (unseen < 31 && texels_per_pixel >= static_cast<double>(int64_t(2) << unseen)) ++unseen;
    return unseen;
}

void draw_eye_views(const EyeTextures& slide, const EyeViewState& view) {
    const int32_t w = display.screen_width, h = display.screen_height;
    const StereoModeRow& row = stereo_mode_row(view.stereo_mode);
    glEnable(GL_TEXTURE_2D);
    // Textures are modulated by the current colour, which an earlier pass may
    // have left at any value: white while drawing, the caller's afterwards.
    GLfloat colour[4] = {1, 1, 1, 1};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glColor3f(1, 1, 1);
    if (row.compositor == Compositor::anaglyph) {
        draw_anaglyph(slide, view, w, h);
    } else {
        for (int eye = 0; eye < 2; ++eye) {
            const EyeView part = eye_view(row, eye, w, h);
            glViewport(part.x, part.y, part.w, part.h);
            set_pixel_projection(part.layout_w, part.layout_h);
            const bool masked = eye == 1 && (row.compositor == Compositor::interlace_columns ||
                                             row.compositor == Compositor::checkerboard);
            if (masked) {
                interleave_mask_begin(row.compositor, view.swap);
                glColor3f(0, 0, 0);
                fill_window(part.layout_w, part.layout_h);
                glColor3f(1, 1, 1);
            }
            draw_eye_quad(slide, view, eye, slide.picture[eye], part.layout_w, part.layout_h);
            if (masked) interleave_mask_end();
        }
    }
    glColor4fv(colour);
    glDisable(GL_TEXTURE_2D);
    glViewport(0, 0, w, h);
    set_pixel_projection(w, h);
}
