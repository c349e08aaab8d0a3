// Arbitrary bytes as an image file named for a slide: the whole way from the
// file to the eyes' pictures, JPEG, PNG and HEIC decoding included. The input's
// length picks the name (.jps or .jpg), one eye or both, and the screen size.
#include "image/picture.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* name = size % 3 == 0 ? "f.JPS" : size % 3 == 1 ? "f.pns" : "f.jpg";
    // A small screen keeps large pictures quick through the DCT scaling; now
    // and then full size, with the texture limit out of the way.
    const PictureTarget target = size % 5 == 0 ? PictureTarget{0, 0, 0} : PictureTarget{64, 48, 256};
    EyePictures eyes = pictures_from_file(data, size, name, target, size % 2 == 0);
    bitmap_free(&eyes.left);
    bitmap_free(&eyes.right);
    return 0;
}
