// The slideshow application: start-up, frame loop, slides, eye views, captions.
#pragma once

#include "image.h"
#include "settings.h"

#include <cstdint>

struct Caption {
    int32_t first_time;
    int32_t last_time;
    char* text;        // owned, never null
    int32_t left_x;
    int32_t top_y;
    int32_t right_x;
    float size;        // text height as a fraction of the screen height
};

struct Slide {
    SimpleBitmap left_image;
    SimpleBitmap right_image;
    GLuint textures[2];
    // Coloured modes only: per eye, the positive and negative halves of its
    // anaglyph projection (0 where there are none).
    GLuint anaglyph_textures[2][2];
    int32_t texture_width, texture_height;
    float texture_scale_x, texture_scale_y;
    float stereo_offset_x, stereo_offset_y;
    int32_t same_image;
    Caption caption;
    // The camera's offset for the screen plane, taken when the slide has none of its own.
    bool has_parallax;
    float parallax_offset_x;
};

int app_main(const char* command_line, void* instance);

// Slides.
// stereo_mode decides the size of each eye's view, which bounds the decoding size.
void load_slide(Slide* slide, const ConfigList* list, int n, int32_t stereo_mode = 0);
void free_slide(Slide* slide);
const char* find_text_nocase(const char* text, const char* pattern);

// Order and clock.
int pick_random_slide(int n_count, double n_over_32768);
double zoom_factor(double slide_clock, double pause_before_zoom, double inverse_zoom_time);

// Captions.
void draw_caption(Caption caption);
