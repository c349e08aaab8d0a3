// Slides: the n-th "Left image", "Right image", "Stereo offset" and "Caption"
// entries of the settings form slide n. A slide is requested on the frame
// loop's thread, prepared (read, decoded, staged) on any thread, uploaded and
// installed on the frame loop's, and shown.
#pragma once

#include "config/settings.h"
#include "image/align.h"
#include "image/bitmap.h"
#include "image/picture.h"
#include "render/eye_views.h"
#include "render/stereo_mode.h"
#include "render/texture.h"
#include "text/captions.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// What slide n is made of, read from the settings on the frame loop's thread.
struct SlideRequest {
    int number = 0;
    bool has_left = false, has_right = false;
    std::string left, right;
    int32_t same_image = 0;
    StereoMode stereo_mode = StereoMode::none;
    PictureTarget target{};
    // A quick small picture to show while the whole one is prepared: the
    // views an eighth of their size, which a JPEG decodes at an eighth.
    bool preview = false;
    // The eyes' alignment is measured: the settings align pairs
    // automatically, and the slide has no "Stereo offset" entry of its own.
    bool align = false;
};
SlideRequest slide_request(const ConfigList* list, int n, StereoMode stereo_mode, bool preview = false);

struct Slide {
    int number = 0;
    bool preview = false;
    SimpleBitmap left_image{}, right_image{};
    int32_t same_image = 0;
    // The eyes' textures, then in the coloured modes each eye's positive and
    // negative anaglyph halves: staged, then uploaded a slice at a time on
    // the frame loop's thread.
    static constexpr int TEXTURES = 6;
    TextureLevels levels[TEXTURES];
    GLuint textures[TEXTURES] = {};
    size_t uploaded[TEXTURES] = {};
    int32_t texture_width = 1, texture_height = 1;
    float texture_scale_x = 0, texture_scale_y = 0;
    // The camera's offset for the screen plane, taken when the slide has none of its own.
    bool has_parallax = false;
    float parallax_offset_x = 0;
    // Measured while it was prepared, when asked for and the camera gave no parallax.
    PairAlignment alignment;
    // Set when the slide is installed for the screen.
    float stereo_offset_x = 0, stereo_offset_y = 0;
    Caption caption;
    // For each eye whose picture was named but does not show whole: the
    // name and why, "holiday_L.jpg: the file is missing or cannot be read".
    std::string failure[2];

    Slide();
    Slide(const Slide&) = delete;
    Slide& operator=(const Slide&) = delete;
    ~Slide();
    // Uploads some of the textures, made from `spares` where they fit; true
    // once all are complete. Spares that fit none of this slide's textures
    // are freed before new storage is made, which ends the budget of a
    // limited call: one at most in a frame.
    bool upload_some(size_t* budget, std::vector<GLuint>* spares = nullptr);
    // What the eye views draw of it.
    EyeTextures eye_textures() const;
};

// How many slides exist, wherever they are.
size_t slides_in_memory();

// Reads, decodes and stages: no GL, no settings; any thread. Null once
// `cancelled` is seen set, which is looked at between the steps.
std::unique_ptr<Slide> prepare_slide(const SlideRequest& request, const std::atomic<bool>* cancelled = nullptr);
// The settings' part of slide n, for the screen: its stereo offset (without
// an entry of its own the camera's, or else the measured one, or else the one
// carried over from the slide before) and its caption.
void install_slide(Slide* slide, const ConfigList* list, int n, float carried_offset_x, float carried_offset_y);
// Slide n prepared and uploaded here and now, on this thread, without a loader.
std::unique_ptr<Slide> load_slide(const ConfigList* list, int n, StereoMode stereo_mode);

// While Shift is held: mouse movement, measured from the window centre where
// the cursor is pinned, edits the offset (Ctrl: the vertical one), which is
// written into the n-th "Stereo offset" entry every frame.
void edit_stereo_offset(ConfigList* list, int slide_number, const SimpleBitmap& left_image, float* offset_x,
                        float* offset_y);
