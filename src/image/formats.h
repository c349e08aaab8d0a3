// The photo decoders and the stereo containers' parsers. None of them uses GL;
// all take bytes and a length and never read outside them.
#pragma once

#include "image/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <functional>

struct ByteSpan {
    const uint8_t* data;
    size_t size;
};

// Ceilings for any decoded picture, whatever its header claims.
constexpr int32_t PICTURE_MAX_SIDE = 65535;
constexpr uint64_t PICTURE_MAX_PIXELS = uint64_t(1) << 27;

// BMP (bmp.cpp). Decodes the bytes of a whole BMP file; never reads past
// data + length. No data or an unsupported file gives the empty record.
SimpleBitmap bitmap_from_bmp(const uint8_t* data, size_t length);
// The header of a 24-bit BMP whose bottom-up rows of blue, green, red are
// padded to 4 bytes (bmp_row_bytes each), as screenshots are saved.
constexpr size_t BMP_HEADER_SIZE = 54;
uint32_t bmp_row_bytes(int32_t width);
void bmp_write_header(int32_t width, int32_t height, uint8_t header[BMP_HEADER_SIZE]);

// JPEG (jpeg.cpp). Sizes from the frame header; false when there is none.
bool jpeg_size(const uint8_t* data, size_t length, int32_t* width, int32_t* height);
// Decodes to 3-byte blue-green-red pixels (CMYK and YCCK files' inks turned
// into the light they leave), reduced by the DCT scaling to the
// smallest of 1/8, 1/4, 1/2 and 1 that is at least min_scale, and further
// while a side exceeds max_side. A corrupt file gives what libjpeg-turbo
// could decode, or the empty record when it could not decode at all.
SimpleBitmap jpeg_decode(const uint8_t* data, size_t length, double min_scale, int32_t max_side);
// The payload (after the length field) of the first APPn segment before the
// image data that begins with the signature; empty when there is none.
ByteSpan jpeg_app_segment(const uint8_t* data, size_t length, int n, const char* signature, size_t signature_size);

// PNG (png.cpp): 3-byte blue-green-red pixels, or 4-byte with alpha, and
// the orientation of its eXIf chunk (1 without one).
SimpleBitmap png_decode(const uint8_t* data, size_t length, int* orientation);

// MPO (mpf.cpp): the left and right frames of a file whose MP index lists at
// least two disparity images: of more, the base viewpoint and its right
// neighbour (else the two leftmost). A frame whose place lies outside the
// file comes back empty, one the file's end cuts short as far as it goes;
// false when the file is not such a stereo pair.
bool mpf_stereo_frames(const uint8_t* data, size_t length, ByteSpan* left, ByteSpan* right);

// EXIF (exif.cpp) of a JPEG: orientation 1-8 (1 when absent or invalid) and
// a Fujifilm maker note's parallax in percent of the image width.
struct ExifFacts {
    int orientation;
    bool has_parallax;
    double parallax_percent;
};
ExifFacts exif_facts(const uint8_t* jpeg, size_t length);
// The same from the TIFF structure itself ("II*\0" or "MM\0*" first), as a
// PNG's eXIf chunk holds it.
ExifFacts exif_tiff_facts(const uint8_t* tiff, size_t size);
// The picture as it should be seen: the bitmap turned and mirrored by the
// EXIF orientation. Takes the bitmap; gives it back unchanged for 1.
SimpleBitmap bitmap_oriented(SimpleBitmap bitmap, int orientation);

// JPS (jps.cpp): how the two views share the picture.
struct JpsLayout {
    bool stereo;        // false: one view for both eyes
    bool over_under;    // else side by side
    bool half_size;     // each view squeezed to half width (half height over/under)
    bool left_first;    // the left eye's view in the left (top) half
};
// The APP3 "_JPSJPS_" descriptor of a JPEG, or the default for files
// without one: side by side, full size, cross-eyed (right view first).
JpsLayout jps_layout(const uint8_t* jpeg, size_t length);

// HEIF (heif_boxes.cpp): whether the file begins with an ftyp box naming a
// brand of HEVC-coded images (heic, heix, ...), as phones and cameras write.
bool heif_is_heic(const uint8_t* data, size_t length);
// The item ids of the first stereo pair entity group ('ster') of the meta
// box's group list, the left eye's first. Damaged: a group list or group
// that runs past its box, or a group of other than two entities or naming 0.
enum class HeifStereo { none, pair, damaged };
HeifStereo heif_stereo_pair(const uint8_t* data, size_t length, uint32_t* left, uint32_t* right);
// HEIF (heif.cpp): image item `item` (0: the primary image) decoded by
// libheif with its rotation, mirroring and cropping, to 3-byte
// blue-green-red pixels, then reduced by halving its sides as a JPEG's DCT
// scaling would be for the least scale min_scale(width, height) gives and
// max_side. A missing item, a corrupt file or one libheif cannot decode
// gives the empty record.
SimpleBitmap heif_decode(const uint8_t* data, size_t length, uint32_t item,
                         const std::function<double(int32_t, int32_t)>& min_scale, int32_t max_side);
