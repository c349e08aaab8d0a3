// The one way from file bytes to the eyes' pictures: the format by content,
// the stereo containers, the EXIF orientation and the decoding size.
#include "image/picture.h"

#include "base/text.h"
#include "image/formats.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum class Format { none, bmp, jpeg, png, heif };

Format format_of(const uint8_t* data, size_t length) {
    static const uint8_t png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!data) return Format::none;
    if (length >= 2 && data[0] == 'B' && data[1] == 'M') return Format::bmp;
    if (length >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return Format::jpeg;
    if (length >= 8 && std::memcmp(data, png_signature, 8) == 0) return Format::png;
    if (heif_is_heic(data, length)) return Format::heif;
    return Format::none;
}

// The least DCT scale at which a view of shown_w x shown_h pixels (at full
// size) still gives every screen pixel of the eye's view its own pixel at
// the final zoom.
double least_scale(const PictureTarget& target, double shown_w, double shown_h) {
    if (target.view_w <= 0 || target.view_h <= 0 || shown_w < 1 || shown_h < 1) return 1;
    return PICTURE_MAX_ZOOM * std::max(target.view_w / shown_w, target.view_h / shown_h);
}

// A JPEG decoded for views that are parts x_parts by y_parts of it (each
// stretched back to the whole size when squeezed), turned by the orientation.
SimpleBitmap decode_jpeg(ByteSpan jpeg, const PictureTarget& target, int orientation, int x_parts, int y_parts,
                         bool squeezed) {
    int32_t w = 0, h = 0;
    if (!jpeg_size(jpeg.data, jpeg.size, &w, &h)) return bitmap_failed(PICTURE_DAMAGED);
    double shown_w = squeezed ? w : double(w / x_parts), shown_h = squeezed ? h : double(h / y_parts);
    if (orientation >= 5) std::swap(shown_w, shown_h);
    return jpeg_decode(jpeg.data, jpeg.size, least_scale(target, shown_w, shown_h), target.max_side);
}

// An image item of a HEIC file (0: the primary image), as small as the view allows.
SimpleBitmap decode_heif(const uint8_t* data, size_t length, uint32_t item, const PictureTarget& target) {
    return heif_decode(data, length, item, [&](int32_t w, int32_t h) { return least_scale(target, w, h); },
                       target.max_side);
}

SimpleBitmap copy_of(const SimpleBitmap& b) {
    SimpleBitmap copy = b;
    copy.pixels = copy.palette = nullptr;
    if (!b.pixels) return bitmap_failed(b.failure);
    const size_t bytes = size_t(b.width) * size_t(b.height) * b.bytes_per_pixel;
    copy.pixels = static_cast<uint8_t*>(std::malloc(bytes));
    if (b.palette) copy.palette = static_cast<uint8_t*>(std::malloc(4 * 256));
    if (!copy.pixels || (b.palette && !copy.palette)) {
        bitmap_free(&copy);
        return bitmap_failed(PICTURE_NO_MEMORY);
    }
    std::memcpy(copy.pixels, b.pixels, bytes);
    if (b.palette) std::memcpy(copy.palette, b.palette, 4 * 256);
    return copy;
}

// Half `second` of a side-by-side (or over/under) picture; a squeezed half is
// stretched back by repeating each column (row).
SimpleBitmap half_of(const SimpleBitmap& b, bool over_under, bool second, bool squeezed) {
    SimpleBitmap half{};
    const int32_t w = over_under ? b.width : b.width / 2, h = over_under ? b.height / 2 : b.height;
    if (!b.pixels || w <= 0 || h <= 0) return bitmap_failed(b.pixels ? PICTURE_DAMAGED : b.failure);
    const int32_t x0 = second && !over_under ? b.width - w : 0, y0 = second && over_under ? b.height - h : 0;
    const int32_t repeat = squeezed ? 2 : 1;
    half.width = over_under ? w : w * repeat;
    half.height = over_under ? h * repeat : h;
    half.bytes_per_pixel = b.bytes_per_pixel;
    half.failure = b.failure;
    const size_t bpp = b.bytes_per_pixel;
    half.pixels = static_cast<uint8_t*>(std::malloc(size_t(half.width) * size_t(half.height) * bpp));
    if (!half.pixels) return bitmap_failed(PICTURE_NO_MEMORY);
    for (int32_t y = 0; y < half.height; ++y) {
        const int32_t sy = y0 + (over_under ? y / repeat : y);
        uint8_t* dst = half.pixels + size_t(y) * size_t(half.width) * bpp;
        for (int32_t x = 0; x < half.width; ++x) {
            const int32_t sx = x0 + (over_under ? x : x / repeat);
            std::memcpy(dst + size_t(x) * bpp, b.pixels + (size_t(sy) * size_t(b.width) + sx) * bpp, bpp);
        }
    }
    return half;
}

SimpleBitmap decode_single(const uint8_t* data, size_t length, Format format, const PictureTarget& target) {
    if (format == Format::bmp) return bitmap_from_bmp(data, length);
    if (format == Format::heif) return decode_heif(data, length, 0, target);
    if (format == Format::png) {
        int orientation = 1;
        SimpleBitmap png = png_decode(data, length, &orientation);
        return bitmap_oriented(png, orientation);
    }
    const int orientation = exif_facts(data, length).orientation;
    return bitmap_oriented(decode_jpeg({data, length}, target, orientation, 1, 1, false), orientation);
}

void split_views(EyePictures* eyes, SimpleBitmap whole, const JpsLayout& layout, int orientation) {
    const bool swap = !layout.left_first;
    eyes->left = bitmap_oriented(half_of(whole, layout.over_under, swap, layout.half_size), orientation);
    eyes->right = bitmap_oriented(half_of(whole, layout.over_under, !swap, layout.half_size), orientation);
    eyes->views = true;
    bitmap_free(&whole);
}

}  // namespace

EyePictures pictures_from_file(const uint8_t* data, size_t length, const char* name, const PictureTarget& target,
                               bool both_eyes) {
    EyePictures eyes{};
    const Format format = format_of(data, length);
    if (format == Format::none) {
        eyes.left = eyes.right = bitmap_failed(data ? PICTURE_UNKNOWN : PICTURE_UNREADABLE);
        if (!both_eyes) eyes.right = SimpleBitmap{};
        return eyes;
    }
    if (!both_eyes) {
        eyes.left = decode_single(data, length, format, target);
        return eyes;
    }

    // A spatial photo: the group's first image for the left eye, each decoded by itself.
    uint32_t left_item = 0, right_item = 0;
    const HeifStereo stereo =
        format == Format::heif ? heif_stereo_pair(data, length, &left_item, &right_item) : HeifStereo::none;
    if (stereo != HeifStereo::none) {
        const bool pair = stereo == HeifStereo::pair;
        eyes.left = pair ? decode_heif(data, length, left_item, target) : bitmap_failed(PICTURE_DAMAGED);
        eyes.right = pair ? decode_heif(data, length, right_item, target) : bitmap_failed(PICTURE_DAMAGED);
        eyes.views = true;
        return eyes;
    }

    ByteSpan left{}, right{};
    if (format == Format::jpeg && mpf_stereo_frames(data, length, &left, &right)) {
        // The left frame's orientation serves both, the right frame carries the parallax.
        const ExifFacts left_facts = exif_facts(left.data, left.size);
        const ExifFacts right_facts = exif_facts(right.data, right.size);
        const int orientation = left_facts.orientation;
        eyes.left = bitmap_oriented(decode_jpeg(left, target, orientation, 1, 1, false), orientation);
        eyes.right = bitmap_oriented(decode_jpeg(right, target, orientation, 1, 1, false), orientation);
        eyes.views = true;
        const ExifFacts& parallax = right_facts.has_parallax ? right_facts : left_facts;
        eyes.has_parallax = parallax.has_parallax;
        eyes.parallax_offset_x = static_cast<float>(parallax.parallax_percent / 100);
        return eyes;
    }

    if (side_by_side_name(name) == SideBySideName::cross_eyed && (format == Format::jpeg || format == Format::png)) {
        JpsLayout layout{true, false, false, false};
        int orientation = 1;
        SimpleBitmap whole{};
        if (format == Format::jpeg) {
            layout = jps_layout(data, length);
            orientation = exif_facts(data, length).orientation;
            const int x_parts = layout.stereo && !layout.over_under ? 2 : 1;
            const int y_parts = layout.stereo && layout.over_under ? 2 : 1;
            whole = decode_jpeg({data, length}, target, orientation, x_parts, y_parts, layout.half_size);
        } else {
            whole = png_decode(data, length, &orientation);
        }
        if (layout.stereo) {
            split_views(&eyes, whole, layout, orientation);
        } else {
            eyes.left = bitmap_oriented(whole, orientation);
            eyes.right = copy_of(eyes.left);
            eyes.views = true;
        }
        return eyes;
    }

    eyes.left = decode_single(data, length, format, target);
    eyes.right = copy_of(eyes.left);
    return eyes;
}

SideBySideName side_by_side_name(const char* name) {
    std::string low = name ? name : "";
    for (char& c : low) c = fold_ascii(c);
    const size_t dot = low.rfind('.');
    if (dot == std::string::npos) return SideBySideName::none;
    const std::string stem = low.substr(0, dot), extension = low.substr(dot + 1);
    if (extension == "jps" || extension == "pns") return SideBySideName::cross_eyed;
    if (extension != "jpg" && extension != "jpeg" && extension != "png") return SideBySideName::none;
    auto ends_with = [&](const std::string& tail) {
        return stem.size() > tail.size() && stem.compare(stem.size() - tail.size(), tail.size(), tail) == 0;
    };
    for (const char* marker : {"_rl", "-rl"})
        if (ends_with(marker)) return SideBySideName::cross_eyed;
    for (const char* marker : {".left-right", "_sbs", "-sbs", "_lr", "-lr"})
        if (ends_with(marker)) return SideBySideName::parallel;
    return SideBySideName::none;
}
