// Captions: a line of white text with a black outline over the slide.
#pragma once

#include "render/stereo_mode.h"

#include <cstdint>
#include <string>

struct Caption {
    int32_t first_time = 0;
    int32_t last_time = 0;
    std::string text;  // in the font's Windows-1252 slots
    double top = 0;    // where the text's top sits, as a fraction of the view's height
    float size = 0;    // text height as a fraction of the view's height
};

// The caption of a slide from its "Caption" entry (UTF-8, or bytes as they
// are): a "$y=" marker sets its top and ends the text.
Caption caption_from_entry(const char* entry);

// Where a caption goes in a view laid out at width x height: between an
// eighth of the width from either side, its top at `top` of the height.
struct CaptionPlace {
    int32_t left_x, top_y, right_x;
};
CaptionPlace caption_place(const Caption& caption, int32_t width, int32_t height);

// The caption in one view (see text_views), placed by its layout.
void draw_caption(const Caption& caption, const EyeView& view);
// A short line of outlined text at a caption's size in the view's top left
// corner, or its bottom left one.
void draw_corner_label(const char* text, const EyeView& view, bool at_bottom);
// A line of outlined text at a caption's size across the middle of the
// view: `line` 0 just above the middle, 1 below it, and so on. For what the
// viewer should know of the slide, such as a picture that does not show.
void draw_notice(const std::string& text, const EyeView& view, int line);
