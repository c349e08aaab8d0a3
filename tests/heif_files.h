// Test helpers: HEIC files written box by box around HEVC pictures that libheif codes (with x265),
// with the entity groups of spatial photos and the claims hostile files make.
#pragma once

#include "photo_files.h"

#include <libheif/heif.h>

#include <initializer_list>
#include <string>

// An HEVC-coded picture: its whole decoder configuration box (hvcC) and its coded data.
struct Hevc {
    Bytes hvcc, data;
    uint32_t w, h;
};

struct HeifBoxes {
    Bytes b;
    HeifBoxes& n(uint32_t v, int bytes) {
        for (int i = bytes - 1; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> 8 * i));
        return *this;
    }
    HeifBoxes& add(const Bytes& bytes) { return b.insert(b.end(), bytes.begin(), bytes.end()), *this; }
    HeifBoxes& text(const std::string& s) { return b.insert(b.end(), s.begin(), s.end()), *this; }
    // A box around what `body` adds; a full box when version >= 0.
    template <class Body> HeifBoxes& box(const char* type, int version, uint32_t flags, Body body) {
        const size_t at = b.size();
        n(0, 4).text(type);
        if (version >= 0) n(uint32_t(version) << 24 | flags, 4);
        body();
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>((b.size() - at) >> (24 - 8 * i));
        return *this;
    }
};

// The payload of the first box of the type along the path of boxes (meta counted as a full box).
inline Bytes heif_box_payload(const Bytes& f, std::initializer_list<std::string> path, bool whole = false) {
    size_t at = 0, end = f.size();
    for (const std::string& type : path) {
        auto size = [&](size_t p) { return size_t(f[p]) << 24 | size_t(f[p + 1]) << 16 | size_t(f[p + 2]) << 8 | f[p + 3]; };
        while (at + 8 <= end && std::string(f.begin() + at + 4, f.begin() + at + 8) != type) at += size(at);
        if (at + 8 > end) return {};
        end = at + size(at);
        at += (type == *(path.end() - 1) && whole) ? 0 : type == "meta" ? 12 : 8;
    }
    return Bytes(f.begin() + at, f.begin() + end);
}

// A picture coded by libheif's HEVC encoder, taken out of the file libheif writes around it.
inline Hevc hevc(int w, int h, const Pixels& pixel) {
    heif_context* ctx = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_image* image = nullptr;
    heif_context_get_encoder_for_format(ctx, heif_compression_HEVC, &encoder);
    heif_encoder_set_logging_level(encoder, 0);
    heif_encoder_set_lossy_quality(encoder, 90);
    heif_image_create(w, h, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, w, h, 8);
    int stride = 0;
    uint8_t* rows = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb c = pixel(x, y);
            std::copy_n(&c.r, 3, rows + y * stride + 3 * x);
        }
    heif_context_encode_image(ctx, image, encoder, nullptr, nullptr);
    Bytes file;
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* out) {
                           auto* bytes = static_cast<const uint8_t*>(data);
                           static_cast<Bytes*>(out)->insert(static_cast<Bytes*>(out)->end(), bytes, bytes + size);
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    heif_context_write(ctx, &writer, &file);
    heif_image_release(image), heif_encoder_release(encoder), heif_context_free(ctx);
    // One image, with even sides: its data alone fills the mdat box.
    return {heif_box_payload(file, {"meta", "iprp", "ipco", "hvcC"}, true), heif_box_payload(file, {"mdat"}),
            uint32_t(w), uint32_t(h)};
}

// An image of a HEIF file: one coded picture, or a grid of cols x rows tiles given row by row. Its
// spatial extents ('ispe') claim the picture's size unless w and h say otherwise; rotation: 'irot'.
struct HeifImage {
    std::vector<Hevc> tiles;
    int cols = 1;
    uint32_t w = 0, h = 0;
    int rotation = 0;  // quarter turns anticlockwise
};

// An EntityToGroupBox of the type over the ids; its size may claim `more` bytes than it has.
inline Bytes heif_group(const char* type, std::initializer_list<uint32_t> ids, int more = 0) {
    HeifBoxes g;
    g.box(type, 0, 0, [&] {
        g.n(100, 4).n(uint32_t(ids.size()), 4);
        for (uint32_t id : ids) g.n(id, 4);
    });
    g.b[3] = static_cast<uint8_t>(g.b[3] + more);
    return g.b;
}

// A HEIC file of the images, the first primary; image i is item i + 1, grid tiles are items
// 100 * (i + 1) on. The groups go in a group list ('grpl') at the end of the meta box.
inline Bytes heif_file(const std::vector<HeifImage>& images, const Bytes& groups = {}) {
    struct Item {
        uint32_t id;
        const char* type;
        bool hidden;
        Bytes data;
        std::vector<uint16_t> properties;  // 1-based indices into the property container
    };
    std::vector<Item> items;
    std::vector<Bytes> properties;
    auto property = [&](const Bytes& p) {
        for (size_t i = 0; i < properties.size(); ++i)
            if (properties[i] == p) return uint16_t(i + 1);
        properties.push_back(p);
        return uint16_t(properties.size());
    };
    auto extents = [&](uint32_t w, uint32_t h) {
        HeifBoxes e;
        return property(e.box("ispe", 0, 0, [&] { e.n(w, 4).n(h, 4); }).b);
    };
    HeifBoxes dimg;
    for (size_t i = 0; i < images.size(); ++i) {
        const HeifImage& image = images[i];
        const uint32_t id = uint32_t(i + 1);
        const int rows = int(image.tiles.size()) / image.cols;
        const uint32_t w = image.w ? image.w : image.tiles[0].w * image.cols, h = image.h ? image.h : image.tiles[0].h * rows;
        std::vector<uint16_t> own{extents(w, h)};
        if (image.rotation) {
            HeifBoxes r;
            own.push_back(property(r.box("irot", -1, 0, [&] { r.n(image.rotation, 1); }).b));
        }
        if (image.tiles.size() == 1) {
            own.insert(own.begin(), property(image.tiles[0].hvcc));
            items.push_back({id, "hvc1", false, image.tiles[0].data, own});
            continue;
        }
        items.push_back({id, "grid", false, HeifBoxes().n(0, 2).n(rows - 1, 1).n(image.cols - 1, 1).n(w, 2).n(h, 2).b, own});
        dimg.box("dimg", -1, 0, [&] {
            dimg.n(id, 2).n(uint32_t(image.tiles.size()), 2);
            for (size_t t = 0; t < image.tiles.size(); ++t) dimg.n(uint32_t(100 * (i + 1) + t), 2);
        });
        for (size_t t = 0; t < image.tiles.size(); ++t) {
            const Hevc& tile = image.tiles[t];
            items.push_back({uint32_t(100 * (i + 1) + t), "hvc1", true, tile.data,
                             {property(tile.hvcc), extents(tile.w, tile.h)}});
        }
    }
    HeifBoxes ftyp;
    ftyp.box("ftyp", -1, 0, [&] { ftyp.text("heic").n(0, 4).text("mif1heic"); });
    // The meta box, with the items' data placed from `base` on.
    auto meta = [&](uint32_t base) {
        HeifBoxes m;
        m.box("meta", 0, 0, [&] {
            m.box("hdlr", 0, 0, [&] { m.n(0, 4).text("pict").n(0, 4).n(0, 4).n(0, 4).n(0, 1); });
            m.box("pitm", 0, 0, [&] { m.n(1, 2); });
            m.box("iinf", 0, 0, [&] {
                m.n(uint32_t(items.size()), 2);
                for (const Item& item : items)
                    m.box("infe", 2, item.hidden, [&] { m.n(item.id, 2).n(0, 2).text(item.type).n(0, 1); });
            });
            m.box("iloc", 0, 0, [&] {
                m.n(0x4400, 2).n(uint32_t(items.size()), 2);
                for (const Item& item : items) {
                    m.n(item.id, 2).n(0, 2).n(1, 2).n(base, 4).n(uint32_t(item.data.size()), 4);
                    base += uint32_t(item.data.size());
                }
            });
            if (!dimg.b.empty()) m.box("iref", 0, 0, [&] { m.add(dimg.b); });
            m.box("iprp", -1, 0, [&] {
                m.box("ipco", -1, 0, [&] {
                    for (const Bytes& p : properties) m.add(p);
                });
                m.box("ipma", 0, 1, [&] {
                    m.n(uint32_t(items.size()), 4);
                    for (const Item& item : items) {
                        m.n(item.id, 2).n(uint32_t(item.properties.size()), 1);
                        for (uint16_t p : item.properties) m.n(0x8000u | p, 2);  // essential
                    }
                });
            });
            if (!groups.empty()) m.box("grpl", -1, 0, [&] { m.add(groups); });
        });
        return m.b;
    };
    HeifBoxes file;
    file.add(ftyp.b).add(meta(uint32_t(ftyp.b.size() + meta(0).size() + 8)));
    return file.box("mdat", -1, 0, [&] {
        for (const Item& item : items) file.add(item.data);
    }).b;
}

// A spatial photo: two pictures, each an item of its own, grouped as a stereo pair left eye first.
inline Bytes spatial_heic(const Hevc& left, const Hevc& right) {
    return heif_file({{{left}}, {{right}}}, heif_group("ster", {1, 2}));
}
