// HEIF files (ISO/IEC 23008-12) read box by box: the ftyp box's brands and
// the stereo pair entity group ('ster', 6.8.5) in the meta box's group list
// ('grpl', ISO/IEC 14496-12 8.18). libheif 1.15 reads neither group list nor
// groups, so this is done here, within the given bytes and without allocating.
#include "image/formats.h"

namespace {

constexpr uint32_t fourcc(const char (&c)[5]) {
    return uint32_t(uint8_t(c[0])) << 24 | uint32_t(uint8_t(c[1])) << 16 | uint32_t(uint8_t(c[2])) << 8 |
           uint32_t(uint8_t(c[3]));
}

uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// Brands of HEVC-coded images and image sequences, single- and multi-layer.
constexpr uint32_t HEVC_BRANDS[] = {fourcc("heic"), fourcc("heix"), fourcc("heim"), fourcc("heis"),
                                    fourcc("hevc"), fourcc("hevx"), fourcc("hevm"), fourcc("hevs")};
constexpr size_t FULL_BOX_HEADER = 4;  // version and flags

struct Box {
    uint32_t type;
    size_t body, end;  // offsets in the file: the payload after the header, and the box's end
};

// The box at `at`, which must end by `end`: a 32-bit size, a 64-bit one
// (size 1) or the rest of its container (size 0).
bool box_at(const uint8_t* data, size_t at, size_t end, Box* box) {
    if (at > end || end - at < 8) return false;
    uint64_t size = be32(data + at);
    size_t header = 8;
    if (size == 1) {
        if (end - at < 16) return false;
        size = uint64_t(be32(data + at + 8)) << 32 | be32(data + at + 12);
        header = 16;
    } else if (size == 0) {
        size = end - at;
    }
    if (size < header || size > end - at) return false;
    *box = {be32(data + at + 4), at + header, at + static_cast<size_t>(size)};
    return true;
}

enum class Found { yes, no, broken };

// The first box of the type among the boxes from `at` to `end`; broken when
// a box before it runs past `end`.
Found find_box(const uint8_t* data, size_t at, size_t end, uint32_t type, Box* found) {
    Box box{};
    for (; at < end; at = box.end) {
        if (!box_at(data, at, end, &box)) return Found::broken;
        if (box.type == type) {
            *found = box;
            return Found::yes;
        }
    }
    return Found::no;
}

}  // namespace

bool heif_is_heic(const uint8_t* data, size_t length) {
    Box ftyp{};
    if (!data || !box_at(data, 0, length, &ftyp) || ftyp.type != fourcc("ftyp")) return false;
    // The major brand, the minor version (skipped), then the compatible brands.
    for (size_t at = ftyp.body; at + 4 <= ftyp.end; at += at == ftyp.body ? 8 : 4)
        for (uint32_t brand : HEVC_BRANDS)
            if (be32(data + at) == brand) return true;
    return false;
}

HeifStereo heif_stereo_pair(const uint8_t* data, size_t length, uint32_t* left, uint32_t* right) {
    Box meta{}, grpl{}, ster{};
    if (!data || find_box(data, 0, length, fourcc("meta"), &meta) != Found::yes) return HeifStereo::none;
    if (meta.end - meta.body < FULL_BOX_HEADER) return HeifStereo::damaged;
    const Found list = find_box(data, meta.body + FULL_BOX_HEADER, meta.end, fourcc("grpl"), &grpl);
    if (list != Found::yes) return list == Found::no ? HeifStereo::none : HeifStereo::damaged;
    const Found group = find_box(data, grpl.body, grpl.end, fourcc("ster"), &ster);
    if (group != Found::yes) return group == Found::no ? HeifStereo::none : HeifStereo::damaged;
    // Version and flags, group_id, num_entities_in_group (exactly two), the entity ids (never 0).
    const size_t ids = ster.body + FULL_BOX_HEADER + 8;
    if (ster.end < ids || be32(data + ids - 4) != 2 || ster.end - ids < 8) return HeifStereo::damaged;
    if (be32(data + ids) == 0 || be32(data + ids + 4) == 0) return HeifStereo::damaged;
    *left = be32(data + ids);
    *right = be32(data + ids + 4);
    return HeifStereo::pair;
}
