// Test helpers: JPEG and PNG files, and the EXIF, MPO and JPS segments spliced into them.
#pragma once

#include "bmp_files.h"

#include <spng.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include <jpeglib.h>

using Pixels = std::function<Rgb(int, int)>;

inline Pixels solid(Rgb c) { return [c](int, int) { return c; }; }

inline Bytes jpeg(int w, int h, const Pixels& pixel, int quality = 100) {
    const Bytes bmp = bmp24(w, h, pixel);  // bottom-up BGR rows padded to 4 bytes after a 54-byte header
    tjhandle handle = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, &bmp[54], w, (w * 3 + 3) & ~3, h, TJPF_BGR, &out, &size, TJSAMP_444, quality, TJFLAG_BOTTOMUP);
    const Bytes file(out, out + size);
    tjFree(out), tjDestroy(handle);
    return file;
}

// A print workflow's JPEG: YCCK with an Adobe segment, whose inks are stored
// inverted, or plain CMYK without one.
inline Bytes cmyk_jpeg(int w, int h, const Pixels& pixel, bool adobe) {
    jpeg_compress_struct c{};
    jpeg_error_mgr error{};
    c.err = jpeg_std_error(&error);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = w, c.image_height = h, c.input_components = 4, c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, adobe ? JCS_YCCK : JCS_CMYK);
    c.write_Adobe_marker = adobe;
    for (int n = 0; n < 4; ++n) c.comp_info[n].h_samp_factor = c.comp_info[n].v_samp_factor = 1;
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    Bytes row(w * 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Rgb p = pixel(x, y);
            const int k = 255 - std::max({p.r, p.g, p.b}), inks[] = {255 - p.r - k, 255 - p.g - k, 255 - p.b - k, k};
            for (int n = 0; n < 4; ++n) row[4 * x + n] = static_cast<uint8_t>(adobe ? 255 - inks[n] : inks[n]);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    const Bytes file(out, out + size);
    std::free(out), jpeg_destroy_compress(&c);
    return file;
}

// Numbers in the byte order of a TIFF structure.
struct Tiff {
    bool big;
    Bytes b;
    Tiff& n(uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> 8 * (big ? bytes - 1 - i : i)));
        return *this;
    }
    Tiff& text(const std::string& s) { return b.insert(b.end(), s.begin(), s.end()), *this; }
    Tiff& entry(int tag, int type, int count, uint32_t v) { return n(tag, 2).n(type, 2).n(count, 4).n(v, 4); }
    Tiff& header(const std::string& name) { return text(name).text(big ? "MM" : "II").n(42, 2).n(8, 4); }
};

// With an orientation, an eXIf chunk that holds it.
inline Bytes png(int w, int h, const Pixels& pixel, int orientation = 0) {
    Bytes rgb;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) rgb.insert(rgb.end(), {pixel(x, y).r, pixel(x, y).g, pixel(x, y).b});
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{static_cast<uint32_t>(w), static_cast<uint32_t>(h), 8, SPNG_COLOR_TYPE_TRUECOLOR, 0, 0, 0};
    spng_set_ihdr(ctx, &ihdr);
    Tiff exif{true, {}};
    exif.header("").n(1, 2).entry(0x0112, 3, 1, orientation << 16).n(0, 4);
    spng_exif chunk{exif.b.size(), reinterpret_cast<char*>(exif.b.data())};
    if (orientation) spng_set_exif(ctx, &chunk);
    spng_encode_image(ctx, rgb.data(), rgb.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    size_t size = 0;
    int error = 0;
    auto* out = static_cast<uint8_t*>(spng_get_png_buffer(ctx, &size, &error));
    const Bytes file(out, out + size);
    std::free(out), spng_ctx_free(ctx);
    return file;
}

// The segment goes right after the start-of-image marker.
inline Bytes with_segment(Bytes jpeg, uint8_t marker, const Bytes& payload) {
    const size_t n = payload.size() + 2;
    jpeg.insert(jpeg.begin() + 2, payload.begin(), payload.end());
    jpeg.insert(jpeg.begin() + 2, {0xFF, marker, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
    return jpeg;
}

// EXIF: the orientation in the first directory and a Fujifilm maker note
// with the parallax in tenths of a percent of the width (0: no parallax tag).
inline Bytes with_exif(const Bytes& jpeg, int orientation, int parallax_tenths = 0) {
    Tiff t{false, {}};
    t.header(std::string("Exif\0\0", 6)).n(2, 2).entry(0x0112, 3, 1, orientation).entry(0x8769, 4, 1, 38).n(0, 4);
    t.n(1, 2).entry(0x927C, 7, 38, 56).n(0, 4).text("FUJIFILM").n(12, 4).n(1, 2);
    t.entry(parallax_tenths ? 0xB211 : 0xB210, 10, 1, 30).n(0, 4).n(parallax_tenths, 4).n(10, 4);
    return with_segment(jpeg, 0xE1, t.b);
}

// A view of an MPO: its MP individual number (0: its place, from 1) and type
// (disparity; 0x010001 a large thumbnail).
struct MpView {
    Bytes jpeg;
    uint32_t number = 0, type = 0x020002;
};

// An MPO of the views in file order: the first carries the MP index of all
// (and the base viewpoint when given), each view its own individual number.
// Offsets count from the byte-order mark at byte 10, or lie outside the file.
inline Bytes mpo(const std::vector<MpView>& views, bool big_endian, uint32_t base = 0, bool bad_offset = false) {
    const auto n = static_cast<uint32_t>(views.size());
    auto attributes = [&](Tiff t, uint32_t i) {
        t.n(i == 0 && base ? 2 : 1, 2).entry(0xB101, 4, 1, views[i].number ? views[i].number : i + 1);
        if (i == 0 && base) t.entry(0xB204, 4, 1, base);
        return t.n(0, 4).b;
    };
    std::vector<Bytes> frames = {{}};
    for (uint32_t i = 1; i < n; ++i) {
        Tiff own{big_endian, {}};
        frames.push_back(with_segment(views[i].jpeg, 0xE2, attributes(own.header(std::string("MPF\0", 4)), i)));
    }
    Tiff t{big_endian, {}};
    t.header(std::string("MPF\0", 4)).n(3, 2).entry(0xB000, 7, 4, 0x30313030).entry(0xB001, 4, 1, n);
    t.entry(0xB002, 7, 16 * n, 50).n(50 + 16 * n, 4);
    // The first frame: its JPEG, a segment header, the index and its own attributes.
    uint32_t offset = static_cast<uint32_t>(views[0].jpeg.size() + 4 + t.b.size() + 16 * n + (base ? 30 : 18));
    t.n(views[0].type | 0x20000000, 4).n(offset, 4).n(0, 4).n(0, 4);
    for (uint32_t i = 1; i < n; offset += static_cast<uint32_t>(frames[i++].size()))
        t.n(views[i].type, 4).n(static_cast<uint32_t>(frames[i].size()), 4).n(bad_offset ? 0x7FFFFFF0 : offset - 10, 4)
            .n(0, 4);
    Bytes file = with_segment(views[0].jpeg, 0xE2, attributes(t, 0));
    for (uint32_t i = 1; i < n; ++i) file.insert(file.end(), frames[i].begin(), frames[i].end());
    return file;
}
inline Bytes mpo(const Bytes& left, const Bytes& right, bool big_endian, bool bad_offset = false) {
    return mpo({{left}, {right}}, big_endian, 0, bad_offset);
}

// A JPS descriptor: separation, flags (1 half height, 2 half width, 4 left
// first), layout (2 side by side, 3 over/under), type (1 stereo).
inline Bytes with_jps(const Bytes& jpeg, uint8_t flags, uint8_t layout, uint8_t type = 1) {
    return with_segment(jpeg, 0xE3, {'_', 'J', 'P', 'S', 'J', 'P', 'S', '_', 0, 4, 0, flags, layout, type});
}

// A PNG whose header claims another size, with its checksum made right.
inline Bytes png_claiming(Bytes file, uint32_t w, uint32_t h) {
    uint32_t c = 0xFFFFFFFF;
    for (int i = 12; i < 29; ++i) {
        if (i >= 16 && i < 24) file[i] = static_cast<uint8_t>((i < 20 ? w : h) >> (24 - 8 * (i % 4)));
        c ^= file[i];
        for (int k = 0; k < 8; ++k) c = c >> 1 ^ (0xEDB88320 & (0 - (c & 1)));
    }
    for (int i = 0; i < 4; ++i) file[29 + i] = static_cast<uint8_t>(~c >> (24 - 8 * i));
    return file;
}
