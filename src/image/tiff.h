// Reading the TIFF structure that EXIF and MPF metadata share: a byte-order
// mark, then directories of 12-byte entries whose offsets count from the mark.
#pragma once

#include <cstddef>
#include <cstdint>

class TiffReader {
public:
    TiffReader() = default;
    // base points at the byte-order mark ("II*\0" or "MM\0*").
    TiffReader(const uint8_t* base, size_t size, bool big_endian) : base_(base), size_(size), big_(big_endian) {}
    // A reader over the structure at base, and the offset of its first directory.
    static bool open(const uint8_t* base, size_t size, TiffReader* reader, uint32_t* first_directory) {
        if (size < 8) return false;
        bool big = base[0] == 'M' && base[1] == 'M';
        if (!big && !(base[0] == 'I' && base[1] == 'I')) return false;
        *reader = TiffReader(base, size, big);
        uint16_t magic = 0;
        return reader->u16(2, &magic) && magic == 42 && reader->u32(4, first_directory);
    }

    bool u16(uint64_t at, uint16_t* v) const {
        if (at + 2 > size_) return false;
        const uint8_t* p = base_ + at;
        *v = static_cast<uint16_t>(big_ ? p[0] << 8 | p[1] : p[1] << 8 | p[0]);
        return true;
    }
    bool u32(uint64_t at, uint32_t* v) const {
        if (at + 4 > size_) return false;
        const uint8_t* p = base_ + at;
        uint32_t b0 = p[0], b1 = p[1], b2 = p[2], b3 = p[3];
        *v = big_ ? b0 << 24 | b1 << 16 | b2 << 8 | b3 : b3 << 24 | b2 << 16 | b1 << 8 | b0;
        return true;
    }

    // The entry of the tag in the directory at the offset: its type, count and
    // where its value lies (in the entry itself when it fits in 4 bytes).
    bool find(uint32_t directory, uint16_t tag, uint16_t* type, uint32_t* count, uint32_t* value_at) const {
        uint16_t entries = 0;
        if (!u16(directory, &entries)) return false;
        for (uint32_t i = 0; i < entries; ++i) {
            uint64_t entry = uint64_t(directory) + 2 + 12 * uint64_t(i);
            uint16_t entry_tag = 0;
            if (!u16(entry, &entry_tag) || !u16(entry + 2, type) || !u32(entry + 4, count)) return false;
            if (entry_tag != tag) continue;
            uint64_t bytes = uint64_t(*count) * type_size(*type);
            if (bytes <= 4) {
                *value_at = static_cast<uint32_t>(entry + 8);
            } else if (!u32(entry + 8, value_at)) {
                return false;
            }
            return bytes > 0 && *value_at + bytes <= size_;
        }
        return false;
    }
    // The offset of the directory after this one (0: none).
    uint32_t next(uint32_t directory) const {
        uint16_t entries = 0;
        uint32_t offset = 0;
        if (!u16(directory, &entries) || !u32(uint64_t(directory) + 2 + 12 * uint64_t(entries), &offset)) return 0;
        return offset;
    }

    const uint8_t* base() const { return base_; }
    size_t size() const { return size_; }

private:
    static uint64_t type_size(uint16_t type) {
        switch (type) {
        case 1: case 2: case 6: case 7: return 1;
        case 3: case 8: return 2;
        case 4: case 9: case 11: return 4;
        case 5: case 10: case 12: return 8;
        default: return 0;
        }
    }

    const uint8_t* base_ = nullptr;
    size_t size_ = 0;
    bool big_ = false;
};
