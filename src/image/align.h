// How the eyes of a pair lie against each other: the vertical misalignment
// and the disparities of matching points, measured on small grey copies of
// the pictures. No GL and no threads: any thread, the same result everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The pictures measured are no larger than this on their longer side: a few
// hundred pixels keep a pair within milliseconds and its shifts within a
// fraction of a pixel of the whole picture's.
constexpr int32_t ALIGN_MAX_SIDE = 640;

// One eye's picture in grey, top row first, and where the picture lies in
// those pixels: a copy may leave out part of a pixel at an edge, or be one
// half of a side-by-side picture.
struct GreyPicture {
    int32_t width = 0, height = 0;
    std::vector<float> pixels;      // brightness 0 to 255
    double left = 0, top = 0;       // the picture's left and top edges, in pixels from those of column 0 and row 0
    double span_w = 0, span_h = 0;  // the picture's width and height in pixels
};

// Columns x0 to x0 + w - 1 of the first h rows of pixels of `channels` bytes
// (red, green, blue first) `stride` bytes apart, the bottom row first, as a
// texture level holds them; the picture is taken to fill them exactly.
GreyPicture grey_from_bottom_up(const uint8_t* rows, size_t stride, int channels, int32_t x0, int32_t w, int32_t h);

struct PairAlignment {
    // False when the pair gives no clear answer; then `doubt` says why and
    // the offset is zero.
    bool trustworthy = false;
    const char* doubt = nullptr;
    // The stereo offset, in fractions of the width and height, that lines
    // the eyes' rows up and puts the nearest significant part of the scene
    // on the screen plane.
    float offset_x = 0, offset_y = 0;
    int points = 0, matches = 0, consistent = 0;  // corners tried, matched, agreeing on the vertical shift
    // Of the right eye against the left, from how the vertical shift changes
    // across the picture: degrees clockwise, and its size over the left's.
    // The offset cannot express them; they are measured for the record.
    double rotation_degrees = 0, scale = 1;
};

// Corners of the left picture, matched in the right one by normalised
// cross-correlation within 10 % of the width and 5 % of the height, coarse to
// fine, to a fraction of a pixel; a match that does not stand out from the
// other candidates is dropped. The vertical offset is the median of the
// consistent matches' vertical shifts; the horizontal one a low percentile
// of their horizontal shifts, so that no single bad match decides it.
PairAlignment measure_alignment(const GreyPicture& left, const GreyPicture& right);
