// Slides: prepared, uploaded, installed, and the stereo offset edited on the screen.
#include "app/slides.h"

#include "display/display.h"
#include "platform/platform.h"
#include "render/anaglyph.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <new>

namespace {

std::atomic<size_t> slide_count{0};

// Larger slide files are not read: no picture a texture can show needs them.
const uint64_t MAX_SLIDE_FILE_BYTES = (uint64_t(1) << 31) - 1;

// The whole file, or nothing when it is missing, unreadable, empty, too large
// or not a regular file (a folder, or a FIFO that would block the show).
std::vector<uint8_t> read_file_bytes(const char* path) {
    std::vector<uint8_t> bytes;
    const int64_t size = path ? plat_regular_file_size(path) : -1;
    if (size <= 0 || static_cast<uint64_t>(size) > MAX_SLIDE_FILE_BYTES) return bytes;
    FILE* file = plat_open_file(path, "rb");
    if (!file) return bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
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

// What the screen says of a picture that was named but does not show whole:
// its name and the reason.
std::string failure_line(const char* path, const SimpleBitmap& picture) {
    if (!path || !picture.failure) return std::string();
    return std::string(path) + ": " + picture.failure;
}

// Each eye's view as the stereo mode lays it out (before any squeeze).
PictureTarget picture_target(StereoMode stereo_mode) {
    const EyeView view = eye_view(stereo_mode_row(stereo_mode), 0, display.screen_width, display.screen_height);
    return {view.layout_w, view.layout_h, texture_size_limit()};
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
void stage_anaglyph(const float matrix[3][3], Slide* slide, int eye) {
    TextureLevels& picture = slide->levels[eye];
    const SimpleBitmap& image = eye == 0 ? slide->left_image : slide->right_image;
    if (!image.pixels || picture.level_offset.empty()) return;
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

// A side-by-side picture's halves, or the eyes' own pictures.
PairAlignment measure_pair(const Slide& slide) {
    if (slide.same_image)
        return measure_alignment(texture_grey(slide.levels[0], slide.left_image, 0, ALIGN_MAX_SIDE),
                                 texture_grey(slide.levels[0], slide.left_image, 1, ALIGN_MAX_SIDE));
    return measure_alignment(texture_grey(slide.levels[0], slide.left_image, -1, ALIGN_MAX_SIDE),
                             texture_grey(slide.levels[1], slide.right_image, -1, ALIGN_MAX_SIDE));
}

}  // namespace

size_t slides_in_memory() { return slide_count; }

Slide::Slide() { ++slide_count; }

Slide::~Slide() {
    --slide_count;
    bitmap_free(&left_image);
    bitmap_free(&right_image);
    // Textures exist only on the frame loop's thread, and die with the window.
    for (GLuint& texture : textures)
        if (texture && !display.quit_requested) glDeleteTextures(1, &texture);
}

EyeTextures Slide::eye_textures() const {
    return {{left_image.width, right_image.width},
            {left_image.height, right_image.height},
            {textures[0], textures[1]},
            {{textures[2], textures[3]}, {textures[4], textures[5]}},
            same_image != 0};
}

namespace {

// A spare that fits texture i, taken from the list. When none does, the
// spares that fit none of the slide's textures still to come are freed, so
// that the new storage does not come on top of theirs.
GLuint take_spare(const Slide& slide, int i, std::vector<GLuint>* spares) {
    auto fits = [&](GLuint spare, int j) { return !slide.textures[j] && texture_fits(spare, slide.levels[j]); };
    auto spare = std::find_if(spares->begin(), spares->end(), [&](GLuint s) { return fits(s, i); });
    if (spare != spares->end()) {
        const GLuint name = *spare;
        spares->erase(spare);
        return name;
    }
    auto useless = std::stable_partition(spares->begin(), spares->end(), [&](GLuint s) {
        for (int j = i + 1; j < Slide::TEXTURES; ++j)
            if (fits(s, j)) return true;
        return false;
    });
    if (useless != spares->end()) glDeleteTextures(static_cast<GLsizei>(spares->end() - useless), &*useless);
    spares->erase(useless, spares->end());
    return 0;
}

}  // namespace

bool Slide::upload_some(size_t* budget, std::vector<GLuint>* spares) {
    const bool limited = *budget != SIZE_MAX;
    for (int i = 0; i < TEXTURES; ++i) {
        // Every eye has a texture, pictureless or not; anaglyph halves only where there are some.
        if (!textures[i] && (i < 2 || !levels[i].level_offset.empty())) {
            if (*budget == 0) return false;
            if (spares) textures[i] = take_spare(*this, i, spares);
            if (!textures[i]) {
                textures[i] = texture_create(levels[i]);
                if (limited) *budget = 0;
            }
        }
        if (!textures[i] || uploaded[i] >= levels[i].texels.size()) continue;
        if (*budget == 0) return false;
        const size_t before = uploaded[i];
        const bool complete = texture_upload_some(textures[i], levels[i], &uploaded[i], *budget);
        *budget -= std::min(*budget, uploaded[i] - before);
        if (!complete) return false;
    }
    for (TextureLevels& l : levels) l.texels = {};  // the texels live on in the textures
    return true;
}

SlideRequest slide_request(const ConfigList* list, int n, StereoMode stereo_mode, bool preview) {
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
    request.preview = preview;
    request.align = config_get_yesno(list, "Align pairs automatically") && !find_nth_entry(list, "Stereo offset", n);
    if (preview) {
        request.target.view_w = std::max(1, request.target.view_w / 8);
        request.target.view_h = std::max(1, request.target.view_h / 8);
    }
    return request;
}

std::unique_ptr<Slide> prepare_slide(const SlideRequest& request, const std::atomic<bool>* cancelled) {
    const auto abandoned = [cancelled] { return cancelled && cancelled->load(); };
    auto slide = std::make_unique<Slide>();
    slide->number = request.number;
    slide->preview = request.preview;
    slide->same_image = request.same_image;
    const char* left_path = request.has_left ? request.left.c_str() : nullptr;
    EyePictures pictures = decode_file(left_path, request.target, slide->same_image != 0);
    slide->left_image = pictures.left;
    if (slide->same_image) {
        slide->right_image = pictures.right;
        // A stereo file's views are whole pictures, not halves of one.
        if (pictures.views) slide->same_image = 0;
    } else {
        if (abandoned()) return nullptr;
        slide->right_image =
            decode_file(request.has_right ? request.right.c_str() : nullptr, request.target, false).left;
    }
    if (abandoned()) return nullptr;
    slide->failure[0] = failure_line(left_path, slide->left_image);
    slide->failure[1] = failure_line(slide->same_image || pictures.views ? left_path
                                     : request.has_right                  ? request.right.c_str()
                                                                          : nullptr,
                                     slide->right_image);
    slide->has_parallax = pictures.has_parallax && std::isfinite(pictures.parallax_offset_x);
    slide->parallax_offset_x = pictures.parallax_offset_x;
    const SimpleBitmap* images[2] = {&slide->left_image, &slide->right_image};
    // What each eye's texture spans: the left picture's share of the texture size both report,
    // or the right one's when there is no left picture (which would leave it a single texel).
    const SimpleBitmap& measure = images[0]->pixels || !images[1]->pixels ? *images[0] : *images[1];
    const TextureLevels shapes[2] = {texture_shape(*images[0], request.target.max_side),
                                     texture_shape(*images[1], request.target.max_side)};
    const float span_x = texture_scale(measure.width, shapes[1].reported_width) * (slide->same_image ? 0.5f : 1);
    const float span_y = texture_scale(measure.height, shapes[1].reported_height);
    const AnaglyphMatrices* matrices = stereo_mode_row(request.stereo_mode).anaglyph;
    int unseen[2] = {};
    for (int eye = 0; eye < 2; ++eye) {
        if (abandoned()) return nullptr;
        unseen[eye] = eye_levels_unseen(request.stereo_mode, request.target.view_w, request.target.view_h,
                                        images[eye]->width, images[eye]->height, span_x * shapes[eye].width,
                                        span_y * shapes[eye].height);
        // The anaglyph halves are made from level 0 and lose their levels after.
        slide->levels[eye] = texture_stage(*images[eye], request.target.max_side, matrices ? 0 : unseen[eye]);
    }
    // A camera's parallax is the offset the file asks for: nothing to measure.
    if (request.align && !slide->has_parallax) {
        if (abandoned()) return nullptr;
        slide->alignment = measure_pair(*slide);
    }
    for (int eye = 0; matrices && eye < 2; ++eye) {
        if (abandoned()) return nullptr;
        stage_anaglyph(eye == 0 ? matrices->left : matrices->right, slide.get(), eye);
        for (int sign = 0; sign < 2; ++sign) texture_drop_levels(&slide->levels[2 + 2 * eye + sign], unseen[eye]);
    }
    // Both eyes report the same size, so the right eye's texture gives it.
    slide->texture_width = slide->levels[1].reported_width;
    slide->texture_height = slide->levels[1].reported_height;
    slide->texture_scale_x = texture_scale(measure.width, slide->texture_width);
    slide->texture_scale_y = texture_scale(measure.height, slide->texture_height);
    return slide;
}

void install_slide(Slide* slide, const ConfigList* list, int n, float carried_offset_x, float carried_offset_y) {
    slide->stereo_offset_x = carried_offset_x;
    slide->stereo_offset_y = carried_offset_y;
    if (const char* offset = entry_value(list, "Stereo offset", n))
        scan_offset(offset, &slide->stereo_offset_x, &slide->stereo_offset_y);
    else if (slide->has_parallax)
        slide->stereo_offset_x = slide->parallax_offset_x;
    else if (slide->alignment.trustworthy)
        slide->stereo_offset_x = slide->alignment.offset_x, slide->stereo_offset_y = slide->alignment.offset_y;
    slide->caption = caption_from_entry(entry_value(list, "Caption", n));
}

std::unique_ptr<Slide> load_slide(const ConfigList* list, int n, StereoMode stereo_mode) {
    std::unique_ptr<Slide> slide = prepare_slide(slide_request(list, n, stereo_mode));
    size_t budget = SIZE_MAX;
    slide->upload_some(&budget);
    return slide;
}

void edit_stereo_offset(ConfigList* list, int slide_number, const SimpleBitmap& left_image, float* offset_x,
                        float* offset_y) {
    if (!key_held(VK_KEY_SHIFT)) return;
    PlatRect rect = plat_get_window_rect();
    int32_t centre_x = static_cast<int32_t>((static_cast<int64_t>(rect.left) + rect.right) / 2);
    int32_t centre_y = static_cast<int32_t>((static_cast<int64_t>(rect.top) + rect.bottom) / 2);
    if (key_newly_pressed(VK_KEY_SHIFT)) plat_set_cursor_pos(centre_x, centre_y);

    rect = plat_get_window_rect();
    centre_x = static_cast<int32_t>((static_cast<int64_t>(rect.left) + rect.right) / 2);
    centre_y = static_cast<int32_t>((static_cast<int64_t>(rect.top) + rect.bottom) / 2);
    int32_t px = 0, py = 0;
    plat_get_cursor_pos(&px, &py);
    plat_set_cursor_pos(centre_x, centre_y);

    // An empty left image has no pixel size to measure the movement in.
    const double image_w = static_cast<uint32_t>(left_image.width);
    const double image_h = static_cast<uint32_t>(left_image.height);
    float x = *offset_x, y = *offset_y;
    if (key_held(VK_KEY_CONTROL)) {
        if (image_h > 0) y = static_cast<float>(y + (static_cast<double>(py) - centre_y) / image_h);
    } else {
        if (image_w > 0) x = static_cast<float>(x + (static_cast<double>(px) - centre_x) / image_w);
    }
    if (std::isfinite(x)) *offset_x = x;
    if (std::isfinite(y)) *offset_y = y;

    char text[64];
    std::snprintf(text, sizeof(text), "%g,%g", *offset_x, *offset_y);
    if (ConfigEntry* entry = find_nth_entry(list, "Stereo offset", slide_number))
        config_set_value(entry, text);
    else
        config_add(list, "Stereo offset", text);
}
