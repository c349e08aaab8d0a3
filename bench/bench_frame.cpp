// Whole frames on the offscreen renderer: both eye views, the interlacer or
// the anaglyph mix, and a caption, at 1920 x 1080.
#include "bench.h"

#include "app/eye_views.h"
#include "bitmapfonts.h"
#include "gfx_opengl.h"
#include "gl.h"
#include "platform/headless.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

SimpleBitmap gradient(int32_t w, int32_t h) {
    SimpleBitmap b{};
    b.width = w;
    b.height = h;
    b.bytes_per_pixel = 3;
    b.pixels = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(w) * h * 3));
    for (int32_t i = 0; i < w * h; ++i) {
        b.pixels[i * 3] = static_cast<uint8_t>(i);
        b.pixels[i * 3 + 1] = static_cast<uint8_t>(i >> 8);
        b.pixels[i * 3 + 2] = static_cast<uint8_t>(i >> 16);
    }
    return b;
}

void frames(int32_t mode) {
    headless::reset();
    font_reset_for_tests();
    fullscreen_offset_x = 1;
    gfx_open_window(1920, 1080, "bench", nullptr);
    font_load_glyph_data(caption_glyph_data, caption_glyph_data_length, "caption");
    Slide slide{};
    slide.left_image = gradient(1600, 1200);
    slide.right_image = gradient(1600, 1200);
    slide.textures[0] = texture_from_bitmap(slide.left_image, &slide.texture_width, &slide.texture_height);
    slide.textures[1] = texture_from_bitmap(slide.right_image, &slide.texture_width, &slide.texture_height);
    slide.texture_scale_x = 1600.0f / slide.texture_width;
    slide.texture_scale_y = 1200.0f / slide.texture_height;
    char text[] = "A caption of two lines over the slide, wrapped inside the middle three quarters of the screen";
    Caption caption{0, 0, text, 240, 900, 1680, 0.03f};
    char what[64];
    std::snprintf(what, sizeof(what), "frame 1920x1080, stereo mode %d", mode);
    bench_measure(what, 1920.0 * 1080.0, "pixel", [&] {
        draw_eye_views(slide, {mode, 1.2f, slide.texture_scale_x, slide.texture_scale_y, 0.01f, 0});
        if (mode == 3) stereo_interlace(0);
        draw_caption(caption);
        glFinish();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    });
    slide.caption.text = nullptr;
    std::free(slide.left_image.pixels);
    std::free(slide.right_image.pixels);
    glDeleteTextures(2, slide.textures);
    glDeleteTextures(4, &slide.anaglyph_textures[0][0]);
    headless::reset();
}

}  // namespace

BENCH(frame_mode0) { frames(0); }
BENCH(frame_mode3_interlaced) { frames(3); }
BENCH(frame_mode6_anaglyph) { frames(6); }
