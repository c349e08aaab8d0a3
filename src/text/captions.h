// Captions: a line of white text with a black outline over the slide.
#pragma once

#include <cstdint>
#include <string>

struct Caption {
    int32_t first_time = 0;
    int32_t last_time = 0;
    std::string text;  // in the font's Windows-1252 slots
    int32_t left_x = 0;
    int32_t top_y = 0;
    int32_t right_x = 0;
    float size = 0;  // text height as a fraction of the screen height
};

// The caption of a slide from its "Caption" entry (UTF-8, or bytes as they
// are), placed in a view of width x height: a "$y=" marker sets its top as a
// fraction of the height and ends the text.
Caption caption_from_entry(const char* entry, int32_t width, int32_t height);
void draw_caption(const Caption& caption);
