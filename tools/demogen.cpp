// Renders the demo slideshow: ray-cast scenes with objects in front of, on and
// behind the screen plane, seen from two eye positions, written as the kinds of
// file the slideshow reads (BMP pairs, an MPO as stereo cameras write it and a
// cross-eyed JPS), plus the config.txt that shows them. JPEG encoding is
// libjpeg-turbo's.
//
//   demogen [output folder]        (default: demo)

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <turbojpeg.h>

namespace {

struct Vec {
    double x = 0, y = 0, z = 0;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator*(Vec a, double s) { return {a.x * s, a.y * s, a.z * s}; }
Vec mul(Vec a, Vec b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec normalised(Vec a) { return a * (1.0 / std::sqrt(dot(a, a))); }
Vec rgb(int r, int g, int b) {
    // Colours are given as sRGB-ish bytes and shaded in linear light.
    auto lin = [](int c) { return (c / 255.0) * (c / 255.0); };
    return {lin(r), lin(g), lin(b)};
}

struct Sphere {
    Vec centre;
    double radius;
    Vec colour;
    double mirror;   // share of the reflected light, 0 for a matt ball
};

struct Box {
    Vec lo, hi;
    Vec colour;
};

struct Scene {
    std::vector<Sphere> spheres;
    std::vector<Box> boxes;
    Vec floor_a, floor_b;   // checker colours of the plane y = 0
    double square = 1;      // checker square size
    Vec sky_low, sky_high;
    Vec sun;                // direction towards the light
};

struct Hit {
    double t = 1e30;
    Vec normal;
    Vec colour;
    double mirror = 0;
    bool floor = false;
};

bool hit_sphere(const Sphere& s, Vec origin, Vec dir, double t_max, double* t_out, Vec* normal) {
    Vec oc = origin - s.centre;
    double b = dot(oc, dir);
    double c = dot(oc, oc) - s.radius * s.radius;
    double disc = b * b - c;
    if (disc < 0) return false;
    double root = std::sqrt(disc);
    double t = -b - root;
    if (t < 1e-6) t = -b + root;
    if (t < 1e-6 || t >= t_max) return false;
    *t_out = t;
    if (normal) *normal = (origin + dir * t - s.centre) * (1.0 / s.radius);
    return true;
}

bool hit_box(const Box& box, Vec origin, Vec dir, double t_max, double* t_out, Vec* normal) {
    double t0 = 1e-6, t1 = t_max;
    int axis = -1;
    double sign = 0;
    const double o[3] = {origin.x, origin.y, origin.z}, d[3] = {dir.x, dir.y, dir.z};
    const double lo[3] = {box.lo.x, box.lo.y, box.lo.z}, hi[3] = {box.hi.x, box.hi.y, box.hi.z};
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(d[i]) < 1e-12) {
            if (o[i] < lo[i] || o[i] > hi[i]) return false;
            continue;
        }
        double near_t = (lo[i] - o[i]) / d[i], far_t = (hi[i] - o[i]) / d[i];
        double face = -1;
        if (near_t > far_t) {
            std::swap(near_t, far_t);
            face = 1;
        }
        if (near_t > t0) {
            t0 = near_t;
            axis = i;
            sign = face;
        }
        t1 = std::min(t1, far_t);
        if (t0 > t1) return false;
    }
    if (axis < 0) return false;   // started inside
    *t_out = t0;
    if (normal) {
        Vec n;
        (axis == 0 ? n.x : axis == 1 ? n.y : n.z) = sign;
        *normal = n;
    }
    return true;
}

Hit trace(const Scene& scene, Vec origin, Vec dir) {
    Hit hit;
    double t;
    Vec n;
    for (const Sphere& s : scene.spheres)
        if (hit_sphere(s, origin, dir, hit.t, &t, &n)) hit = {t, n, s.colour, s.mirror, false};
    for (const Box& b : scene.boxes)
        if (hit_box(b, origin, dir, hit.t, &t, &n)) hit = {t, n, b.colour, 0.0, false};
    if (dir.y < -1e-9) {
        t = -origin.y / dir.y;
        if (t > 1e-6 && t < hit.t) hit = {t, {0, 1, 0}, {}, 0.0, true};
    }
    return hit;
}

bool in_shadow(const Scene& scene, Vec point, Vec towards_light) {
    double t;
    for (const Sphere& s : scene.spheres)
        if (hit_sphere(s, point, towards_light, 1e30, &t, nullptr)) return true;
    for (const Box& b : scene.boxes)
        if (hit_box(b, point, towards_light, 1e30, &t, nullptr)) return true;
    return false;
}

// A checker averaged over the ray's footprint, so that distant squares fade to
// their mean instead of shimmering.
double filtered_checker(double u, double v, double footprint) {
    // Integral from 0 to x of the stripe pattern that is 0 on [0, 1) and 1 on [1, 2).
    auto integral = [](double x) {
        double periods = std::floor(x * 0.5);
        return periods + std::clamp(x - 2 * periods - 1, 0.0, 1.0);
    };
    auto stripes = [&](double x, double w) {
        if (w < 1e-4) return static_cast<double>(static_cast<int64_t>(std::floor(x)) & 1);
        return (integral(x + w * 0.5) - integral(x - w * 0.5)) / w;
    };
    double a = stripes(u, footprint), b = stripes(v, footprint);
    return a + b - 2 * a * b;   // exclusive or of the two stripe patterns
}

// x to the power 8, 64 and 200 by squaring: the highlights need only these.
double pow8(double x) {
    x *= x;
    x *= x;
    return x * x;
}
double pow64(double x) { return pow8(pow8(x)); }
double pow200(double x) {
    double p8 = pow8(x), p64 = pow8(p8);
    return p64 * p64 * p64 * p8;
}

Vec sky(const Scene& scene, Vec dir) {
    double up = std::max(0.0, dir.y);
    Vec c = scene.sky_low * (1 - up) + scene.sky_high * up;
    double sun = std::max(0.0, dot(dir, scene.sun));
    return c + Vec{1.0, 0.9, 0.7} * (pow200(sun) * 4 + pow8(sun) * 0.15);
}

Vec shade(const Scene& scene, Vec origin, Vec dir, double pixel_angle, int depth) {
    Hit hit = trace(scene, origin, dir);
    if (hit.t >= 1e29) return sky(scene, dir);
    Vec point = origin + dir * hit.t;
    Vec colour = hit.colour;
    if (hit.floor) {
        double c = filtered_checker(point.x / scene.square, point.z / scene.square, hit.t * pixel_angle / scene.square);
        colour = scene.floor_a * (1 - c) + scene.floor_b * c;
    }
    Vec lift = point + hit.normal * 1e-5;
    double lambert = std::max(0.0, dot(hit.normal, scene.sun));
    if (lambert > 0 && in_shadow(scene, lift, scene.sun)) lambert = 0;
    Vec result = mul(colour, Vec{0.22, 0.24, 0.3} + Vec{1.0, 0.95, 0.85} * lambert);
    Vec reflected = dir - hit.normal * (2 * dot(dir, hit.normal));
    if (!hit.floor && lambert > 0) {
        double spec = pow64(std::max(0.0, dot(reflected, scene.sun)));
        result = result + Vec{1, 1, 1} * (spec * 0.6);
    }
    if (hit.mirror > 0 && depth < 2) {
        Vec mirrored = shade(scene, lift, reflected, pixel_angle, depth + 1);
        result = result * (1 - hit.mirror) + mirrored * hit.mirror;
    }
    // Far things fade into the horizon haze.
    double haze = 1 - std::exp(-hit.t * 0.012);
    return result * (1 - haze) + scene.sky_low * haze;
}

struct Camera {
    Vec position;      // midway between the eyes
    Vec target;        // looked at
    double fov_deg;    // horizontal field of view of the whole picture
    double aspect;     // picture width / height as seen, whatever the pixel count
    double screen_distance;   // depth that lands on the screen plane; 0 keeps the eye axes parallel
    double eye_separation;
    // A rig out of line: the right camera points lower by this fraction of
    // the picture height (its picture shows everything higher) and leans
    // clockwise by this many degrees.
    double right_dip = 0, right_lean_deg = 0;
};

// Runs fn(y) for every row, the rows shared out over the processor's cores.
template <typename Fn>
void for_each_row(int height, Fn fn) {
    unsigned workers = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    std::vector<std::thread> threads;
    for (unsigned w = 0; w < workers; ++w)
        threads.emplace_back([=] {
            for (int y = static_cast<int>(w); y < height; y += static_cast<int>(workers)) fn(y);
        });
    for (std::thread& t : threads) t.join();
}

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;   // top row first, red green blue
};

uint8_t encode(double linear) {
    double v = std::sqrt(std::max(0.0, linear));   // gamma 2
    return static_cast<uint8_t>(std::min(255.0, v * 255.0 + 0.5));
}

// One eye's view: eye -1 is the left eye, +1 the right one. The frustum is
// shifted so that points at the screen distance get no disparity.
void render(const Scene& scene, const Camera& cam, int eye, Image* image, int x0, int width, int height) {
    Vec forward = normalised(cam.target - cam.position);
    Vec right = normalised(cross(forward, {0, 1, 0}));
    Vec up = cross(right, forward);
    double half_offset = eye * cam.eye_separation * 0.5;
    Vec origin = cam.position + right * half_offset;
    double tan_x = std::tan(cam.fov_deg * 3.141592653589793 / 360);
    double tan_y = tan_x / cam.aspect;
    double shift = cam.screen_distance > 0 ? -half_offset / cam.screen_distance : 0;
    double pixel_angle = 2 * tan_x / width;
    const double lean = eye > 0 ? cam.right_lean_deg * 3.141592653589793 / 180 : 0;
    const double dip = eye > 0 ? cam.right_dip * 2 : 0;
    auto sample = [&](double px, double py) {
        double sx = px / width * 2 - 1, sy = 1 - py / height * 2 - dip;
        double x = sx * tan_x, y = sy * tan_y;
        Vec dir = normalised(forward + right * (x * std::cos(lean) + y * std::sin(lean) + shift) +
                             up * (y * std::cos(lean) - x * std::sin(lean)));
        return shade(scene, origin, dir, pixel_angle, 0);
    };
    auto pixel = [&](int x, int y) { return image->rgb.data() + (static_cast<size_t>(y) * image->width + x0 + x) * 3; };
    auto store = [](uint8_t* p, Vec c) {
        p[0] = encode(c.x);
        p[1] = encode(c.y);
        p[2] = encode(c.z);
    };
    std::vector<Vec> centre(static_cast<size_t>(width) * height);
    for_each_row(height, [&](int y) {
        for (int x = 0; x < width; ++x) {
            Vec c = sample(x + 0.5, y + 0.5);
            centre[static_cast<size_t>(y) * width + x] = c;
            store(pixel(x, y), c);
        }
    });
    // Pixels that differ much from a neighbour lie on an outline: those get
    // four more samples.
    auto differs = [&](int x, int y, int nx, int ny) {
        if (nx < 0 || ny < 0 || nx >= width || ny >= height) return false;
        const uint8_t *a = pixel(x, y), *b = pixel(nx, ny);
        return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]) > 24;
    };
    std::vector<uint8_t> edge(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            edge[static_cast<size_t>(y) * width + x] =
                differs(x, y, x + 1, y) || differs(x, y, x - 1, y) || differs(x, y, x, y + 1) || differs(x, y, x, y - 1);
    for_each_row(height, [&](int y) {
        for (int x = 0; x < width; ++x) {
            if (!edge[static_cast<size_t>(y) * width + x]) continue;
            Vec sum = centre[static_cast<size_t>(y) * width + x];
            for (int s = 0; s < 4; ++s) sum = sum + sample(x + 0.25 + 0.5 * (s & 1), y + 0.25 + 0.5 * (s >> 1));
            store(pixel(x, y), sum * 0.2);
        }
    });
}

Image render_eye(const Scene& scene, const Camera& cam, int eye, int width, int height) {
    Image image{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    render(scene, cam, eye, &image, 0, width, height);
    return image;
}

// Both views in one picture, each squeezed into its half.
Image render_side_by_side(const Scene& scene, const Camera& cam, int width, int height) {
    Image image{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    render(scene, cam, -1, &image, 0, width / 2, height);
    render(scene, cam, +1, &image, width / 2, width - width / 2, height);
    return image;
}

// Two whole views side by side, stored cross-eyed as JPS files hold them: the
// right eye's view in the left half.
Image render_cross_eyed(const Scene& scene, const Camera& cam, int view_width, int height) {
    Image image{2 * view_width, height, std::vector<uint8_t>(static_cast<size_t>(2 * view_width) * height * 3)};
    render(scene, cam, +1, &image, 0, view_width, height);
    render(scene, cam, -1, &image, view_width, view_width, height);
    return image;
}

// ---- BMP files ----

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::vector<uint8_t> bmp_header(int width, int height, int bits, uint32_t compression, uint32_t palette_entries,
                                uint32_t image_bytes) {
    std::vector<uint8_t> out;
    uint32_t offset = 54 + 4 * palette_entries;
    out.push_back('B');
    out.push_back('M');
    put32(out, offset + image_bytes);
    put32(out, 0);
    put32(out, offset);
    put32(out, 40);
    put32(out, static_cast<uint32_t>(width));
    put32(out, static_cast<uint32_t>(height));   // positive: bottom row first
    put16(out, 1);
    put16(out, static_cast<uint32_t>(bits));
    put32(out, compression);
    put32(out, image_bytes);
    put32(out, 2834);
    put32(out, 2834);
    put32(out, palette_entries);
    put32(out, 0);
    return out;
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> bmp_truecolour(const Image& image, int bits) {
    int bpp = bits / 8;
    size_t row_bytes = (static_cast<size_t>(image.width) * bpp + 3) & ~size_t(3);
    std::vector<uint8_t> out = bmp_header(image.width, image.height, bits, 0, 0,
                                          static_cast<uint32_t>(row_bytes * image.height));
    for (int y = image.height - 1; y >= 0; --y) {
        const uint8_t* src = image.rgb.data() + static_cast<size_t>(y) * image.width * 3;
        size_t start = out.size();
        for (int x = 0; x < image.width; ++x) {
            out.push_back(src[3 * x + 2]);
            out.push_back(src[3 * x + 1]);
            out.push_back(src[3 * x]);
            if (bpp == 4) out.push_back(255);
        }
        out.resize(start + row_bytes, 0);
    }
    return out;
}

// 252 colours of a 6 x 7 x 6 cube plus four greys; pixels are ordered-dithered
// onto the cube.
struct Indexed {
    int width = 0, height = 0;
    std::vector<uint8_t> index;   // top row first
    uint8_t palette[256][4] = {}; // blue, green, red, 0
};

Indexed to_palette(const Image& image) {
    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    const int levels[3] = {6, 7, 6};
    Indexed out;
    out.width = image.width;
    out.height = image.height;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 7; ++g)
            for (int b = 0; b < 6; ++b) {
                int i = (r * 7 + g) * 6 + b;
                out.palette[i][0] = static_cast<uint8_t>(b * 255 / 5);
                out.palette[i][1] = static_cast<uint8_t>(g * 255 / 6);
                out.palette[i][2] = static_cast<uint8_t>(r * 255 / 5);
            }
    for (int i = 252; i < 256; ++i) {
        uint8_t grey = static_cast<uint8_t>((i - 251) * 51);
        out.palette[i][0] = out.palette[i][1] = out.palette[i][2] = grey;
    }
    out.index.resize(static_cast<size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.rgb.data() + (static_cast<size_t>(y) * image.width + x) * 3;
            double threshold = (bayer[y & 3][x & 3] + 0.5) / 16.0;
            int q[3];
            for (int c = 0; c < 3; ++c) {
                double v = p[c] / 255.0 * (levels[c] - 1);
                q[c] = std::min(levels[c] - 1, static_cast<int>(std::floor(v + threshold)));
            }
            out.index[static_cast<size_t>(y) * image.width + x] = static_cast<uint8_t>((q[0] * 7 + q[1]) * 6 + q[2]);
        }
    return out;
}

std::vector<uint8_t> bmp_indexed_plain(const Indexed& image) {
    size_t row_bytes = (static_cast<size_t>(image.width) + 3) & ~size_t(3);
    std::vector<uint8_t> out = bmp_header(image.width, image.height, 8, 0, 256,
                                          static_cast<uint32_t>(row_bytes * image.height));
    for (const auto& entry : image.palette) out.insert(out.end(), entry, entry + 4);
    for (int y = image.height - 1; y >= 0; --y) {
        const uint8_t* src = image.index.data() + static_cast<size_t>(y) * image.width;
        out.insert(out.end(), src, src + image.width);
        out.resize(out.size() + row_bytes - image.width, 0);
    }
    return out;
}

// Runs of three or more equal pixels are encoded, everything else goes out in
// absolute mode (at least three pixels, padded to an even length).
std::vector<uint8_t> rle8_rows(const Indexed& image) {
    std::vector<uint8_t> out;
    for (int y = image.height - 1; y >= 0; --y) {
        const uint8_t* row = image.index.data() + static_cast<size_t>(y) * image.width;
        int x = 0;
        auto run_at = [&](int i) {
            int n = 1;
            while (i + n < image.width && n < 255 && row[i + n] == row[i]) ++n;
            return n;
        };
        while (x < image.width) {
            int run = run_at(x);
            if (run >= 3) {
                out.push_back(static_cast<uint8_t>(run));
                out.push_back(row[x]);
                x += run;
                continue;
            }
            int end = x;
            while (end < image.width && end - x < 255 && run_at(end) < 3) ++end;
            int literal = end - x;
            if (literal < 3) {
                for (; x < end; ++x) {
                    out.push_back(1);
                    out.push_back(row[x]);
                }
                continue;
            }
            out.push_back(0);
            out.push_back(static_cast<uint8_t>(literal));
            out.insert(out.end(), row + x, row + end);
            if (literal & 1) out.push_back(0);
            x = end;
        }
        out.push_back(0);
        out.push_back(y == 0 ? 1 : 0);   // end of line, or end of bitmap after the top row
    }
    return out;
}

std::vector<uint8_t> bmp_indexed_rle8(const Indexed& image) {
    std::vector<uint8_t> rows = rle8_rows(image);
    std::vector<uint8_t> out = bmp_header(image.width, image.height, 8, 1, 256, static_cast<uint32_t>(rows.size()));
    for (const auto& entry : image.palette) out.insert(out.end(), entry, entry + 4);
    out.insert(out.end(), rows.begin(), rows.end());
    return out;
}

// ---- JPEG, MPO and JPS files ----

std::vector<uint8_t> jpeg(const Image& image) {
    tjhandle encoder = tjInitCompress();
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!encoder || tjCompress2(encoder, image.rgb.data(), image.width, 0, image.height, TJPF_RGB, &data, &size,
                                TJSAMP_420, 92, 0) != 0) {
        std::fprintf(stderr, "demogen: JPEG encoding failed: %s\n", tjGetErrorStr2(encoder));
        std::exit(1);
    }
    std::vector<uint8_t> out(data, data + size);
    tjFree(data);
    tjDestroy(encoder);
    return out;
}

void put16_be(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back((v >> 8) & 0xFF);
    out.push_back(v & 0xFF);
}
void put32_be(std::vector<uint8_t>& out, uint32_t v) {
    put16_be(out, v >> 16);
    put16_be(out, v & 0xFFFF);
}

struct IfdEntry {
    uint16_t tag, type;     // type 4: LONG, 7: UNDEFINED
    uint32_t count, value;  // the value, or for the MP entries their offset
};

// Appends a big-endian IFD to the segment; when `more` is set the next IFD
// follows right after it. Offsets count from the byte-order mark, 8 bytes
// into the segment.
void put_ifd(std::vector<uint8_t>& segment, const std::vector<IfdEntry>& entries, bool more) {
    const size_t at = segment.size() - 8;
    put16_be(segment, static_cast<uint32_t>(entries.size()));
    for (const IfdEntry& e : entries) {
        put16_be(segment, e.tag);
        put16_be(segment, e.type);
        put32_be(segment, e.count);
        put32_be(segment, e.value);
    }
    put32_be(segment, more ? static_cast<uint32_t>(at + 2 + 12 * entries.size() + 4) : 0);
}

const uint32_t MPF_VERSION = 0x30313030;   // "0100"
const uint32_t DISPARITY_IMAGE = 0x020002;
const uint32_t REPRESENTATIVE_IMAGE = 1u << 29;

// The APP2 "MPF" segment of a multi-picture file. The first frame's segment
// holds the MP Index IFD with one 16-byte entry per frame, then its own MP
// Attribute IFD; the later frames' hold their Attribute IFD only. Offsets of
// later frames count from this segment's byte-order mark.
std::vector<uint8_t> mpf_segment(uint32_t number, uint32_t frames, const std::vector<uint32_t>& sizes,
                                 const std::vector<uint32_t>& offsets) {
    std::vector<uint8_t> out = {0xFF, 0xE2, 0, 0, 'M', 'P', 'F', 0, 'M', 'M', 0, 42};
    put32_be(out, 8);
    const std::vector<IfdEntry> attributes = {
        {0xB000, 7, 4, MPF_VERSION}, {0xB101, 4, 1, number}, {0xB204, 4, 1, 1}};
    if (number == 1) {
        const uint32_t index_size = 2 + 3 * 12 + 4, attribute_size = 2 + 3 * 12 + 4;
        put_ifd(out, {{0xB000, 7, 4, MPF_VERSION}, {0xB001, 4, 1, frames},
                      {0xB002, 7, 16 * frames, 8 + index_size + attribute_size}}, true);
        put_ifd(out, attributes, false);
        for (uint32_t i = 0; i < frames; ++i) {
            put32_be(out, DISPARITY_IMAGE | (i == 0 ? REPRESENTATIVE_IMAGE : 0));
            put32_be(out, i < sizes.size() ? sizes[i] : 0);
            put32_be(out, i < offsets.size() ? offsets[i] : 0);
            put32_be(out, 0);   // no dependent frames
        }
    } else {
        put_ifd(out, attributes, false);
    }
    out[2] = static_cast<uint8_t>((out.size() - 2) >> 8);
    out[3] = static_cast<uint8_t>((out.size() - 2) & 0xFF);
    return out;
}

// Where a new segment goes: after the start marker and the JFIF header.
size_t segment_position(const std::vector<uint8_t>& jpeg_file) {
    if (jpeg_file.size() > 6 && jpeg_file[2] == 0xFF && jpeg_file[3] == 0xE0)
        return 4 + (static_cast<size_t>(jpeg_file[4]) << 8 | jpeg_file[5]);
    return 2;
}

std::vector<uint8_t> with_segment(const std::vector<uint8_t>& jpeg_file, const std::vector<uint8_t>& segment) {
    const auto at = jpeg_file.begin() + static_cast<std::ptrdiff_t>(segment_position(jpeg_file));
    std::vector<uint8_t> out(jpeg_file.begin(), at);
    out.insert(out.end(), segment.begin(), segment.end());
    out.insert(out.end(), at, jpeg_file.end());
    return out;
}

// A two-frame MPO as stereo cameras write it: the left eye's frame first.
std::vector<uint8_t> mpo(const Image& left, const Image& right) {
    const std::vector<uint8_t> second = with_segment(jpeg(right), mpf_segment(2, 2, {}, {}));
    const std::vector<uint8_t> first = jpeg(left);
    // The segment's size does not depend on its values.
    const size_t byte_order_mark = segment_position(first) + 8;
    const auto first_size = static_cast<uint32_t>(first.size() + mpf_segment(1, 2, {}, {}).size());
    std::vector<uint8_t> out = with_segment(
        first, mpf_segment(1, 2, {first_size, static_cast<uint32_t>(second.size())},
                           {0, static_cast<uint32_t>(first_size - byte_order_mark)}));
    out.insert(out.end(), second.begin(), second.end());
    return out;
}

// ---- The scenes ----

Scene spheres_scene() {
    Scene s;
    s.floor_a = rgb(235, 228, 205);
    s.floor_b = rgb(40, 110, 120);
    s.square = 1.0;
    s.sky_low = rgb(200, 215, 235);
    s.sky_high = rgb(60, 110, 190);
    s.sun = normalised({-0.5, 0.8, -0.4});
    s.spheres = {
        {{-0.9, 1.1, 4.6}, 0.75, rgb(210, 40, 40), 0.1},    // in front of the screen
        {{1.4, 1.0, 8.0}, 1.0, rgb(60, 190, 80), 0.1},      // on the screen plane
        {{-2.6, 1.6, 13.0}, 1.6, rgb(60, 90, 220), 0.1},    // behind it
        {{3.8, 2.2, 20.0}, 2.2, rgb(230, 230, 230), 0.7},   // far away, mirrored
    };
    for (int i = 0; i < 6; ++i)
        s.spheres.push_back({{-0.2 + 0.55 * i, 0.3, 5.5 + 3.0 * i}, 0.3, rgb(240, 190, 40), 0.25});
    return s;
}

Scene colonnade_scene() {
    Scene s;
    s.floor_a = rgb(190, 180, 170);
    s.floor_b = rgb(90, 70, 60);
    s.square = 1.5;
    s.sky_low = rgb(250, 210, 170);
    s.sky_high = rgb(80, 90, 160);
    s.sun = normalised({0.6, 0.5, -0.6});
    for (int i = 0; i < 8; ++i) {
        double z = 5 + 4.0 * i;
        s.boxes.push_back({{-3.4, 0, z}, {-2.6, 4, z + 0.8}, rgb(220, 215, 200)});
        s.boxes.push_back({{2.6, 0, z}, {3.4, 4, z + 0.8}, rgb(220, 215, 200)});
    }
    s.boxes.push_back({{-3.6, 4, 4.8}, {3.6, 4.5, 34}, rgb(200, 190, 175)});   // the roof beam
    s.spheres = {
        {{0.5, 1.3, 4.2}, 0.6, rgb(240, 120, 30), 0.15},   // floats in front of the screen
        {{-0.8, 0.9, 11.0}, 0.9, rgb(120, 60, 180), 0.5},
        {{0.6, 1.5, 24.0}, 1.5, rgb(40, 160, 160), 0.3},
    };
    return s;
}

Scene orbit_scene() {
    Scene s;
    s.floor_a = rgb(60, 60, 70);
    s.floor_b = rgb(120, 120, 135);
    s.square = 0.8;
    s.sky_low = rgb(30, 30, 50);
    s.sky_high = rgb(5, 5, 20);
    s.sun = normalised({0.3, 0.9, -0.3});
    s.spheres.push_back({{0, 1.8, 8.0}, 1.0, rgb(250, 250, 250), 0.6});
    for (int i = 0; i < 10; ++i) {
        double a = i * 2 * 3.141592653589793 / 10;
        Vec c{3.0 * std::cos(a), 1.8 + 0.9 * std::sin(a), 8.0 + 3.0 * std::sin(a)};
        int hue = i * 36;
        Vec colour = rgb(128 + static_cast<int>(120 * std::cos(hue * 0.01745)),
                         128 + static_cast<int>(120 * std::cos((hue - 120) * 0.01745)),
                         128 + static_cast<int>(120 * std::cos((hue + 120) * 0.01745)));
        s.spheres.push_back({c, 0.45, colour, 0.2});
    }
    return s;
}

Scene steps_scene() {
    Scene s;
    s.floor_a = rgb(230, 200, 120);
    s.floor_b = rgb(200, 90, 60);
    s.square = 1.2;
    s.sky_low = rgb(255, 190, 140);
    s.sky_high = rgb(120, 60, 120);
    s.sun = normalised({-0.7, 0.45, -0.5});
    for (int i = 0; i < 5; ++i)
        s.boxes.push_back({{-2.5 + i * 0.9, 0, 5.0 + 2.2 * i}, {-1.6 + i * 0.9, 0.6 + 0.7 * i, 6.4 + 2.2 * i},
                           rgb(90 + 30 * i, 160, 230 - 30 * i)});
    s.spheres = {
        {{1.6, 0.7, 4.5}, 0.7, rgb(255, 240, 90), 0.2},
        {{2.8, 1.2, 10.0}, 1.2, rgb(60, 200, 120), 0.2},
        {{-0.2, 4.3, 14.0}, 1.0, rgb(240, 80, 150), 0.4},
    };
    return s;
}

Scene floating_scene() {
    Scene s;
    s.floor_a = rgb(180, 210, 180);
    s.floor_b = rgb(70, 120, 80);
    s.square = 1.0;
    s.sky_low = rgb(220, 235, 250);
    s.sky_high = rgb(90, 150, 220);
    s.sun = normalised({0.4, 0.8, -0.45});
    // Cubes climbing away from the viewer, spread out so that none hides another.
    const double places[7][3] = {{-1.3, 0.8, 4.2}, {1.5, 1.2, 5.5},  {-2.6, 1.9, 8.0}, {0.4, 2.6, 9.5},
                                 {3.2, 2.2, 12.0}, {-1.2, 3.4, 15.0}, {2.0, 4.0, 19.0}};
    for (int i = 0; i < 7; ++i) {
        Vec c{places[i][0], places[i][1], places[i][2]};
        double h = 0.45 + 0.06 * i;
        s.boxes.push_back({c - Vec{h, h, h}, c + Vec{h, h, h}, rgb(230 - 25 * i, 80 + 20 * i, 60 + 25 * i)});
    }
    s.spheres = {{{0.2, 0.5, 6.0}, 0.5, rgb(240, 240, 240), 0.8}};
    return s;
}

// The eye separation is chosen so that distant things get a disparity of
// about two and a half per cent of the picture width.
Camera camera(Vec position, Vec target, double fov_deg, double aspect, double screen_distance) {
    double tan_x = std::tan(fov_deg * 3.141592653589793 / 360);
    return {position, target, fov_deg, aspect, screen_distance, 0.05 * tan_x * screen_distance};
}

// Comments in config.txt are lines without a colon; a colon would turn one
// into a setting.
bool comment_ok(const std::string& line) { return line.find(':') == std::string::npos; }

}  // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : "demo";
    if (argc > 2 || folder == "-h" || folder == "--help") {
        std::fprintf(stderr, "usage: demogen [output folder]\n");
        return 2;
    }
    std::string mkdir = "mkdir -p '" + folder + "'";
    if (folder.find('\'') != std::string::npos || std::system(mkdir.c_str()) != 0) {
        std::fprintf(stderr, "demogen: cannot create %s\n", folder.c_str());
        return 1;
    }
    auto save = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        if (!write_file(folder + "/" + name, bytes)) {
            std::fprintf(stderr, "demogen: cannot write %s/%s\n", folder.c_str(), name.c_str());
            std::exit(1);
        }
    };

    // 1: a 4:3 pair of plain 24-bit files.
    {
        Scene scene = spheres_scene();
        Camera cam = camera({0, 1.6, -1.0}, {0.2, 1.0, 8.0}, 55, 4.0 / 3, 8.0);
        save("spheres_left.bmp", bmp_truecolour(render_eye(scene, cam, -1, 1600, 1200), 24));
        save("spheres_right.bmp", bmp_truecolour(render_eye(scene, cam, +1, 1600, 1200), 24));
    }
    // 2: a 16:9 pair of 32-bit files.
    {
        Scene scene = colonnade_scene();
        Camera cam = camera({0, 1.5, -0.5}, {0, 1.6, 10.0}, 60, 16.0 / 9, 7.0);
        save("colonnade_left.bmp", bmp_truecolour(render_eye(scene, cam, -1, 1280, 720), 32));
        save("colonnade_right.bmp", bmp_truecolour(render_eye(scene, cam, +1, 1280, 720), 32));
    }
    // 3: one side-by-side file holding both views.
    {
        Scene scene = orbit_scene();
        Camera cam = camera({0, 2.6, -1.5}, {0, 1.8, 8.0}, 58, 16.0 / 9, 8.0);
        save("orbit_side_by_side.bmp", bmp_truecolour(render_side_by_side(scene, cam, 1920, 1080), 24));
    }
    // 4: 256-colour files, the left one plain, the right one run-length encoded.
    {
        Scene scene = steps_scene();
        Camera cam = camera({0, 2.0, -1.0}, {0.3, 1.2, 9.0}, 58, 4.0 / 3, 7.5);
        save("steps_256_left.bmp", bmp_indexed_plain(to_palette(render_eye(scene, cam, -1, 1024, 768))));
        save("steps_256_right.bmp", bmp_indexed_rle8(to_palette(render_eye(scene, cam, +1, 1024, 768))));
    }
    // 5: parallel eye axes; the slide's stereo offset puts the screen plane
    // back at the chosen depth.
    double parallel_offset = 0;
    {
        Scene scene = floating_scene();
        Camera cam = camera({0, 1.4, -0.8}, {0, 1.4, 8.0}, 56, 4.0 / 3, 0);
        const double screen_distance = 7.5;
        cam.eye_separation = 0.05 * std::tan(56 * 3.141592653589793 / 360) * screen_distance;
        parallel_offset = cam.eye_separation / (screen_distance * 2 * std::tan(56 * 3.141592653589793 / 360));
        save("floating_left.bmp", bmp_truecolour(render_eye(scene, cam, -1, 1280, 960), 24));
        save("floating_right.bmp", bmp_truecolour(render_eye(scene, cam, +1, 1280, 960), 24));
    }
    // 6: an MPO, both eyes' frames in one file as stereo cameras write it.
    {
        Scene scene = spheres_scene();
        Camera cam = camera({-2.5, 1.2, 0.0}, {0.5, 1.0, 9.0}, 52, 4.0 / 3, 7.0);
        save("spheres_camera.mpo", mpo(render_eye(scene, cam, -1, 1280, 960), render_eye(scene, cam, +1, 1280, 960)));
    }
    // 7: a JPS, two whole 16:9 views side by side, cross-eyed.
    {
        Scene scene = steps_scene();
        Camera cam = camera({1.0, 2.4, -1.5}, {0.0, 1.4, 9.0}, 60, 16.0 / 9, 8.0);
        save("steps_cross_eyed.jps", jpeg(render_cross_eyed(scene, cam, 1280, 720)));
    }

    // 8: a JPEG pair from a rig out of line, with parallel eye axes: no
    // offset of its own, so the slideshow measures one.
    {
        Scene scene = floating_scene();
        Camera cam = camera({0.6, 1.6, -1.2}, {0.2, 1.6, 8.0}, 56, 4.0 / 3, 0);
        cam.eye_separation = 0.05 * std::tan(56 * 3.141592653589793 / 360) * 7.5;
        cam.right_dip = 0.02;
        cam.right_lean_deg = 0.3;
        save("rig_left.jpg", jpeg(render_eye(scene, cam, -1, 1280, 960)));
        save("rig_right.jpg", jpeg(render_eye(scene, cam, +1, 1280, 960)));
    }

    const std::vector<std::string> comments_top = {
        "Parallaxon demo slideshow, written by demogen.",
        "Every line with a colon is a setting. Every other line, like this one, is a comment;",
        "the slideshow drops comments when it writes this file back as it quits (Esc or Q).",
        "",
        "Stereo mode 0 none, 1 top/bottom, 2 side-by-side, 3 row interlace, 4 two screens side by side,",
        "5 two screens one above the other, 6 to 8 coloured, 9 top/bottom with the left eye on top (3D TVs),",
        "10 column interlace, 11 checkerboard, 12 HDMI frame packing. M and Shift+M change it as you watch.",
        "Swap stereo Y exchanges the interlaced rows, columns or pixels.",
        "Align pairs automatically Y measures an offset for every slide without a Stereo offset line of its own.",
    };
    const std::vector<std::string> comments_slides = {
        "",
        "Slide n is made of the n-th Left image, Right image, Stereo offset and Caption.",
        "Every slide below names all four, so that a missing line cannot shift the later slides,",
        "except the last one, which leaves its offset to the measurement.",
        "Hold Shift and move the mouse to change a slide's offset (with Ctrl, the vertical one).",
        "A caption may end in $y= and a fraction of the screen height to move it down the screen.",
    };
    char offset_text[64];
    std::snprintf(offset_text, sizeof(offset_text), "%g,0", parallel_offset);
    struct SlideLines {
        std::string comment, left, right, offset, caption;
    };
    const std::vector<SlideLines> slides = {
        {"A pair of 24-bit files, 1600 by 1200", "spheres_left.bmp", "spheres_right.bmp", "0,0",
         "The red ball floats in front of the screen, the green one sits on it, the blue one lies behind it."},
        {"A pair of 32-bit files, 1280 by 720", "colonnade_left.bmp", "colonnade_right.bmp", "0,0",
         "A colonnade that runs far behind the screen, with an orange ball hanging in front of it. "
         "This caption is long on purpose. It wraps over several lines inside the middle three quarters "
         "of the screen, and every line of it sits at the same place for both eyes, so it stays at the depth of "
         "the screen while the scene recedes behind it."},
        {"One side-by-side file named for both eyes, each view squeezed to half its width",
         "orbit_side_by_side.bmp", "orbit_side_by_side.bmp", "0,0",
         "One side-by-side file, shown as two views$y=0.85"},
        {"256 colours, the left file plain and the right one run-length encoded", "steps_256_left.bmp",
         "steps_256_right.bmp", "0,0", "Steps and balls in 256 colours$y=0.06"},
        {"Shot with parallel eye axes, so the offset below moves the screen plane into the scene",
         "floating_left.bmp", "floating_right.bmp", offset_text,
         "Parallel cameras, brought into depth by the slide's stereo offset"},
        {"An MPO file as stereo cameras write it, named for both eyes; the left eye's frame comes first",
         "spheres_camera.mpo", "spheres_camera.mpo", "0,0", "An MPO file, as a stereo camera writes it"},
        {"A JPS file named for both eyes, two whole views stored cross-eyed (the right eye's on the left)",
         "steps_cross_eyed.jps", "steps_cross_eyed.jps", "0,0", "A JPS file, stored cross-eyed$y=0.85"},
        {"A JPEG pair from a rig out of line, eye axes parallel, the right camera pointing low and leaning; "
         "the slideshow measures the offset that lines the rows up and puts the nearest cube on the screen",
         "rig_left.jpg", "rig_right.jpg", "",
         "A misaligned pair, lined up and brought to the screen plane by the slideshow$y=0.85"},
    };

    std::string text;
    for (const std::string& line : comments_top) text += line + "\n";
    text += "\n";
    text += "Resolution: auto\n";
    text += "Stereo mode: 0\n";
    text += "Swap stereo: N\n";
    text += "Slide time: 8\n";
    text += "Slide pause before zoom: 2\n";
    text += "Randomise: 0\n";
    text += "Align pairs automatically: Y\n";
    for (const std::string& line : comments_slides) text += line + "\n";
    int number = 0;
    for (const SlideLines& s : slides) {
        std::string heading = "Slide " + std::to_string(++number) + ". " + s.comment;
        text += "\n" + heading + "\n";
        if (!comment_ok(heading)) std::abort();
        text += "Left image: " + s.left + "\n";
        text += "Right image: " + s.right + "\n";
        if (!s.offset.empty()) text += "Stereo offset: " + s.offset + "\n";
        text += "Caption: " + s.caption + "\n";
    }
    for (const std::string& line : comments_top)
        if (!comment_ok(line)) std::abort();
    for (const std::string& line : comments_slides)
        if (!comment_ok(line)) std::abort();
    save("config.txt", std::vector<uint8_t>(text.begin(), text.end()));
    std::printf("demogen: wrote %d slides and config.txt to %s\n", number, folder.c_str());
    return 0;
}
