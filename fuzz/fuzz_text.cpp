// Arbitrary bytes as text to draw and measure, as a caption to convert from UTF-8, and as a font name with
// style modifiers. Input: mode byte, wrap edge, bottom limit, then the text.
#include "text/bitmapfonts.h"
#include "display/display.h"
#include "platform/headless.h"
#include "text/text_encoding.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

BitmapFont* caption = nullptr;

void set_up_once() {
    if (caption) return;
    headless::make_gl_context(32, 32);
    display.screen_width = display.screen_height = 32;
    font_load_glyph_data(caption_glyph_data, caption_glyph_data_length, "caption");
    caption = font_at(0);
}

// Size escapes and font names with modifiers add derived fonts; start every input from
// the built-in font alone.
void forget_derived_fonts() {
    font_state.current = nullptr;
    font_select(caption);
    while (font_count() > 1) font_delete(font_at(font_count() - 1));
}

}  // namespace

// Mesa keeps allocations of its own from one input to the next, which would make libFuzzer scan the whole
// heap for leaks after nearly every input: no leak checks here (ASAN_OPTIONS=detect_leaks=1 brings them
// back); the unit tests under LeakSanitizer cover the leaks of this code instead.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    set_up_once();
    if (size < 3) return 0;
    const uint8_t mode = data[0];
    const float right = data[1] * 4.0f, bottom = data[2] * 2.0f;
    data += 3;
    size -= 3;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string caption = cp1252_from_utf8(data, size);

    font_parse_spec(text.c_str());
    if (mode & 1) font_use_spec(text.c_str());
    text_line_width(text.c_str());
    text_line_width_bytes(data, size);

    text_set_blend_mode(mode >> 4);
    text_begin();
    text_draw(10, 10, right, bottom, text.c_str(), 0xFFFFFF);
    text_draw(10, 10, right, bottom, caption.c_str(), 0x808080);
    text_draw_bytes(10, 10, right, bottom, data, size, 0x000000);
    text_end();

    if (mode & 2) {
        std::vector<GlyphPacking> packing(1);
        pack_glyphs(data, size, 256, &packing[0]);
    }
    forget_derived_fonts();
    return 0;
}
