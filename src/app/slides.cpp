// Slides: the n-th "Left image", "Right image", "Stereo offset" and "Caption"
// entries of the settings form slide n.
#include "app/parallaxon.h"

#include "app/eye_views.h"
#include "app/loader.h"

#include "anaglyph.h"
#include "gfx_opengl.h"
#include "image/picture.h"
#include "text_encoding.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

char* copy_text(const char* text) {
    size_t length = std::strlen(text);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (!copy) throw std::bad_alloc();
    std::memcpy(copy, text, length + 1);
    return copy;
}

// Larger slide files are not read: no picture a texture can show needs them.
const uint64_t MAX_SLIDE_FILE_BYTES = (uint64_t(1) << 31) - 1;

// The whole file, or nothing when it is missing, unreadable, empty, too large
// or not a regular file (a folder, or a FIFO that would block the show).
std::vector<uint8_t> read_file_bytes(const char* path) {
    std::vector<uint8_t> bytes;
    struct stat info;
    if (!path || stat(path, &info) != 0 || (info.st_mode & S_IFMT) != S_IFREG) return bytes;
    if (info.st_size <= 0 || static_cast<uint64_t>(info.st_size) > MAX_SLIDE_FILE_BYTES) return bytes;
    FILE* file = std::fopen(path, "rb");
    if (!file) return bytes;
    try {
        bytes.resize(static_cast<size_t>(info.st_size));
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    } catch (const std::bad_alloc&) {
        bytes = std::vector<uint8_t>();
    }
    std::fclose(file);
    return bytes;
}

EyePictures decode_file(const char* path, const PictureTarget& target, bool both_eyes) {
    std::vector<uint8_t> bytes = read_file_bytes(path);
    return pictures_from_file(bytes.empty() ? nullptr : bytes.data(), bytes.size(), path, target, both_eyes);
}

// Each eye's view as the stereo mode lays it out: one eye per screen in modes
// 4 and 5, the whole window (squeezed into half of it) otherwise.
PictureTarget picture_target(int32_t stereo_mode) {
    PictureTarget target{screen_width, screen_height, texture_size_limit()};
    if (stereo_mode == 4) target.view_w /= 2;
    if (stereo_mode == 5) target.view_h /= 2;
    return target;
}

const char* entry_value(const ConfigList* list, const char* key, int n) {
    const ConfigEntry* entry = find_nth_entry(list, key, n);
    return entry ? entry->value : nullptr;
}

// "%f,%f": each number that can be read replaces its field; finite values only.
void scan_offset(const char* text, float* x, float* y) {
    const char* end = nullptr;
    double value = parse_real(text, &end);
    if (end == text || !std::isfinite(static_cast<float>(value))) return;
    *x = static_cast<float>(value);
    if (*end != ',') return;
    const char* rest = end + 1;
    value = parse_real(rest, &end);
    if (end == rest || !std::isfinite(static_cast<float>(value))) return;
    *y = static_cast<float>(value);
}

// The share of a texture a picture takes along one side; sizes read as unsigned.
float texture_scale(int32_t picture, int32_t texture) {
    return static_cast<float>(static_cast<uint32_t>(picture)) / static_cast<float>(static_cast<uint32_t>(texture));
}

// The positive and negative halves of an eye's anaglyph projection, from its
// staged picture, which the coloured modes then no longer draw. Without the
// memory for them the eye stays black, as an unreadable picture does.
void stage_anaglyph(const float matrix[3][3], PreparedSlide* slide, int eye) {
    TextureLevels& picture = slide->levels[eye];
    if (!slide->images[eye].pixels || picture.level_offset.empty()) return;
    TextureLevels& positive = slide->levels[2 + 2 * eye];
    TextureLevels& negative = slide->levels[3 + 2 * eye];
    positive = texture_levels(3, picture.width, picture.height);
    negative = texture_levels(3, picture.width, picture.height);
    if (positive.texels.empty() || negative.texels.empty()) {
        positive = negative = TextureLevels{};
        return;
    }
    const size_t in_stride = (static_cast<size_t>(picture.width) * picture.channels + 3) & ~size_t(3);
    const size_t out_stride = (static_cast<size_t>(picture.width) * 3 + 3) & ~size_t(3);
    for (size_t y = 0; y < static_cast<size_t>(picture.height); ++y)
        anaglyph_split(matrix, picture.texels.data() + y * in_stride, picture.channels, picture.width,
                       positive.texels.data() + y * out_stride, negative.texels.data() + y * out_stride);
    texture_build_chain(&positive);
    texture_build_chain(&negative);
    picture.texels = {};
    picture.level_offset = {};
}

}  // namespace

const char* find_text_nocase(const char* text, const char* pattern) {
    std::string haystack = text, needle = pattern;
    for (char& c : haystack) c = fold_ascii(c);
    for (char& c : needle) c = fold_ascii(c);
    size_t at = haystack.find(needle);
    return at == std::string::npos ? nullptr : text + at;
}

SlideRequest slide_request(const ConfigList* list, int n, int32_t stereo_mode) {
    SlideRequest request;
    request.number = n;
    const char* left_path = entry_value(list, "Left image", n);
    const char* right_path = entry_value(list, "Right image", n);
    request.has_left = left_path != nullptr, request.has_right = right_path != nullptr;
    request.left = left_path ? left_path : "";
    request.right = right_path ? right_path : "";
    request.same_image = (left_path && right_path && equals_nocase(left_path, right_path)) ? 1 : 0;
    request.stereo_mode = stereo_mode;
    request.target = picture_target(stereo_mode);
    return request;
}

std::unique_ptr<PreparedSlide> prepare_slide(const SlideRequest& request) {
    auto slide = std::make_unique<PreparedSlide>();
    slide->number = request.number;
    slide->same_image = request.same_image;
    const char* left_path = request.has_left ? request.left.c_str() : nullptr;
    EyePictures pictures = decode_file(left_path, request.target, slide->same_image != 0);
    slide->images[0] = pictures.left;
    if (slide->same_image) {
        slide->images[1] = pictures.right;
        // A stereo file's views are whole pictures, not halves of one.
        if (pictures.views) slide->same_image = 0;
    } else {
        slide->images[1] = decode_file(request.has_right ? request.right.c_str() : nullptr, request.target, false).left;
    }
    slide->has_parallax = pictures.has_parallax && std::isfinite(pictures.parallax_offset_x);
    slide->parallax_offset_x = pictures.parallax_offset_x;
    // What each eye's texture spans: the left picture's share of the texture size both report.
    const TextureLevels shapes[2] = {texture_shape(slide->images[0], request.target.max_side),
                                     texture_shape(slide->images[1], request.target.max_side)};
    const float span_x = texture_scale(slide->images[0].width, shapes[1].reported_width) * (slide->same_image ? 0.5f : 1);
    const float span_y = texture_scale(slide->images[0].height, shapes[1].reported_height);
    const AnaglyphMatrices* matrices = anaglyph_matrices(request.stereo_mode);
    for (int eye = 0; eye < 2; ++eye) {
        const int unseen = eye_levels_unseen(request.stereo_mode, request.target.view_w, request.target.view_h,
                                             slide->images[eye].width, slide->images[eye].height,
                                             span_x * shapes[eye].width, span_y * shapes[eye].height);
        // The anaglyph halves are made from level 0 and lose their levels after.
        slide->levels[eye] = texture_stage(slide->images[eye], request.target.max_side, matrices ? 0 : unseen);
        if (!matrices) continue;
        stage_anaglyph(eye == 0 ? matrices->left : matrices->right, slide.get(), eye);
        for (int sign = 0; sign < 2; ++sign) texture_drop_levels(&slide->levels[2 + 2 * eye + sign], unseen);
    }
    return slide;
}

void install_slide(Slide* slide, PreparedSlide* prepared, const ConfigList* list, int n) {
    slide->same_image = prepared->same_image;
    slide->left_image = prepared->images[0];
    slide->right_image = prepared->images[1];
    prepared->images[0] = prepared->images[1] = SimpleBitmap{};
    for (int eye = 0; eye < 2; ++eye) {
        slide->textures[eye] = prepared->textures[eye];
        prepared->textures[eye] = 0;
        for (int sign = 0; sign < 2; ++sign) {
            slide->anaglyph_textures[eye][sign] = prepared->textures[2 + 2 * eye + sign];
            prepared->textures[2 + 2 * eye + sign] = 0;
        }
        // Both eyes write the size, so the right eye's texture gives it.
        slide->texture_width = prepared->levels[eye].reported_width;
        slide->texture_height = prepared->levels[eye].reported_height;
    }
    slide->texture_scale_x = texture_scale(slide->left_image.width, slide->texture_width);
    slide->texture_scale_y = texture_scale(slide->left_image.height, slide->texture_height);

    // A slide without its own offset keeps the one the record already holds,
    // unless the camera says where the subject meets the screen.
    if (const char* offset = entry_value(list, "Stereo offset", n))
        scan_offset(offset, &slide->stereo_offset_x, &slide->stereo_offset_y);
    else if (prepared->has_parallax)
        slide->stereo_offset_x = prepared->parallax_offset_x;
    slide->has_parallax = prepared->has_parallax;
    slide->parallax_offset_x = prepared->parallax_offset_x;
    const char* caption = entry_value(list, "Caption", n);
    Caption& c = slide->caption;
    // A caption saved as UTF-8 is shown in the font's Windows-1252 slots.
    const std::string text =
        caption ? cp1252_from_utf8(reinterpret_cast<const uint8_t*>(caption), std::strlen(caption)) : std::string();
    c.text = copy_text(text.c_str());
    c.first_time = 0;
    c.last_time = 0;
    c.left_x = screen_width / 8;
    c.right_x = (screen_width * 7) / 8;
    c.size = 0.03f;
    c.top_y = 0;
    if (char* marker = const_cast<char*>(find_text_nocase(c.text, "$y="))) {
        double top = parse_real(marker + 3) * screen_height;
        // Positions off any sensible screen are clamped rather than overflowing.
        top = std::isnan(top) ? 0 : std::fmin(std::fmax(top, -1e9), 1e9);
        c.top_y = static_cast<int32_t>(top);
        *marker = 0;
    }
}

std::unique_ptr<PreparedSlide> uninstall_slide(Slide* slide, int n) {
    auto prepared = std::make_unique<PreparedSlide>();
    prepared->number = n;
    prepared->same_image = slide->same_image;
    prepared->has_parallax = slide->has_parallax;
    prepared->parallax_offset_x = slide->parallax_offset_x;
    prepared->images[0] = slide->left_image;
    prepared->images[1] = slide->right_image;
    slide->left_image = slide->right_image = SimpleBitmap{};
    for (int eye = 0; eye < 2; ++eye) {
        prepared->textures[eye] = slide->textures[eye];
        slide->textures[eye] = 0;
        for (int sign = 0; sign < 2; ++sign) {
            prepared->textures[2 + 2 * eye + sign] = slide->anaglyph_textures[eye][sign];
            slide->anaglyph_textures[eye][sign] = 0;
        }
        prepared->levels[eye].reported_width = slide->texture_width;
        prepared->levels[eye].reported_height = slide->texture_height;
    }
    std::free(slide->caption.text);
    slide->caption.text = nullptr;
    return prepared;
}

void load_slide(Slide* slide, const ConfigList* list, int n, int32_t stereo_mode) {
    std::unique_ptr<PreparedSlide> prepared = prepare_slide(slide_request(list, n, stereo_mode));
    size_t budget = SIZE_MAX;
    prepared->upload_some(&budget);
    install_slide(slide, prepared.get(), list, n);
}

void free_slide(Slide* slide) {
    SimpleBitmap* images[2] = {&slide->left_image, &slide->right_image};
    for (int eye = 0; eye < 2; ++eye) {
        std::free(images[eye]->pixels);
        images[eye]->pixels = nullptr;
        std::free(images[eye]->palette);
        images[eye]->palette = nullptr;
        // Once the window is closed its context and textures are gone with it.
        if (!quit_requested) glDeleteTextures(1, &slide->textures[eye]);
        slide->textures[eye] = 0;
        for (GLuint& texture : slide->anaglyph_textures[eye]) {
            if (!quit_requested && texture) glDeleteTextures(1, &texture);
            texture = 0;
        }
    }
    std::free(slide->caption.text);
    slide->caption.text = nullptr;
}
