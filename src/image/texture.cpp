// Texture upload of a SimpleBitmap and its mipmap chain.
#include "image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

int32_t max_texture_size_for_tests = 0;

uint16_t read_u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

uint32_t pow2_ceil(uint32_t n) {
    --n;
    n |= n >> 1;
    n |= n >> 2;
    n |= n >> 4;
    n |= n >> 8;
    n |= n >> 16;
    return n + 1;
}

void image_set_max_texture_size_for_tests(int32_t size) { max_texture_size_for_tests = size; }

int32_t texture_size_limit() {
    GLint limit = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
    if (limit < 1) limit = 1 << 30;
    if (max_texture_size_for_tests > 0) limit = std::min(limit, max_texture_size_for_tests);
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

// Stands in for a picture that has no pixels: blue 128 in file order, which
// only the 3- and 4-byte formats carry into the texel.
void upload_placeholder(int bytes_per_pixel) {
    if (bytes_per_pixel < 1 || bytes_per_pixel > 4) return;
    uint8_t texel[4] = {0, 0, 0, 0};
    if (bytes_per_pixel >= 3) texel[2] = 128;
    GLint channels = bytes_per_pixel == 4 ? 4 : 3;
    glTexImage2D(GL_TEXTURE_2D, 0, channels, 1, 1, 0, channels == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, texel);
}

int32_t clamp_to_int32(uint64_t v) {
    return static_cast<int32_t>(std::min<uint64_t>(v, std::numeric_limits<int32_t>::max()));
}

bool has_pixels(const SimpleBitmap& b) {
    return b.width > 0 && b.height > 0 && b.pixels && b.bytes_per_pixel >= 1 && b.bytes_per_pixel <= 4;
}

// The texture's size, and how often each side of the picture is halved to fit
// the texture limit: oversized pictures lose resolution, never their texture.
struct TexturePlan {
    int shift_x, shift_y;
    int32_t width, height;
};
TexturePlan plan_texture(const SimpleBitmap& bitmap) {
    const uint32_t limit = static_cast<uint32_t>(texture_size_limit());
    TexturePlan plan{0, 0, 0, 0};
    while (pow2_ceil(static_cast<uint32_t>(bitmap.width - 1) / (1u << plan.shift_x) + 1) > limit) ++plan.shift_x;
    while (pow2_ceil(static_cast<uint32_t>(bitmap.height - 1) / (1u << plan.shift_y) + 1) > limit) ++plan.shift_y;
    plan.width = static_cast<int32_t>(pow2_ceil(static_cast<uint32_t>(bitmap.width - 1) / (1u << plan.shift_x) + 1));
    plan.height = static_cast<int32_t>(pow2_ceil(static_cast<uint32_t>(bitmap.height - 1) / (1u << plan.shift_y) + 1));
    return plan;
}

GLuint new_texture() {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    return name;
}

}  // namespace

TextureTexels texture_texels(const SimpleBitmap& bitmap) {
    TextureTexels texels{nullptr, 0, 0, 0};
    if (!has_pixels(bitmap)) return texels;
    const TexturePlan plan = plan_texture(bitmap);
    const int channels = bitmap.bytes_per_pixel == 4 ? 4 : 3;
    const size_t stride = padded_row(static_cast<size_t>(plan.width) * static_cast<size_t>(channels));
    auto* staging = static_cast<uint8_t*>(std::calloc(stride * static_cast<size_t>(plan.height), 1));
    if (!staging || !stage_image(bitmap, static_cast<size_t>(channels), plan.shift_x, plan.shift_y, staging, stride)) {
        std::free(staging);
        return texels;
    }
    return {staging, plan.width, plan.height, channels};
}

GLuint texture_from_texels(TextureTexels texels) {
    const GLuint name = new_texture();
    UnpackAlignment4 alignment;
    const GLenum format = texels.channels == 4 ? GL_RGBA : GL_RGB;
    glTexImage2D(GL_TEXTURE_2D, 0, texels.channels, texels.width, texels.height, 0, format, GL_UNSIGNED_BYTE,
                 texels.bytes);
    texture_build_mipmaps(GL_TEXTURE_2D, texels.channels, format, texels.width, texels.height, texels.bytes);
    return name;
}

GLuint texture_from_bitmap(SimpleBitmap bitmap, int32_t* texture_width, int32_t* texture_height) {
    auto report = [&](int32_t w, int32_t h) {
        if (texture_width) *texture_width = w;
        if (texture_height) *texture_height = h;
    };
    if (!has_pixels(bitmap)) {
        report(1, 1);
        const GLuint name = new_texture();
        UnpackAlignment4 alignment;
        upload_placeholder(bitmap.bytes_per_pixel);
        return name;
    }
    const TexturePlan plan = plan_texture(bitmap);
    report(clamp_to_int32(static_cast<uint64_t>(plan.width) << plan.shift_x),
           clamp_to_int32(static_cast<uint64_t>(plan.height) << plan.shift_y));
    TextureTexels texels = texture_texels(bitmap);
    if (!texels.bytes) {
        const GLuint name = new_texture();
        UnpackAlignment4 alignment;
        upload_placeholder(bitmap.bytes_per_pixel);
        return name;
    }
    const GLuint name = texture_from_texels(texels);
    std::free(texels.bytes);
    return name;
}

void texture_build_mipmaps(GLenum target, int32_t channels, GLenum format, int32_t width, int32_t height,
                           uint8_t* buffer) {
    if (!buffer || channels < 1 || width < 1 || height < 1) return;
    UnpackAlignment4 alignment;
    size_t c = static_cast<size_t>(channels);
    for (GLint level = 1; width > 1 || height > 1; ++level) {
        int32_t nw = width > 1 ? width / 2 : 1, nh = height > 1 ? height / 2 : 1;
        size_t src_stride = padded_row(static_cast<size_t>(width) * c);
        size_t dst_stride = padded_row(static_cast<size_t>(nw) * c);
        // A side of one texel samples its only texel twice.
        size_t step_x = width > 1 ? c : 0, step_y = height > 1 ? src_stride : 0;
        for (int32_t y = 0; y < nh; ++y) {
            const uint8_t* src = buffer + static_cast<size_t>(y) * 2 * src_stride;
            uint8_t* dst = buffer + static_cast<size_t>(y) * dst_stride;
            for (int32_t x = 0; x < nw; ++x, src += 2 * c, dst += c)
                for (size_t k = 0; k < c; ++k)
                    dst[k] = static_cast<uint8_t>(
                        (src[k] + src[k + step_x] + src[k + step_y] + src[k + step_x + step_y] + 2) >> 2);
        }
        width = nw;
        height = nh;
        glTexImage2D(target, level, channels, width, height, 0, format, GL_UNSIGNED_BYTE, buffer);
    }
}
