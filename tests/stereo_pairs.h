// Test helpers: stereo pairs with known answers. A scene of flat textured
// rectangles, each at its own disparity, seen by both eyes; the right eye's
// picture also lies shift_y lower, and both carry noise of their own.
#pragma once

#include "photo_files.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

struct ScenePlane {
    double x0, y0, x1, y1;  // where the left eye sees it, in fractions of the picture
    double disparity;       // how much further right the right eye sees it, in fractions of the width
    double period = 0;      // a checker pattern of this period instead of the texture
};

struct StereoScene {
    std::vector<ScenePlane> planes;  // the first covers the picture, later ones lie in front; none: grey
    double shift_y = 0;              // in fractions of the height
    double noise = 0;                // grey levels, standard deviation
    uint32_t seed = 1;               // the texture; another seed, another scene
    double turn = 0;                 // the right eye's picture turned clockwise about its centre, degrees
};

// Eye 0 or 1 of the scene at w x h pixels. The planes' texture is smooth value noise at scales from large
// patches to fine grain, as photographs have, the grain that of a picture 640 pixels wide whatever the size;
// so is a checker pattern's period.
inline Pixels scene_eye(const StereoScene& scene, int eye, int w, int h) {
    const double scales[] = {64, 24, 10, 4};
    std::vector<float> lattice(4 << 16);  // 256 x 256 values a scale
    std::mt19937 random(scene.seed);      // its numbers are the same everywhere
    for (float& value : lattice) value = static_cast<float>(random() / 4294967296.0);
    auto texture = [&](size_t plane, double x, double y) {
        double sum = 0;
        for (size_t o = 0; o < 4; ++o) {
            const double u = x / scales[o] + 97.0 * plane, v = y / scales[o] + 53.0 * plane;
            const double fu = std::floor(u), fv = std::floor(v);
            const double su = (u - fu) * (u - fu) * (3 - 2 * (u - fu)), sv = (v - fv) * (v - fv) * (3 - 2 * (v - fv));
            const auto i = static_cast<uint32_t>(static_cast<int64_t>(fu)), j = static_cast<uint32_t>(static_cast<int64_t>(fv));
            auto at = [&](uint32_t a, uint32_t b) { return lattice[o << 16 | (b & 255) << 8 | (a & 255)]; };
            const double top = at(i, j) + (at(i + 1, j) - at(i, j)) * su;
            sum += top + (at(i, j + 1) + (at(i + 1, j + 1) - at(i, j + 1)) * su - top) * sv;
        }
        return 128 + 60 * (sum - 2);
    };
    auto grey = std::make_shared<std::vector<uint8_t>>(size_t(w) * size_t(h));
    random.seed(scene.seed * 2 + eye);
    const double grain = 640.0 * h / w;
    for (int py = 0; py < h; ++py)
        for (int px = 0; px < w; ++px) {
            const double t = eye * scene.turn * 3.141592653589793 / 180, cx = px + 0.5 - w / 2.0, cy = py + 0.5 - h / 2.0;
            const double y = (h / 2.0 - cx * std::sin(t) + cy * std::cos(t)) / h - eye * scene.shift_y;
            double v = 128;
            for (size_t i = scene.planes.size(); i-- > 0;) {
                const ScenePlane& p = scene.planes[i];
                const double x = (w / 2.0 + cx * std::cos(t) + cy * std::sin(t)) / w - eye * p.disparity;
                if (i > 0 && (x < p.x0 || x >= p.x1 || y < p.y0 || y >= p.y1)) continue;
                v = texture(i, x * 640, y * grain);
                if (p.period > 0)  // over a trace of the texture, as in a real picture of one
                    v = 128 + 0.1 * (v - 128) + 90 * std::sin(6.283185307179586 * x * 640 / p.period) *
                                                    std::sin(6.283185307179586 * y * grain / p.period);
                break;
            }
            // Noise of the given deviation: the sum of two uniform draws.
            const double n = (double(random()) + double(random())) / 4294967296.0 - 1;
            (*grey)[size_t(py) * size_t(w) + size_t(px)] =
                static_cast<uint8_t>(std::lround(std::clamp(v + n * std::sqrt(6.0) * scene.noise, 0.0, 255.0)));
        }
    return [grey, w](int x, int y) {
        const uint8_t v = (*grey)[size_t(y) * size_t(w) + size_t(x)];
        return Rgb{v, v, v};
    };
}
