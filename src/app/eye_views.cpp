// The two eye views of the current slide, and the mouse editing of its
// stereo offset.
#include "app/eye_views.h"

#include "gfx_opengl.h"
#include "gl.h"

#include <cmath>
#include <cstdio>

namespace {

// The zoom at the end of a slide.
constexpr double FINAL_ZOOM = 1.75;

void set_pixel_projection(int32_t w, int32_t h) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, h, 0, h / 2, -(h / 2));
    glMatrixMode(GL_MODELVIEW);
}

// One eye's picture, scaled to cover the view in force, with the given texture.
void draw_eye_quad(const Slide& slide, const EyeViewState& view, int eye, GLuint texture) {
    const SimpleBitmap& image = eye == 0 ? slide.left_image : slide.right_image;
    // An eye without a picture (missing or unreadable file) stays black.
    if (image.width <= 0 || image.height <= 0 || texture == 0) return;
    const EyeQuad q = eye_quad(screen_width, screen_height, image.width, image.height, view.zoom, view.offset_x,
                               view.offset_y, eye);
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

// A white rectangle over the whole window, untextured, in the blending set.
void blend_white_window() {
    glDisable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(static_cast<float>(screen_width), 0);
    glVertex2f(static_cast<float>(screen_width), static_cast<float>(screen_height));
    glVertex2f(0, static_cast<float>(screen_height));
    glEnd();
    glEnable(GL_TEXTURE_2D);
}

// The textures hold half of each eye's projection, split by sign, so that no
// sum clamps before the last step doubles the result.
void draw_anaglyph(const Slide& slide, const EyeViewState& view) {
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT | GL_ENABLE_BIT);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_DITHER);
    glEnable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
    glBlendFunc(GL_ONE, GL_ONE);
    for (int eye = 0; eye < 2; ++eye) draw_eye_quad(slide, view, eye, slide.anaglyph_textures[eye][0]);
    if (gfx_blend_equation) {
        gfx_blend_equation(GL_FUNC_REVERSE_SUBTRACT);
        for (int eye = 0; eye < 2; ++eye) draw_eye_quad(slide, view, eye, slide.anaglyph_textures[eye][1]);
        gfx_blend_equation(GL_FUNC_ADD);
    } else {
        // Only addition: 1 - (1 - sum + negatives), clamped as a subtraction would be.
        glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ZERO);
        blend_white_window();
        glBlendFunc(GL_ONE, GL_ONE);
        for (int eye = 0; eye < 2; ++eye) draw_eye_quad(slide, view, eye, slide.anaglyph_textures[eye][1]);
        glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ZERO);
        blend_white_window();
    }
    glBlendFunc(GL_DST_COLOR, GL_ONE);
    blend_white_window();
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

int eye_levels_unseen(int32_t stereo_mode, int32_t view_w, int32_t view_h, int32_t image_w, int32_t image_h,
                      double u_texels, double v_texels) {
    if (view_w <= 0 || view_h <= 0 || image_w <= 0 || image_h <= 0) return 0;
    const double squeeze_x = stereo_mode == 2 ? 2 : 1, squeeze_y = stereo_mode == 1 || stereo_mode == 3 ? 2 : 1;
    const double pixels_per_image_pixel =
        std::fmax(static_cast<double>(view_w) / image_w, static_cast<double>(view_h) / image_h) * FINAL_ZOOM;
    // A margin keeps a renderer's rounding from reaching a dropped level.
    const double texels_per_pixel = std::fmax(u_texels * squeeze_x / image_w, v_texels * squeeze_y / image_h) /
                                    pixels_per_image_pixel * (63.0 / 64);
    int unseen = 0;
    while (unseen < 31 && texels_per_pixel >= static_cast<double>(int64_t(2) << unseen)) ++unseen;
    return unseen;
}

void draw_eye_views(const Slide& slide, const EyeViewState& view) {
    const int32_t w = screen_width, h = screen_height;
    glEnable(GL_TEXTURE_2D);
    // Textures are modulated by the current colour, which an earlier pass may
    // have left at any value: white while drawing, the caller's afterwards.
    GLfloat colour[4] = {1, 1, 1, 1};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glColor3f(1, 1, 1);
    if (view.stereo_mode >= 6 && view.stereo_mode <= 8) {
        draw_anaglyph(slide, view);
    } else {
        for (int eye = 0; eye < 2; ++eye) {
            switch (view.stereo_mode) {
            case 2:
            case 4: glViewport((w * eye) / 2, 0, w / 2, h); break;
            case 1:
            case 3:
            case 5: glViewport(0, (h * eye) / 2, w, h / 2); break;
            default: break;
            }
            // One screen per eye: the eye is drawn at its own screen's proportions.
            if (view.stereo_mode == 4) screen_width /= 2;
            if (view.stereo_mode == 5) screen_height /= 2;
            if (view.stereo_mode == 4 || view.stereo_mode == 5) set_pixel_projection(screen_width, screen_height);
            draw_eye_quad(slide, view, eye, slide.textures[eye]);
            screen_width = w;
            screen_height = h;
        }
    }
    glColor4fv(colour);
    glDisable(GL_TEXTURE_2D);
    glViewport(0, 0, w, h);
    if (view.stereo_mode == 4 || view.stereo_mode == 5) set_pixel_projection(w, h);
}

void edit_stereo_offset(ConfigList* list, int slide_number, const SimpleBitmap& left_image, float* offset_x,
                        float* offset_y) {
    if (!key_held(VK_KEY_SHIFT)) return;
    PlatRect rect = plat_get_window_rect();
    int32_t centre_x = static_cast<int32_t>((static_cast<int64_t>(rect.left) + rect.right) / 2);
    int32_t centre_y = static_cast<int32_t>((static_cast<int64_t>(rect.top) + rect.bottom) / 2);
    if (key_newly_pressed(VK_KEY_SHIFT)) plat_set_cursor_pos(centre_x, centre_y);

    rect = plat_get_window_rect();
    centre_x = static_cast<int32_t>((static_cast<int64_t>(rect.left) + rect.right) / 2);
    centre_y = static_cast<int32_t>((static_cast<int64_t>(rect.top) + rect.bottom) / 2);
    int32_t px = 0, py = 0;
    plat_get_cursor_pos(&px, &py);
    plat_set_cursor_pos(centre_x, centre_y);

    // An empty left image has no pixel size to measure the movement in.
    const double image_w = static_cast<uint32_t>(left_image.width);
    const double image_h = static_cast<uint32_t>(left_image.height);
    float x = *offset_x, y = *offset_y;
    if (key_held(VK_KEY_CONTROL)) {
        if (image_h > 0) y = static_cast<float>(y + (static_cast<double>(py) - centre_y) / image_h);
    } else {
        if (image_w > 0) x = static_cast<float>(x + (static_cast<double>(px) - centre_x) / image_w);
    }
    if (std::isfinite(x)) *offset_x = x;
    if (std::isfinite(y)) *offset_y = y;

    char text[64];
    std::snprintf(text, sizeof(text), "%g,%g", *offset_x, *offset_y);
    if (ConfigEntry* entry = find_nth_entry(list, "Stereo offset", slide_number))
        config_set_value(entry, text);
    else
        config_add(list, "Stereo offset", text);
}
