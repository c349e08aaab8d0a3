// Arbitrary bytes as the metadata of a JPEG: the MPO index, EXIF (orientation, Fujifilm parallax) and the JPS
// descriptor, then the orientation applied to a small picture.
#include "image/formats.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteSpan left{}, right{};
    if (mpf_stereo_frames(data, size, &left, &right)) {
        // The frames must lie within the input.
        for (const ByteSpan& frame : {left, right})
            if (frame.data && (frame.data < data || frame.data + frame.size > data + size)) std::abort();
        exif_facts(left.data, left.size);
        exif_facts(right.data, right.size);
    }
    const ExifFacts facts = exif_facts(data, size);
    jps_layout(data, size);

    SimpleBitmap picture{};
    picture.width = 3 + static_cast<int32_t>(size % 5);
    picture.height = 2 + static_cast<int32_t>(size % 3);
    picture.bytes_per_pixel = 3;
    picture.pixels = static_cast<uint8_t*>(std::calloc(size_t(picture.width) * size_t(picture.height), 3));
    picture = bitmap_oriented(picture, facts.orientation);
    bitmap_free(&picture);
    return 0;
}
