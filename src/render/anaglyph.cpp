#include "render/anaglyph.h"

const AnaglyphMatrices ANAGLYPH_RED_CYAN = {
    {{0.437f, 0.449f, 0.164f}, {-0.062f, -0.062f, -0.024f}, {-0.048f, -0.050f, -0.017f}},
    {{-0.011f, -0.032f, -0.007f}, {0.377f, 0.761f, 0.009f}, {-0.026f, -0.093f, 1.234f}}};
const AnaglyphMatrices ANAGLYPH_GREEN_MAGENTA = {
    {{-0.062f, -0.158f, -0.039f}, {0.284f, 0.668f, 0.143f}, {-0.015f, -0.027f, 0.021f}},
    {{0.529f, 0.705f, 0.024f}, {-0.016f, -0.015f, -0.065f}, {0.009f, 0.075f, 0.937f}}};
const AnaglyphMatrices ANAGLYPH_AMBER_BLUE = {
    {{1.062f, -0.205f, 0.299f}, {-0.026f, 0.908f, 0.068f}, {-0.038f, -0.173f, 0.022f}},
    {{-0.016f, -0.123f, -0.017f}, {0.006f, 0.062f, -0.017f}, {0.094f, 0.185f, 0.911f}}};

namespace {

uint8_t half_byte(float v) {
    const float half = v * 0.5f + 0.5f;
    return static_cast<uint8_t>(half >= 255.0f ? 255 : static_cast<int>(half));
}

}  // namespace

void anaglyph_split(const float m[3][3], const uint8_t* texels, int channels, int32_t count, uint8_t* positive,
                    uint8_t* negative) {
    for (int32_t i = 0; i < count; ++i, texels += channels, positive += 3, negative += 3)
        for (int row = 0; row < 3; ++row) {
            const float v = m[row][0] * texels[0] + m[row][1] * texels[1] + m[row][2] * texels[2];
            positive[row] = v > 0 ? half_byte(v) : 0;
            negative[row] = v < 0 ? half_byte(-v) : 0;
        }
}
