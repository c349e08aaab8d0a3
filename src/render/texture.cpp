// Texture upload of a SimpleBitmap and its mipmap chain.
#include "render/texture.h"

#include "base/bits.h"
#include "display/display.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

int32_t texture_size_limit() {
    GLint limit = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
    if (limit < 1) limit = 1 << 30;
    if (display.texture_size_cap > 0) limit = std::min(limit, display.texture_size_cap);
    return limit;
}

namespace {

size_t padded_row(size_t bytes) { return (bytes + 3) & ~size_t(3); }

// Uploads read rows padded to 4 bytes whatever the caller left set.
class UnpackAlignment4 {
public:
    UnpackAlignment4() {
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &saved_);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    }
    ~UnpackAlignment4() { glPixelStorei(GL_UNPACK_ALIGNMENT, saved_); }
    UnpackAlignment4(const UnpackAlignment4&) = delete;
    UnpackAlignment4& operator=(const UnpackAlignment4&) = delete;

private:
    GLint saved_ = 4;
};

uint8_t expand5(uint32_t v) { return static_cast<uint8_t>(v << 3 | v >> 2); }
uint8_t expand6(uint32_t v) { return static_cast<uint8_t>(v << 2 | v >> 4); }

// One record row to RGB (RGBA for 4 bytes per pixel): palette indices through
// the palette, 16-bit values expanded, blue-green-red reordered.
void convert_row(const SimpleBitmap& b, const uint8_t* src, uint8_t* dst) {
    static const uint8_t no_palette[4 * 256] = {};
    const uint8_t* palette = b.palette ? b.palette : no_palette;
    int32_t n = b.width;
    switch (b.bytes_per_pixel) {
    case 1:
        for (int32_t x = 0; x < n; ++x, dst += 3) {
            const uint8_t* entry = palette + 4 * src[x];
            dst[0] = entry[2], dst[1] = entry[1], dst[2] = entry[0];
        }
        break;
    case 2:
        for (int32_t x = 0; x < n; ++x, dst += 3) {
            uint32_t v = read_u16(src + 2 * x);
            if (b.green_bits == 6) dst[0] = expand5(v >> 11), dst[1] = expand6(v >> 5 & 63);
            else dst[0] = expand5(v >> 10 & 31), dst[1] = expand5(v >> 5 & 31);
            dst[2] = expand5(v & 31);
        }
        break;
    case 3:
        for (int32_t x = 0; x < n; ++x, src += 3, dst += 3) dst[0] = src[2], dst[1] = src[1], dst[2] = src[0];
        break;
    default:
        for (int32_t x = 0; x < n; ++x, src += 4, dst += 4)
            dst[0] = src[2], dst[1] = src[1], dst[2] = src[0], dst[3] = src[3];
        break;
    }
}

// Halves a tightly packed image in place along the chosen sides with a 2x2 box;
// an odd side keeps its last column or row, averaged with itself.
void halve_in_place(uint8_t* buffer, size_t channels, int32_t* width, int32_t* height, bool halve_x, bool halve_y) {
    int32_t w = *width, h = *height;
    int32_t nw = halve_x ? (w + 1) / 2 : w, nh = halve_y ? (h + 1) / 2 : h;
    size_t row = static_cast<size_t>(w) * channels;
    for (int32_t y = 0; y < nh; ++y) {
        int32_t y0 = halve_y ? 2 * y : y, y1 = halve_y ? std::min(2 * y + 1, h - 1) : y;
        const uint8_t* r0 = buffer + static_cast<size_t>(y0) * row;
        const uint8_t* r1 = buffer + static_cast<size_t>(y1) * row;
        uint8_t* dst = buffer + static_cast<size_t>(y) * static_cast<size_t>(nw) * channels;
        for (int32_t x = 0; x < nw; ++x) {
            size_t x0 = static_cast<size_t>(halve_x ? 2 * x : x) * channels;
            size_t x1 = static_cast<size_t>(halve_x ? std::min(2 * x + 1, w - 1) : x) * channels;
            for (size_t k = 0; k < channels; ++k)
                dst[x * channels + k] =
                    static_cast<uint8_t>((r0[x0 + k] + r0[x1 + k] + r1[x0 + k] + r1[x1 + k] + 2) >> 2);
        }
    }
    *width = nw;
    *height = nh;
}

// Fills the lower-left corner of the staging buffer with the picture, bottom
// row first, reduced by 2^shift_x across and 2^shift_y down.
bool stage_image(const SimpleBitmap& b, size_t channels, int shift_x, int shift_y, uint8_t* staging, size_t stride) {
    bool reduce = shift_x > 0 || shift_y > 0;
    size_t full_row = static_cast<size_t>(b.width) * channels;
    uint8_t* target = reduce ? static_cast<uint8_t*>(std::malloc(full_row * static_cast<size_t>(b.height))) : staging;
    if (!target) return false;
    size_t target_stride = reduce ? full_row : stride;
    size_t row = static_cast<size_t>(b.width) * b.bytes_per_pixel;
    for (int32_t r = 0; r < b.height; ++r) {
        size_t bottom_up = static_cast<size_t>(b.height - 1 - r);
        convert_row(b, b.pixels + static_cast<size_t>(r) * row, target + bottom_up * target_stride);
    }
    if (!reduce) return true;

    int32_t w = b.width, h = b.height;
    for (int i = 0; i < std::max(shift_x, shift_y); ++i)
        halve_in_place(target, channels, &w, &h, i < shift_x, i < shift_y);
    size_t reduced_row = static_cast<size_t>(w) * channels;
    for (size_t y = 0; y < static_cast<size_t>(h); ++y)
        std::memcpy(staging + y * stride, target + y * reduced_row, reduced_row);
    std::free(target);
    return true;
}

// Halves one level of tightly padded rows with the 2x2 box filter; a side of
// one texel samples its only texel twice.
template <int C>
void halve_level(const uint8_t* src, int32_t width, int32_t height, uint8_t* dst) {
    const int32_t nw = width > 1 ? width / 2 : 1, nh = height > 1 ? height / 2 : 1;
    const size_t src_stride = padded_row(static_cast<size_t>(width) * C);
    const size_t dst_stride = padded_row(static_cast<size_t>(nw) * C);
    const size_t step_x = width > 1 ? C : 0, step_y = height > 1 ? src_stride : 0;
    for (int32_t y = 0; y < nh; ++y) {
        const uint8_t* r0 = src + static_cast<size_t>(y) * 2 * src_stride;
        const uint8_t* r1 = r0 + step_y;
        uint8_t* out = dst + static_cast<size_t>(y) * dst_stride;
        for (int32_t x = 0; x < nw; ++x)
            for (int k = 0; k < C; ++k) {
                const size_t a = static_cast<size_t>(x) * 2 * C + k;
                out[x * C + k] = static_cast<uint8_t>((r0[a] + r0[a + step_x] + r1[a] + r1[a + step_x] + 2) >> 2);
            }
    }
}

void halve(int32_t channels, const uint8_t* src, int32_t width, int32_t height, uint8_t* dst) {
    switch (channels) {
    case 1: halve_level<1>(src, width, height, dst); break;
    case 2: halve_level<2>(src, width, height, dst); break;
    case 3: halve_level<3>(src, width, height, dst); break;
    default: halve_level<4>(src, width, height, dst); break;
    }
}

size_t level_bytes(int32_t channels, int32_t width, int32_t height) {
    return padded_row(static_cast<size_t>(width) * static_cast<size_t>(channels)) * static_cast<size_t>(height);
}

// Stands in for a picture that has no pixels: blue 128 in file order, which
// only the 3- and 4-byte formats carry into the texel; no texel at all for a
// record without bytes per pixel.
TextureLevels placeholder_levels(int bytes_per_pixel) {
    TextureLevels t;
    if (bytes_per_pixel < 1 || bytes_per_pixel > 4) return t;
    t.channels = bytes_per_pixel == 4 ? 4 : 3;
    t.width = t.height = 1;
    t.texels = {0, 0, static_cast<uint8_t>(bytes_per_pixel >= 3 ? 128 : 0), 0};
    t.level_offset = {0};
    return t;
}

int32_t clamp_to_int32(uint64_t v) {
    return static_cast<int32_t>(std::min<uint64_t>(v, std::numeric_limits<int32_t>::max()));
}

bool has_pixels(const SimpleBitmap& b) {
    return b.width > 0 && b.height > 0 && b.pixels && b.bytes_per_pixel >= 1 && b.bytes_per_pixel <= 4;
}

// The texture a picture gets: powers of two, each side halved (2^shift
// times) while it exceeds the limit. Oversized pictures lose resolution,
// never their texture.
struct TextureShape {
    int shift_x = 0, shift_y = 0;
    int32_t width = 1, height = 1;
};

TextureShape shape_of(const SimpleBitmap& b, int32_t limit) {
    TextureShape s;
    if (limit < 1) limit = 1;
    while (pow2_ceil(static_cast<uint32_t>(b.width - 1) / (1u << s.shift_x) + 1) > static_cast<uint32_t>(limit))
        ++s.shift_x;
    while (pow2_ceil(static_cast<uint32_t>(b.height - 1) / (1u << s.shift_y) + 1) > static_cast<uint32_t>(limit))
        ++s.shift_y;
    s.width = static_cast<int32_t>(pow2_ceil(static_cast<uint32_t>(b.width - 1) / (1u << s.shift_x) + 1));
    s.height = static_cast<int32_t>(pow2_ceil(static_cast<uint32_t>(b.height - 1) / (1u << s.shift_y) + 1));
    return s;
}

// The size and format of a shape's texture, without texels.
TextureLevels levels_of_shape(const TextureShape& shape, int bytes_per_pixel) {
    TextureLevels t;
    t.channels = bytes_per_pixel == 4 ? 4 : 3;
    t.width = shape.width, t.height = shape.height;
    t.reported_width = clamp_to_int32(static_cast<uint64_t>(shape.width) << shape.shift_x);
    t.reported_height = clamp_to_int32(static_cast<uint64_t>(shape.height) << shape.shift_y);
    return t;
}

// Level 1 of a staged picture without level 0: two rows of level 0 at a
// time, halved as the chain would halve them.
bool stage_level_1(const SimpleBitmap& b, int32_t channels, int32_t tw, uint8_t* level_1) {
    const size_t stride_0 = padded_row(static_cast<size_t>(tw) * static_cast<size_t>(channels));
    const size_t stride_1 = padded_row(static_cast<size_t>(tw / 2) * static_cast<size_t>(channels));
    const size_t row = static_cast<size_t>(b.width) * static_cast<size_t>(b.bytes_per_pixel);
    std::vector<uint8_t> band;
    try {
        band.resize(2 * stride_0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Rows of level 0 from the bottom: the picture's last row first, then nothing.
    for (int32_t y = 0; y < (b.height + 1) / 2; ++y) {
        for (int32_t i = 0; i < 2; ++i) {
            const int32_t from_bottom = 2 * y + i;
            if (from_bottom < b.height)
                convert_row(b, b.pixels + static_cast<size_t>(b.height - 1 - from_bottom) * row, &band[i * stride_0]);
            else
                std::memset(&band[i * stride_0], 0, stride_0);
        }
        halve(channels, band.data(), tw, 2, level_1 + static_cast<size_t>(y) * stride_1);
    }
    return true;
}

}  // namespace

TextureLevels texture_shape(const SimpleBitmap& bitmap, int32_t limit) {
    if (!has_pixels(bitmap)) return placeholder_levels(bitmap.bytes_per_pixel);
    return levels_of_shape(shape_of(bitmap, limit), bitmap.bytes_per_pixel);
}

TextureLevels texture_stage(const SimpleBitmap& bitmap, int32_t limit, int drop) {
    if (!has_pixels(bitmap)) return placeholder_levels(bitmap.bytes_per_pixel);
    const TextureShape shape = shape_of(bitmap, limit);
    const TextureLevels t = levels_of_shape(shape, bitmap.bytes_per_pixel);
    const int32_t tw = shape.width, th = shape.height;
    // A picture at full size whose level 0 is not wanted goes straight to level 1.
    const bool from_level_1 = drop > 0 && shape.shift_x == 0 && shape.shift_y == 0 && tw > 1 && th > 1;
    TextureLevels staged = from_level_1 ? texture_levels(t.channels, tw / 2, th / 2) : texture_levels(t.channels, tw, th);
    const bool done = !staged.texels.empty() &&
                      (from_level_1 ? stage_level_1(bitmap, t.channels, tw, staged.texels.data())
                                    : stage_image(bitmap, static_cast<size_t>(t.channels), shape.shift_x, shape.shift_y,
                                                  staged.texels.data(), padded_row(static_cast<size_t>(tw) * t.channels)));
    if (!done) {
        // Too large to hold: the placeholder, at the size the picture would have had.
        TextureLevels placeholder = placeholder_levels(bitmap.bytes_per_pixel);
        placeholder.reported_width = t.reported_width, placeholder.reported_height = t.reported_height;
        return placeholder;
    }
    texture_build_chain(&staged);
    texture_drop_levels(&staged, from_level_1 ? drop - 1 : drop);
    staged.reported_width = t.reported_width, staged.reported_height = t.reported_height;
    return staged;
}

TextureLevels texture_levels(int32_t channels, int32_t width, int32_t height) {
    TextureLevels t;
    size_t total = 0;
    std::vector<size_t> offsets;
    for (int32_t w = width, h = height;; w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1) {
        offsets.push_back(total);
        total += level_bytes(channels, w, h);
        if (w == 1 && h == 1) break;
    }
    try {
        t.texels.resize(total);
    } catch (const std::bad_alloc&) {
        return t;
    }
    t.channels = channels;
    t.width = width, t.height = height;
    t.level_offset = std::move(offsets);
    return t;
}

void texture_build_chain(TextureLevels* t) {
    int32_t w = t->width, h = t->height;
    for (size_t level = 1; level < t->level_offset.size(); ++level) {
        halve(t->channels, t->texels.data() + t->level_offset[level - 1], w, h, t->texels.data() + t->level_offset[level]);
        w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1;
    }
}

void texture_drop_levels(TextureLevels* t, int count) {
    const size_t levels = t->level_offset.size();
    if (count <= 0 || levels < 2 || t->texels.empty()) return;
    const size_t first = std::min(static_cast<size_t>(count), levels - 1), start = t->level_offset[first];
    try {
        std::vector<uint8_t>(t->texels.begin() + static_cast<ptrdiff_t>(start), t->texels.end()).swap(t->texels);
    } catch (const std::bad_alloc&) {
        return;
    }
    t->level_offset.erase(t->level_offset.begin(), t->level_offset.begin() + static_cast<ptrdiff_t>(first));
    for (size_t& offset : t->level_offset) offset -= start;
    t->width = std::max(1, t->width >> first), t->height = std::max(1, t->height >> first);
}

GreyPicture texture_grey(const TextureLevels& levels, const SimpleBitmap& picture, int part, int32_t max_side) {
    if (levels.texels.empty() || levels.channels < 3 || picture.width <= 0 || picture.height <= 0) return {};
    // The picture's size in texels of level 0, and a part's.
    const double picture_w = double(picture.width) * levels.width / levels.reported_width;
    const double picture_h = double(picture.height) * levels.height / levels.reported_height;
    const double parts = part < 0 ? 1 : 2;
    size_t level = 0;
    int32_t w = levels.width, h = levels.height;
    auto part_w = [&] { return picture_w * w / levels.width / parts; };
    auto part_h = [&] { return picture_h * h / levels.height; };
    for (; level + 1 < levels.level_offset.size() && std::max(part_w(), part_h()) > max_side; ++level)
        w = std::max(1, w / 2), h = std::max(1, h / 2);
    // Whole texels only: one that the picture's edge cuts is partly black.
    const double start = part > 0 ? part_w() : 0;
    const int32_t x0 = static_cast<int32_t>(std::ceil(start));
    const int32_t x1 = std::min(w, static_cast<int32_t>(std::floor(start + part_w())));
    const int32_t rows = std::min(h, static_cast<int32_t>(std::floor(part_h())));
    GreyPicture grey = grey_from_bottom_up(levels.texels.data() + levels.level_offset[level],
                                           padded_row(static_cast<size_t>(w) * levels.channels), levels.channels,
                                           x0, x1 - x0, rows);
    // The picture's top lies above the first whole row, and a right half's left edge before its first column.
    grey.left = start - x0, grey.top = rows - part_h();
    grey.span_w = part_w(), grey.span_h = part_h();
    return grey;
}

bool texture_has_storage(GLuint name) {
    GLint width = 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    return width > 0;
}

bool texture_fits(GLuint name, const TextureLevels& levels) {
    if (levels.level_offset.empty()) return false;
    GLint w = 0, h = 0, alpha = 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alpha);
    return w == levels.width && h == levels.height && (alpha > 0) == (levels.channels == 4);
}

GLuint texture_create(const TextureLevels& levels) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    const GLenum format = levels.channels == 4 ? GL_RGBA : GL_RGB;
    int32_t w = levels.width, h = levels.height;
    for (size_t level = 0; level < levels.level_offset.size(); ++level) {
        glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), levels.channels, w, h, 0, format, GL_UNSIGNED_BYTE,
                     nullptr);
        w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1;
    }
    return name;
}

bool texture_upload_some(GLuint name, const TextureLevels& levels, size_t* done, size_t budget) {
    if (*done >= levels.texels.size()) return true;
    glBindTexture(GL_TEXTURE_2D, name);
    UnpackAlignment4 alignment;
    const GLenum format = levels.channels == 4 ? GL_RGBA : GL_RGB;
    int32_t w = levels.width, h = levels.height;
    for (size_t level = 0; level < levels.level_offset.size() && budget > 0; ++level) {
        const size_t start = levels.level_offset[level], stride = padded_row(static_cast<size_t>(w) * levels.channels);
        const size_t end = start + stride * static_cast<size_t>(h);
        if (*done < end) {
            // Whole rows from where the last call stopped, at least one.
            const size_t first_row = (*done - start) / stride;
            const size_t rows = std::min<size_t>(static_cast<size_t>(h) - first_row, std::max<size_t>(1, budget / stride));
            glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, static_cast<GLint>(first_row), w,
                            static_cast<GLsizei>(rows), format, GL_UNSIGNED_BYTE,
                            levels.texels.data() + start + first_row * stride);
            *done = start + (first_row + rows) * stride;
            budget -= std::min(budget, rows * stride);
            // The rest of this level, and the levels after it, next time.
            if (*done < end) return false;
        }
        w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1;
    }
    return *done >= levels.texels.size();
}

