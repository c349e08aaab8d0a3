#include "text/captions.h"

#include "base/text.h"
#include "text/bitmapfonts.h"
#include "text/text_encoding.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr float CAPTION_SIZE = 0.03f;

void text_pass(const EyeView& view, float left, float top, float right, float bottom, const char* text,
               uint32_t colour) {
    text_begin(&view);
    text_draw(left, top, right, bottom, text, colour);
    text_end();
}

// White text with a black outline: the face offset by one pixel each way,
// darkening, then the face itself. Its font is the nearest whole
// magnification of the built-in one to the wanted height. In a view squeezed
// into half the window the magnification, the position and the outline are
// whole multiples of the squeeze, so that every glyph pixel still covers
// whole window pixels and the outline is at least one window pixel wide.
void draw_outlined(const char* text, CaptionPlace place, float pixel_size, const EyeView& view) {
    const int32_t squeeze_x = view.w > 0 ? view.layout_w / view.w : 1;
    const int32_t squeeze_y = view.h > 0 ? view.layout_h / view.h : 1;
    const int32_t squeeze = squeeze_x > squeeze_y ? squeeze_x : squeeze_y;

    const FontStyle style = font_parse_spec("caption");
    const BitmapFont* font = font_derive(style.base, style.width_scale, style.height_scale, style.skew, style.boldness);
    const float cell_height = font && font->cell_height ? font->cell_height : 1.0f;
    const float scaled = pixel_size / cell_height + 0.5f;
    int scale = 1;
    if (scaled >= 2147483647.0f)
        scale = 2147483647;
    else if (scaled >= 1.0f)
        scale = static_cast<int>(scaled);
    if (scale % squeeze != 0 && scale < 2147483647 - squeeze) scale += squeeze - scale % squeeze;
    char spec[48];
    std::snprintf(spec, sizeof spec, "caption:scale=%d", scale);
    font_use_spec(spec);

    const float x = static_cast<float>(place.left_x - place.left_x % squeeze_x);
    const float y = static_cast<float>(place.top_y - place.top_y % squeeze_y);
    const float r = static_cast<float>(place.right_x), bottom = static_cast<float>(view.layout_h);
    const float dx = static_cast<float>(squeeze_x), dy = static_cast<float>(squeeze_y);
    text_set_blend_mode(2);
    text_pass(view, x + dx, y, r + dx, bottom, text, 0x000000);
    text_pass(view, x - dx, y, r - dx, bottom, text, 0x000000);
    text_pass(view, x, y + dy, r, bottom, text, 0x000000);
    text_pass(view, x, y - dy, r, bottom, text, 0x000000);
    text_set_blend_mode(3);
    text_pass(view, x, y, r, bottom, text, 0xFFFFFF);
}

// A view's layout for text: a whole multiple of its part of the window, the
// nearest to the pictures' layout (which for an odd window height is one row
// more than twice the half the eye has).
EyeView text_layout(EyeView view) {
    auto whole = [](int32_t layout, int32_t part) {
        if (part <= 0) return 1;
        const int32_t n = (layout + part / 2) / part;
        return n > 1 ? n : 1;
    };
    view.layout_w = view.w * whole(view.layout_w, view.w);
    view.layout_h = view.h * whole(view.layout_h, view.h);
    return view;
}

}  // namespace

Caption caption_from_entry(const char* entry) {
    Caption c;
    // A caption saved as UTF-8 is shown in the font's Windows-1252 slots.
    if (entry) c.text = cp1252_from_utf8(reinterpret_cast<const uint8_t*>(entry), std::strlen(entry));
    c.size = CAPTION_SIZE;
    if (const char* marker = find_text_nocase(c.text.c_str(), "$y=")) {
        c.top = parse_real(marker + 3);
        c.text.resize(static_cast<size_t>(marker - c.text.c_str()));
    }
    return c;
}

CaptionPlace caption_place(const Caption& caption, int32_t width, int32_t height) {
    double top = caption.top * height;
    // Positions off any sensible screen are clamped rather than overflowing.
    top = std::isnan(top) ? 0 : std::fmin(std::fmax(top, -1e9), 1e9);
    return {width / 8, static_cast<int32_t>(top), (width * 7) / 8};
}

void draw_caption(const Caption& caption, const EyeView& eye_view) {
    const EyeView view = text_layout(eye_view);
    draw_outlined(caption.text.c_str(), caption_place(caption, view.layout_w, view.layout_h),
                  static_cast<float>(view.layout_h) * caption.size, view);
}

void draw_corner_label(const char* text, const EyeView& eye_view, bool at_bottom) {
    const EyeView view = text_layout(eye_view);
    const float pixel_size = static_cast<float>(view.layout_h) * CAPTION_SIZE;
    const int32_t margin = static_cast<int32_t>(pixel_size);
    const int32_t top = at_bottom ? view.layout_h - 3 * margin : margin;
    draw_outlined(text, {margin, top, view.layout_w - margin}, pixel_size, view);
}

void draw_notice(const std::string& text, const EyeView& eye_view, int line) {
    const EyeView view = text_layout(eye_view);
    const float pixel_size = static_cast<float>(view.layout_h) * CAPTION_SIZE;
    // Names are shown as they are spelt, in the font's slots; its escapes are not for them.
    std::string shown = cp1252_from_utf8(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    const int32_t top = view.layout_h / 2 + static_cast<int32_t>((line - 1) * 2 * pixel_size);
    draw_outlined(shown.c_str(), {view.layout_w / 16, top, view.layout_w - view.layout_w / 16}, pixel_size, view);
}
