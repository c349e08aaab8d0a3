// Arbitrary bytes as a HEIF file's boxes: the brand that tells a HEIC, and
// the stereo pair group read from the meta box's group list.
#include "image/formats.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    heif_is_heic(data, size);
    uint32_t left = 0, right = 0;
    // Item ids come only with a pair.
    if (heif_stereo_pair(data, size, &left, &right) != HeifStereo::pair && (left || right)) std::abort();
    return 0;
}
