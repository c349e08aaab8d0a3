#include "app/parallaxon.h"
#include "bitmapfonts.h"
#include "gfx_opengl.h"

#include <cstdio>

namespace {

void caption_pass(float left, float top, float right, float bottom, const char* text, uint32_t colour) {
    text_begin();
    text_draw(left, top, right, bottom, text, colour);
    text_end();
}

}  // namespace

void draw_caption(Caption caption) {
    const int32_t h = screen_height;
    const float pixel_size = static_cast<float>(h) * caption.size;

    const FontStyle style = font_parse_spec("caption");
    const BitmapFont* font = font_derive(style.base, style.width_scale, style.height_scale, style.skew, style.boldness);
    const float cell_height = font && font->cell_height ? font->cell_height : 1.0f;

    // The nearest whole magnification of the font to the wanted pixel size.
    const float scaled = pixel_size / cell_height + 0.5f;
    int scale = 1;
    if (scaled >= 2147483647.0f)
        scale = 2147483647;
    else if (scaled >= 1.0f)
        scale = static_cast<int>(scaled);
    char spec[48];
    std::snprintf(spec, sizeof spec, "caption:scale=%d", scale);
    font_use_spec(spec);

    const int32_t x = caption.left_x, y = caption.top_y, r = caption.right_x;
    const float bottom = static_cast<float>(h);
    const char* text = caption.text;

    // Black outline: the face offset by one pixel each way, darkening.
    text_set_blend_mode(2);
    caption_pass(static_cast<float>(x + 1), static_cast<float>(y), static_cast<float>(r + 1), bottom, text, 0x000000);
    caption_pass(static_cast<float>(x - 1), static_cast<float>(y), static_cast<float>(r - 1), bottom, text, 0x000000);
    caption_pass(static_cast<float>(x), static_cast<float>(y + 1), static_cast<float>(r), bottom, text, 0x000000);
    caption_pass(static_cast<float>(x), static_cast<float>(y - 1), static_cast<float>(r), bottom, text, 0x000000);

    text_set_blend_mode(3);
    caption_pass(static_cast<float>(x), static_cast<float>(y), static_cast<float>(r), bottom, text, 0xFFFFFF);
}
