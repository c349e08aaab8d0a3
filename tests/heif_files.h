// Test helpers: HEIC files written box by box around HEVC pictures that libheif codes (with x265),
// with the entity groups of spatial photos and the false claims of hostile files.
#pragma once

#include "photo_files.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>

// Numbers most significant byte first; a box's size is set once its body is written.
struct Boxes {
    Bytes b;
    Boxes& n(uint32_t v, int bytes) {
        while (bytes--) b.push_back(static_cast<uint8_t>(v >> 8 * bytes));
        return *this;
    }
    Boxes& add(const Bytes& bytes) { return b.insert(b.end(), bytes.begin(), bytes.end()), *this; }
    Boxes& text(const std::string& s) { return add(Bytes(s.begin(), s.end())); }
    // A full box when version >= 0.
    template <class Body> Boxes& box(const char* type, int version, uint32_t flags, Body body) {
        const size_t at = b.size();
        n(0, 4).text(type);
        if (version >= 0) n(uint32_t(version) << 24 | flags, 4);
        body();
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>((b.size() - at) >> (24 - 8 * i));
        return *this;
    }
};

// An HEVC-coded picture: its decoder configuration box (hvcC) and its coded data.
struct Hevc {
    Bytes hvcc, data;
    uint32_t w, h;
};

// The last box of the path, whole, in a file libheif wrote (meta is a full box).
inline Bytes heif_box(const Bytes& f, std::initializer_list<const char*> path) {
    size_t at = 0;
    auto size = [&] { return size_t(f.at(at)) << 24 | size_t(f[at + 1]) << 16 | size_t(f[at + 2]) << 8 | f[at + 3]; };
    for (const char* type : path) {
        while (std::memcmp(&f.at(at + 7) - 3, type, 4) != 0) at += size();  // at() ends a walk off the end
        if (type != *(path.end() - 1)) at += std::strcmp(type, "meta") == 0 ? 12 : 8;
    }
    return Bytes(f.begin() + at, f.begin() + at + size());
}

// A picture coded by libheif's HEVC encoder (x265 codes at least 64 x 64), taken out of its file.
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
            std::memcpy(rows + y * stride + 3 * x, &c, 3);
        }
    heif_context_encode_image(ctx, image, encoder, nullptr, nullptr);
    Bytes file;
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* out) {
                           static_cast<Bytes*>(out)->insert(static_cast<Bytes*>(out)->end(), static_cast<const uint8_t*>(data),
                                                            static_cast<const uint8_t*>(data) + size);
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    heif_context_write(ctx, &writer, &file);
    heif_image_release(image), heif_encoder_release(encoder), heif_context_free(ctx);
    // One image of even sides: its data alone fills the mdat box.
    const Bytes mdat = heif_box(file, {"mdat"});
    return {heif_box(file, {"meta", "iprp", "ipco", "hvcC"}), Bytes(mdat.begin() + 8, mdat.end()), uint32_t(w), uint32_t(h)};
}

// An image of a HEIF file: a coded picture, or a grid of cols x rows tiles given row by row. Its
// spatial extents ('ispe') claim the picture's size unless w and h say otherwise; rotation: 'irot'.
struct HeifImage {
    std::vector<Hevc> tiles;
    int cols = 1;
    uint32_t w = 0, h = 0;
    int rotation = 0;  // quarter turns anticlockwise
};

// An EntityToGroupBox of the type over the ids; its size may claim `more` bytes than it has.
inline Bytes heif_group(const char* type, std::initializer_list<uint32_t> ids, int more = 0) {
    Boxes g;
    g.box(type, 0, 0, [&] {
        g.n(100, 4).n(uint32_t(ids.size()), 4);
        for (uint32_t id : ids) g.n(id, 4);
    });
    g.b[3] = static_cast<uint8_t>(g.b[3] + more);
    return g.b;
}

// A HEIC file of the images, the first primary: image i is item i + 1, its tiles items 100 (i + 1) on.
// The groups go in a group list ('grpl') at the end of the meta box.
inline Bytes heif_file(const std::vector<HeifImage>& images, const Bytes& groups = {}) {
    struct Item {
        uint32_t id;
        const char* type;
        Bytes data;
        std::vector<uint16_t> properties;  // indices into the property container, from 1
    };
    std::vector<Item> items;
    std::vector<Bytes> properties;
    auto property = [&](const Bytes& p) {
        auto it = std::find(properties.begin(), properties.end(), p);
        if (it == properties.end()) it = properties.insert(it, p);
        return uint16_t(it - properties.begin() + 1);
    };
    auto extents = [&](uint32_t w, uint32_t h) { return property(Boxes().n(20, 4).text("ispe").n(0, 4).n(w, 4).n(h, 4).b); };
    Boxes dimg;
    for (uint32_t id = 1; id <= images.size(); ++id) {
        const HeifImage& image = images[id - 1];
        const uint32_t rows = uint32_t(image.tiles.size() / image.cols), tiles = uint32_t(image.tiles.size());
        const uint32_t w = image.w ? image.w : image.tiles[0].w * image.cols, h = image.h ? image.h : image.tiles[0].h * rows;
        std::vector<uint16_t> own{extents(w, h)};
        if (image.rotation) own.push_back(property(Boxes().n(9, 4).text("irot").n(image.rotation, 1).b));
        if (tiles == 1) {
            own.insert(own.begin(), property(image.tiles[0].hvcc));
            items.push_back({id, "hvc1", image.tiles[0].data, own});
            continue;
        }
        items.push_back({id, "grid", Boxes().n(0, 2).n(rows - 1, 1).n(image.cols - 1, 1).n(w, 2).n(h, 2).b, own});
        dimg.box("dimg", -1, 0, [&] {
            dimg.n(id, 2).n(tiles, 2);
            for (uint32_t t = 0; t < tiles; ++t) dimg.n(100 * id + t, 2);
        });
        for (uint32_t t = 0; t < tiles; ++t) {
            const Hevc& tile = image.tiles[t];
            items.push_back({100 * id + t, "hvc1", tile.data, {property(tile.hvcc), extents(tile.w, tile.h)}});
        }
    }
    // The meta box, with the items' data placed one after another from `base` on.
    auto meta = [&](uint32_t base) {
        Boxes m;
        return m.box("meta", 0, 0, [&] {
            m.box("hdlr", 0, 0, [&] { m.n(0, 4).text("pict").n(0, 4).n(0, 4).n(0, 4).n(0, 1); });
            m.box("pitm", 0, 0, [&] { m.n(1, 2); });
            m.box("iinf", 0, 0, [&] {
                m.n(uint32_t(items.size()), 2);
                for (const Item& item : items)  // tiles hidden
                    m.box("infe", 2, item.id >= 100, [&] { m.n(item.id, 2).n(0, 2).text(item.type).n(0, 1); });
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
        }).b;
    };
    Boxes file;
    file.box("ftyp", -1, 0, [&] { file.text("heic").n(0, 4).text("mif1heic"); });
    file.add(meta(uint32_t(file.b.size() + meta(0).size() + 8)));
    return file.box("mdat", -1, 0, [&] {
        for (const Item& item : items) file.add(item.data);
    }).b;
}

// A spatial photo: two pictures, each an item of its own, grouped as a stereo pair left eye first.
inline Bytes spatial_heic(const Hevc& left, const Hevc& right) {
    return heif_file({{{left}}, {{right}}}, heif_group("ster", {1, 2}));
}
