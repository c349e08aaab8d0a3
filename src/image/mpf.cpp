// MPO files (CIPA DC-007 Multi-Picture Format): the MP index in the first
// image's APP2 "MPF" segment lists every image of the file.
#include "image/formats.h"
#include "image/tiff.h"

#include <algorithm>
#include <vector>

namespace {

constexpr uint16_t TAG_MP_ENTRY = 0xB002;
constexpr uint16_t TAG_INDIVIDUAL_NUMBER = 0xB101;
constexpr uint32_t TYPE_DISPARITY = 0x020002;
constexpr size_t ENTRY_BYTES = 16;
// Cameras write two to four views. Each view looked at walks its frame's
// segments, so a file cannot make the work grow faster than its length.
constexpr size_t MAX_VIEWS = 16;

struct Frame {
    uint32_t number;   // MP individual number
    ByteSpan bytes;
};

// An image's MP individual number from its own MPF segment: in the attribute
// directory, which follows the index directory in the first image.
bool individual_number(const uint8_t* jpeg, size_t length, uint32_t* number) {
    const ByteSpan mpf = jpeg_app_segment(jpeg, length, 2, "MPF\0", 4);
    TiffReader reader;
    uint32_t directory = 0, count = 0, at = 0;
    uint16_t type = 0;
    if (!mpf.data || !TiffReader::open(mpf.data + 4, mpf.size - 4, &reader, &directory)) return false;
    for (int i = 0; i < 2 && directory != 0; ++i, directory = reader.next(directory))
        if (reader.find(directory, TAG_INDIVIDUAL_NUMBER, &type, &count, &at)) return reader.u32(at, number);
    return false;
}

}  // namespace

bool mpf_stereo_frames(const uint8_t* data, size_t length, ByteSpan* left, ByteSpan* right) {
    const ByteSpan mpf = jpeg_app_segment(data, length, 2, "MPF\0", 4);
    TiffReader reader;
    uint32_t index = 0, count = 0, at = 0;
    uint16_t type = 0;
    if (!mpf.data || !TiffReader::open(mpf.data + 4, mpf.size - 4, &reader, &index) ||
        !reader.find(index, TAG_MP_ENTRY, &type, &count, &at))
        return false;
    // Offsets of all images but the first count from the MP header's byte-order mark.
    const uint64_t mark = static_cast<uint64_t>(mpf.data + 4 - data);

    std::vector<Frame> frames;
    for (uint64_t i = 0; i < count / ENTRY_BYTES && frames.size() < MAX_VIEWS; ++i) {
        uint32_t attribute = 0, size = 0, offset = 0;
        const uint64_t entry = at + i * ENTRY_BYTES;
        if (!reader.u32(entry, &attribute) || !reader.u32(entry + 4, &size) || !reader.u32(entry + 8, &offset)) break;
        if ((attribute & 0xFFFFFF) != TYPE_DISPARITY) continue;
        const uint64_t start = i == 0 ? 0 : mark + offset;
        const uint64_t end = i == 0 ? length : start + size;
        Frame frame{static_cast<uint32_t>(i + 1), {nullptr, 0}};
        // A frame that is not where the index says is an eye without a picture.
        if (end <= length && end >= start + 4 && data[start] == 0xFF && data[start + 1] == 0xD8) {
            frame.bytes = {data + start, static_cast<size_t>(end - start)};
            individual_number(frame.bytes.data, frame.bytes.size, &frame.number);
        }
        frames.push_back(frame);
    }
    if (frames.size() < 2) return false;
    std::stable_sort(frames.begin(), frames.end(), [](const Frame& a, const Frame& b) { return a.number < b.number; });
    *left = frames.front().bytes;
    *right = frames.back().bytes;
    return true;
}
