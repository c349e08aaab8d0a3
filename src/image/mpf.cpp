// MPO files (CIPA DC-007 Multi-Picture Format): the MP index in the first
// image's APP2 "MPF" segment lists every image of the file.
#include "image/formats.h"
#include "image/tiff.h"

#include <algorithm>
#include <vector>

namespace {

constexpr uint16_t TAG_MP_ENTRY = 0xB002;
constexpr uint16_t TAG_INDIVIDUAL_NUMBER = 0xB101;
constexpr uint16_t TAG_BASE_VIEWPOINT = 0xB204;
constexpr uint32_t TYPE_DISPARITY = 0x020002;
constexpr size_t ENTRY_BYTES = 16;
// Cameras write two to four views. Each view looked at walks its frame's
// segments, so a file cannot make the work grow faster than its length.
constexpr size_t MAX_VIEWS = 16;

struct Frame {
    uint32_t number;   // MP individual number
    ByteSpan bytes;
};

// An MP attribute of an image from its own MPF segment: in the attribute
// directory, which follows the index directory in the first image.
bool mp_attribute(const uint8_t* jpeg, size_t length, uint16_t tag, uint32_t* value) {
    const ByteSpan mpf = jpeg_app_segment(jpeg, length, 2, "MPF\0", 4);
    TiffReader reader;
    uint32_t directory = 0, count = 0, at = 0;
    uint16_t type = 0;
    if (!mpf.data || !TiffReader::open(mpf.data + 4, mpf.size - 4, &reader, &directory)) return false;
    for (int i = 0; i < 2 && directory != 0; ++i, directory = reader.next(directory))
        if (reader.find(directory, tag, &type, &count, &at)) return reader.u32(at, value);
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
        // A frame that is not where the index says is an eye without a picture;
        // one cut short by the end of the file is decoded as far as it goes.
        if (start + 4 <= length && end >= start + 4 && data[start] == 0xFF && data[start + 1] == 0xD8) {
            frame.bytes = {data + start, static_cast<size_t>(std::min<uint64_t>(end, length) - start)};
            mp_attribute(frame.bytes.data, frame.bytes.size, TAG_INDIVIDUAL_NUMBER, &frame.number);
        }
        frames.push_back(frame);
    }
    if (frames.size() < 2) return false;
    // Views are numbered from the leftmost. Neighbouring views are as far
    // apart as the eyes were meant to be: the base viewpoint and the one to
    // its right, else the two leftmost.
    std::stable_sort(frames.begin(), frames.end(), [](const Frame& a, const Frame& b) { return a.number < b.number; });
    uint32_t base = 0;
    size_t first = 0;
    if (mp_attribute(data, length, TAG_BASE_VIEWPOINT, &base))
        for (size_t i = 0; i + 1 < frames.size(); ++i)
            if (frames[i].number == base) first = i;
    *left = frames[first].bytes;
    *right = frames[first + 1].bytes;
    return true;
}
