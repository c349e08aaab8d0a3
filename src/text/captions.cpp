#include "text/captions.h"

#include "base/text.h"
#include "display/display.h"
#include "text/bitmapfonts.h"
#include "text/text_encoding.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

void caption_pass(float left, float top, float right, float bottom, const char* text, uint32_t colour) {
    text_begin();
    text_draw(left, top, right, bottom, text, colour);
    text_end();
}

}  // namespace

Caption caption_from_entry(const char* entry, int32_t width, int32_t height) {
    Caption c;
    // A caption saved as UTF-8 is shown in the font's Windows-1252 slots.
    if (entry) c.text = cp1252_from_utf8(reinterpret_cast<const uint8_t*>(entry), std::strlen(entry));
    c.left_x = width / 8;
    c.right_x = (width * 7) / 8;
    c.size = 0.03f;
    if (const char* marker = find_text_nocase(c.text.c_str(), "$y=")) {
        double top = parse_real(marker + 3) * height;
        // Positions off any sensible screen are clamped rather than overflowing.
        top = std::isnan(top) ? 0 : std::fmin(std::fmax(top, -1e9), 1e9);
        c.top_y = static_cast<int32_t>(top);
        c.text.resize(static_cast<size_t>(marker - c.text.c_str()));
    }
    return c;
}

void draw_caption(const Caption& caption) {
    const int32_t h = display.screen_height;
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
    const char* text = caption.text.c_str();

    // Black outline: the face offset by one pixel each way, darkening.
    text_set_blend_mode(2);
    caption_pass(static_cast<float>(x + 1), static_cast<float>(y), static_cast<float>(r + 1), bottom, text, 0x000000);
    caption_pass(static_cast<float>(x - 1), static_cast<float>(y), static_cast<float>(r - 1), bottom, text, 0x000000);
    caption_pass(static_cast<float>(x), static_cast<float>(y + 1), static_cast<float>(r), bottom, text, 0x000000);
    caption_pass(static_cast<float>(x), static_cast<float>(y - 1), static_cast<float>(r), bottom, text, 0x000000);

    text_set_blend_mode(3);
    caption_pass(static_cast<float>(x), static_cast<float>(y), static_cast<float>(r), bottom, text, 0xFFFFFF);
}
