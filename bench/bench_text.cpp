// Text layout and drawing: a long caption wrapped into the caption column.
#include "bench.h"
#include "bitmapfonts.h"
#include "gfx_opengl.h"
#include "gl.h"
#include "platform/headless.h"

#include <string>

namespace {

std::string long_caption(size_t* glyphs) {
    std::string text;
    while (text.size() < 1200)
        text += "Twin lenses a hand apart record the valley twice; the viewer's eyes do the rest. ";
    *glyphs = 0;
    for (char c : text) *glyphs += c != ' ';
    return text;
}

void set_up() {
    headless::make_gl_context(1920, 1080);
    screen_width = 1920;
    screen_height = 1080;
    font_reset_for_tests();
    font_load_glyph_data(caption_glyph_data, caption_glyph_data_length, "caption");
    font_use_spec("caption:scale=2");
    text_set_blend_mode(3);
}

}  // namespace

BENCH(text_draw) {
    set_up();
    size_t glyphs = 0;
    const std::string text = long_caption(&glyphs);
    bench_measure("text_draw wrapped caption (layout)", static_cast<double>(glyphs), "glyph", [&] {
        text_begin();
        text_draw(240, 0, 1680, 1080, text.c_str(), 0xFFFFFF);
        text_end();
    });
    bench_measure("text_draw wrapped caption (rendered)", static_cast<double>(glyphs), "glyph", [&] {
        text_begin();
        text_draw(240, 0, 1680, 1080, text.c_str(), 0xFFFFFF);
        text_end();
        glFinish();
    });
    bench_measure("text_line_width", static_cast<double>(text.size()), "byte",
                  [&] { text_line_width(text.c_str()); });
    font_reset_for_tests();
}
