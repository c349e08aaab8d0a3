// From the bytes of an image file to the eyes' pictures: BMP, JPEG, PNG and
// HEIC told apart by their content, MPO frames, a HEIC's stereo pair and
// JPS/PNS halves split into views.
#pragma once

#include "image/bitmap.h"

#include <cstddef>
#include <cstdint>

// The zoom a slide ends at: no picture is ever shown larger than this.
constexpr double PICTURE_MAX_ZOOM = 1.75;

// Where a picture will be shown: each eye's view of view_w x view_h screen
// pixels, enlarged up to PICTURE_MAX_ZOOM times by the zoom, in textures of at most
// max_side texels a side. JPEGs are decoded no larger than that needs; zero
// sizes mean full size.
struct PictureTarget {
    int32_t view_w, view_h, max_side;
};

struct EyePictures {
    SimpleBitmap left, right;
    // Each eye holds a whole view of its own (MPO frames, JPS/PNS halves);
    // otherwise both hold the same picture.
    bool views;
    // The camera's offset, as a fraction of the image width, that brings the
    // subject to the screen plane.
    bool has_parallax;
    float parallax_offset_x;
};

// The pictures of one file. both_eyes: the file is named for both eyes, so
// a stereo file gives its two views and any other picture is given to both;
// otherwise only left is filled (an MPO gives its first frame, a HEIC its
// primary image). The name only tells side-by-side JPEG and PNG pictures
// from others (see side_by_side_name).
EyePictures pictures_from_file(const uint8_t* data, size_t length, const char* name, const PictureTarget& target,
                               bool both_eyes);

// What a JPEG or PNG file's name says of its two halves: JPS and PNS files
// (".jps", ".pns") and names ending in "_rl" or "-rl" before the extension
// are cross-eyed, the right eye's view on the left; names ending in
// ".left-right", "_sbs", "-sbs", "_lr" or "-lr" hold the left eye's view on
// the left. Letter case is ignored.
enum class SideBySideName { none, parallel, cross_eyed };
SideBySideName side_by_side_name(const char* name);
