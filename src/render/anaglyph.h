// Least-squares anaglyphs (Dubois) for the coloured stereo modes: each output
// pixel is clamp(M_L * L + M_R * R) of the two eyes' 8-bit gamma-encoded colours.
#pragma once

#include <cstdint>

// Rows are the output's red, green and blue; columns the input's.
struct AnaglyphMatrices {
    float left[3][3];
    float right[3][3];
};

// Dubois' 2009 revision for red/cyan glasses, and his green/magenta and amber/blue fits.
extern const AnaglyphMatrices ANAGLYPH_RED_CYAN, ANAGLYPH_GREEN_MAGENTA, ANAGLYPH_AMBER_BLUE;

// Splits m * x of `count` texels of `channels` bytes (red, green, blue first)
// into RGB texels positive = round(max(m * x, 0) / 2) and negative =
// round(max(-m * x, 0) / 2): halved, the parts of every matrix fit a byte.
void anaglyph_split(const float m[3][3], const uint8_t* texels, int channels, int32_t count, uint8_t* positive,
                    uint8_t* negative);
