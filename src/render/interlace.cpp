#include "render/interlace.h"

#include "base/bits.h"
#include "display/display.h"
#include "render/gl.h"
#include "render/overlay.h"
#include "render/texture.h"

#include <algorithm>
#include <vector>

namespace {

bool same_block(const InterlaceTile& a, const InterlaceTile& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

// A single texture of the window's power-of-two size when the GL allows one;
// otherwise blocks of the largest allowed size, the last ones only as large
// as what is left of the window needs.
std::vector<InterlaceTile> interlace_layout(int32_t w, int32_t h) {
    const uint32_t limit = pow2_floor(static_cast<uint32_t>(texture_size_limit()));
    const uint32_t step_w = std::min(pow2_ceil(static_cast<uint32_t>(w)), limit);
    const uint32_t step_h = std::min(pow2_ceil(static_cast<uint32_t>(h)), limit);
    std::vector<InterlaceTile> tiles;
    for (int64_t y = 0; y < h; y += step_h)
        for (int64_t x = 0; x < w; x += step_w)
            tiles.push_back({0, static_cast<int32_t>(x), static_cast<int32_t>(y),
                             std::min(step_w, pow2_ceil(static_cast<uint32_t>(w - x))),
                             std::min(step_h, pow2_ceil(static_cast<uint32_t>(h - y)))});
    return tiles;
}

}  // namespace

int32_t interlace_source_row(int32_t height, int32_t parity, int32_t y) {
    return (height - 1 - y) / 2 + (((parity + y) & 1) == 0 ? height / 2 : 0);
}

void stereo_interlace(int32_t swap) {
    const int32_t w = display.screen_width, h = display.screen_height;
    if (w <= 0 || h <= 0) return;
    PlatRect rect = plat_get_window_rect();
    const int32_t parity = (swap ^ (rect.top & 1)) & 1;

    std::vector<InterlaceTile>& tiles = display.interlace_tiles;
    std::vector<InterlaceTile> layout = interlace_layout(w, h);
    if (!std::equal(layout.begin(), layout.end(), tiles.begin(), tiles.end(), same_block)) {
        for (InterlaceTile& tile : tiles) glDeleteTextures(1, &tile.name);
        for (InterlaceTile& tile : layout) {
            glGenTextures(1, &tile.name);
            glBindTexture(GL_TEXTURE_2D, tile.name);
            glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, tile.x, tile.y, tile.width, tile.height, 0);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        }
        tiles = std::move(layout);
    }
    // Every block is copied before any row is drawn over the frame.
    for (const InterlaceTile& tile : tiles) {
        glBindTexture(GL_TEXTURE_2D, tile.name);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, tile.x, tile.y, std::min<int32_t>(tile.width, w - tile.x),
                            std::min<int32_t>(tile.height, h - tile.y));
    }

    gfx_begin_2d();
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glColor3f(1, 1, 1);
    for (const InterlaceTile& tile : tiles) {
        const int32_t right = std::min<int32_t>(tile.x + static_cast<int32_t>(tile.width), w);
        const float u = static_cast<float>(right - tile.x) / tile.width;
        glBindTexture(GL_TEXTURE_2D, tile.name);
        glBegin(GL_LINES);
        for (int32_t y = h - 1; y >= 0; --y) {
            const int32_t s = interlace_source_row(h, parity, y) - tile.y;
            if (s < 0 || s >= static_cast<int32_t>(tile.height)) continue;
            // Sample the centre of the source row and draw through the centre
            // of the output row, so each output row is exactly one source row.
            const float v = (s + 0.5f) / tile.height;
            glTexCoord2f(0, v);
            glVertex2f(static_cast<float>(tile.x), y + 0.5f);
            glTexCoord2f(u, v);
            glVertex2f(static_cast<float>(right), y + 0.5f);
        }
        glEnd();
    }
    glPopAttrib();
    gfx_end_2d();
}

bool interleave_mask_has(Compositor compositor, int32_t swap, int32_t left, int32_t top, int32_t height, int32_t x,
                         int32_t y) {
    // The desktop row of window row y is top + height - 1 - y, of the same parity as top + height - 1 + y.
    uint32_t sum = static_cast<uint32_t>(left) + static_cast<uint32_t>(x) + static_cast<uint32_t>(swap);
    if (compositor == Compositor::checkerboard)
        sum += static_cast<uint32_t>(top) + static_cast<uint32_t>(height) - 1 + static_cast<uint32_t>(y);
    return (sum & 1) == 0;
}

void interleave_mask_begin(Compositor compositor, int32_t swap) {
    const PlatRect rect = plat_get_window_rect();
    // A 32 x 32 pattern repeated over the window from its bottom left pixel,
    // bottom row first, each row's leftmost pixel in the high bit of its first byte.
    GLubyte pattern[32 * 4];
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t b = 0; b < 4; ++b) {
            GLubyte byte = 0;
            for (int32_t k = 0; k < 8; ++k)
                if (interleave_mask_has(compositor, swap, rect.left, rect.top, display.screen_height, 8 * b + k, y))
                    byte |= static_cast<GLubyte>(0x80 >> k);
            pattern[4 * y + b] = byte;
        }
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    glPolygonStipple(pattern);
    glPopClientAttrib();
    glEnable(GL_POLYGON_STIPPLE);
}

void interleave_mask_end() { glDisable(GL_POLYGON_STIPPLE); }
