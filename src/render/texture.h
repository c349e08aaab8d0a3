// A picture's texture: staged in memory on any thread, uploaded and sampled
// on the frame loop's.
#pragma once

#include "image/align.h"
#include "image/bitmap.h"
#include "render/gl.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A picture's texture staged in memory, every level ready to upload: level 0
// holds the picture in its lower-left corner, bottom row first, and each
// further level is the box-filtered half of the one before, down to 1 x 1.
// Staging needs no GL context, so it can run beside the frame loop.
struct TextureLevels {
    int32_t reported_width = 1, reported_height = 1;  // the texture size a slide computes its scale with
    int32_t channels = 0;                             // 3 or 4; 0: no texel at all
    int32_t width = 0, height = 0;                    // level 0
    std::vector<uint8_t> texels;                      // the levels in turn, rows padded to 4 bytes
    std::vector<size_t> level_offset;
};
// Without its `drop` finest levels (never the last), which are not even
// made: the texture starts at the next one.
TextureLevels texture_stage(const SimpleBitmap& bitmap, int32_t max_texture_size, int drop = 0);
// The size and format texture_stage gives, without texels.
TextureLevels texture_shape(const SimpleBitmap& bitmap, int32_t max_texture_size);
// Room for every level of a texture (none when it cannot be had), and the
// levels above 0 made from level 0.
TextureLevels texture_levels(int32_t channels, int32_t width, int32_t height);
void texture_build_chain(TextureLevels* levels);
// Drops the `count` finest levels (never the last): the texture starts at the
// next one. Kept whole when there is no memory for the copy.
void texture_drop_levels(TextureLevels* levels, int count);
// The picture of staged levels in grey, for measuring: the finest level
// whose picture is at most max_side on its longer side (the coarsest when
// none is); of a side-by-side picture the left (part 0) or right (part 1)
// half, else the whole (part -1). Empty without texels.
GreyPicture texture_grey(const TextureLevels& levels, const SimpleBitmap& picture, int part, int32_t max_side);
// A texture with the settings of every slide and room for every level.
GLuint texture_create(const TextureLevels& levels);
// Whether a texture made by texture_create for other texels of the same
// size and format can take these: filling one costs far less than new
// storage, which a software renderer clears (tens of milliseconds for a
// camera picture).
bool texture_fits(GLuint name, const TextureLevels& levels);
// Whether a texture has texels at all (a pictureless eye's may have none).
bool texture_has_storage(GLuint name);
// Uploads whole rows, about `budget` bytes, from where the last call left
// `done`; true once every level is up.
bool texture_upload_some(GLuint name, const TextureLevels& levels, size_t* done, size_t budget);

// The largest texture side the upload keeps without halving: GL_MAX_TEXTURE_SIZE,
// or the display's lower cap.
int32_t texture_size_limit();
