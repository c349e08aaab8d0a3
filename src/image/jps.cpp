// JPS files: a JPEG holding both views, with an optional APP3 "_JPSJPS_"
// stereoscopic descriptor that says how they are laid out.
#include "image/formats.h"

namespace {

// The descriptor follows the signature and a 2-byte block length, most
// significant byte first: separation, flags, layout, type.
constexpr size_t DESCRIPTOR_AT = 10;
constexpr uint8_t FLAG_HALF_HEIGHT = 1, FLAG_HALF_WIDTH = 2, FLAG_LEFT_FIRST = 4;
constexpr uint8_t LAYOUT_SIDE_BY_SIDE = 2, LAYOUT_OVER_UNDER = 3;
constexpr uint8_t TYPE_STEREO = 1;

}  // namespace

JpsLayout jps_layout(const uint8_t* jpeg, size_t length) {
    // Stereo editors store the views cross-eyed: the right eye's on the left.
    JpsLayout layout{true, false, false, false};
    const ByteSpan segment = jpeg_app_segment(jpeg, length, 3, "_JPSJPS_", 8);
    if (!segment.data || segment.size < DESCRIPTOR_AT + 4) return layout;
    const uint8_t flags = segment.data[DESCRIPTOR_AT + 1];
    const uint8_t arrangement = segment.data[DESCRIPTOR_AT + 2];
    const uint8_t type = segment.data[DESCRIPTOR_AT + 3];
    if (type == TYPE_STEREO && (arrangement == LAYOUT_SIDE_BY_SIDE || arrangement == LAYOUT_OVER_UNDER)) {
        layout.over_under = arrangement == LAYOUT_OVER_UNDER;
        layout.half_size = (flags & (layout.over_under ? FLAG_HALF_HEIGHT : FLAG_HALF_WIDTH)) != 0;
        layout.left_first = (flags & FLAG_LEFT_FIRST) != 0;
    } else {
        // Mono, and the layouts no halves can undo (interleaved rows, an anaglyph) or this
        // program does not know: the whole picture for both eyes.
        layout.stereo = false;
    }
    return layout;
}
