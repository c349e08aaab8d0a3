// The alignment of a stereo pair: corners of the left picture, matched in the
// right one coarse to fine, and robust estimates of the shifts.
#include "image/align.h"

#include <algorithm>
#include <cmath>

namespace {

// How far the right eye's match is looked for, in fractions of the width and height.
constexpr double SEARCH_X = 0.10, SEARCH_Y = 0.05;
// The share of the consistent matches allowed to lie nearer than the screen plane.
constexpr double NEAR_PERCENTILE = 0.05;
// The picture, its half and its quarter. Corners are found on the half;
// each is matched on the quarter across the whole search window, then
// followed to the finer levels within two pixels.
constexpr int LEVELS = 3;
constexpr int PATCH_RADIUS[LEVELS] = {4, 3, 3};
constexpr int FOLLOW_RADIUS = 2;
// Corners: the strongest of each cell of a grid of this many cells along the
// longer side, where the gradients' weaker direction averages at least this
// many grey levels squared per pixel over a 7 x 7 window (camera noise gives
// far less on the half-size picture).
constexpr int GRID = 20;
constexpr int STRUCTURE_RADIUS = 3;
constexpr double MIN_CORNER = 4;
// A match: its correlation at the finest level, and on the quarter, where
// it must also lead every other peak by a margin; enough of them; how many
// agree on the vertical shift, within this many pixels of the finest level.
constexpr float MIN_SCORE = 0.8f;
constexpr float MIN_COARSE_SCORE = 0.5f, MIN_COARSE_MARGIN = 0.1f;
constexpr size_t MIN_MATCHES = 20;
constexpr double CONSISTENT_PX = 1.0;
constexpr double MIN_CONSISTENT_SHARE = 0.5;
constexpr int MIN_SIDE = 64;
// Below this mean grey difference the eyes hold the same picture.
constexpr double SAME_PICTURE_DIFFERENCE = 0.5;

// The search correlates blocks of this many candidates at a time, and may
// read that far past a level's last pixel: every level has that many zeros more.
constexpr int BLOCK = 8;

struct Level {
    int w = 0, h = 0;
    std::vector<float> p;  // top row first, then BLOCK zeros
    std::vector<double> sum, sum2;  // integral images of p and p squared, (w + 1) x (h + 1)
    double left = 0, top = 0, span_w = 0, span_h = 0;
    float at(int x, int y) const { return p[size_t(y) * size_t(w) + size_t(x)]; }
    double box(const std::vector<double>& s, int x0, int y0, int x1, int y1) const {
        const size_t stride = size_t(w) + 1;
        return s[size_t(y1) * stride + size_t(x1)] - s[size_t(y0) * stride + size_t(x1)] -
               s[size_t(y1) * stride + size_t(x0)] + s[size_t(y0) * stride + size_t(x0)];
    }
};

void integrate(Level* l) {
    const size_t stride = size_t(l->w) + 1;
    l->sum.assign(stride * (size_t(l->h) + 1), 0);
    l->sum2.assign(l->sum.size(), 0);
    for (int y = 0; y < l->h; ++y) {
        double row = 0, row2 = 0;
        for (int x = 0; x < l->w; ++x) {
            const double v = l->at(x, y);
            row += v, row2 += v * v;
            const size_t i = (size_t(y) + 1) * stride + size_t(x) + 1;
            l->sum[i] = l->sum[i - stride] + row;
            l->sum2[i] = l->sum2[i - stride] + row2;
        }
    }
}

// Each pixel of the next level is the mean of 2 x 2 of this one's.
Level halved(const Level& a) {
    Level b;
    b.w = a.w / 2, b.h = a.h / 2;
    b.p.resize(size_t(b.w) * size_t(b.h) + BLOCK);
    for (int y = 0; y < b.h; ++y)
        for (int x = 0; x < b.w; ++x)
            b.p[size_t(y) * size_t(b.w) + size_t(x)] =
                0.25f * (a.at(2 * x, 2 * y) + a.at(2 * x + 1, 2 * y) + a.at(2 * x, 2 * y + 1) + a.at(2 * x + 1, 2 * y + 1));
    b.left = a.left / 2, b.top = a.top / 2, b.span_w = a.span_w / 2, b.span_h = a.span_h / 2;
    integrate(&b);
    return b;
}

struct Pyramid {
    Level level[LEVELS];
};

Pyramid pyramid_of(const GreyPicture& g) {
    Pyramid py;
    Level& l = py.level[0];
    l.w = g.width, l.h = g.height, l.p = g.pixels;
    l.p.resize(l.p.size() + BLOCK);
    l.left = g.left, l.top = g.top, l.span_w = g.span_w, l.span_h = g.span_h;
    integrate(&l);
    for (int i = 1; i < LEVELS; ++i) py.level[i] = halved(py.level[i - 1]);
    return py;
}

// A patch around a pixel, less its mean and scaled to unit length, so that
// its dot product with another patch less that one's mean is their correlation.
struct Patch {
    int r = 0;
    std::vector<float> t;
};

bool make_patch(const Level& l, int cx, int cy, int r, Patch* patch) {
    if (cx < r || cy < r || cx + r >= l.w || cy + r >= l.h) return false;
    const int n = 2 * r + 1;
    patch->r = r;
    patch->t.resize(size_t(n) * size_t(n));
    const double mean = l.box(l.sum, cx - r, cy - r, cx + r + 1, cy + r + 1) / (n * n);
    double length = 0;
    for (int y = 0, k = 0; y < n; ++y)
        for (int x = 0; x < n; ++x, ++k) {
            const double v = l.at(cx - r + x, cy - r + y) - mean;
            patch->t[size_t(k)] = static_cast<float>(v);
            length += v * v;
        }
    if (length < 1e-3 * n * n) return false;  // flat: it matches anything
    const float scale = static_cast<float>(1 / std::sqrt(length));
    for (float& v : patch->t) v *= scale;
    return true;
}

// The variance-normalised dot product of a patch with the level's patch
// centred on (cx, cy), which fits the level: their correlation.
float normalised(const Level& l, int cx, int cy, int r, float dot) {
    const int n = 2 * r + 1;
    const double s = l.box(l.sum, cx - r, cy - r, cx + r + 1, cy + r + 1);
    const double variance = l.box(l.sum2, cx - r, cy - r, cx + r + 1, cy + r + 1) - s * s / (n * n);
    return variance > 1e-3 * n * n ? static_cast<float>(dot / std::sqrt(variance)) : 0.0f;
}

float correlation(const Patch& patch, const Level& l, int cx, int cy) {
    const int r = patch.r, n = 2 * r + 1;
    float dot = 0;
    const float* t = patch.t.data();
    for (int y = 0; y < n; ++y) {
        const float* row = &l.p[size_t(cy - r + y) * size_t(l.w) + size_t(cx - r)];
        for (int x = 0; x < n; ++x) dot += *t++ * row[x];
    }
    return normalised(l, cx, cy, r, dot);
}

struct Found {
    int x = 0, y = 0;
    float score = -2;
};

// Every candidate's correlation, where the search asks for them.
struct Scores {
    int x0 = 0, y0 = 0, w = 0, h = 0;
    std::vector<float> s;
    float at(int x, int y) const {
        return x < x0 || y < y0 || x >= x0 + w || y >= y0 + h ? -2.0f : s[size_t(y - y0) * size_t(w) + size_t(x - x0)];
    }
    // The best correlation of a peak other than `best`'s: repeated patterns
    // give several almost as good.
    float runner_up(const Found& best) const {
        float second = -2;
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) {
                const float v = at(x, y);
                if (std::abs(x - best.x) <= 2 && std::abs(y - best.y) <= 2) continue;
                if (v > second && v >= at(x - 1, y) && v >= at(x + 1, y) && v >= at(x, y - 1) && v >= at(x, y + 1))
                    second = v;
            }
        return second;
    }
};

// The best-correlated centre within rx, ry of (cx, cy), where patches fit.
// A run of candidates along a row at a time, so that the innermost loop
// runs along it in whole blocks, which compilers turn into vector
// instructions; candidates past the run read the level's padding.
Found search(const Patch& patch, const Level& l, int cx, int cy, int rx, int ry, Scores* scores = nullptr) {
    constexpr int RUN = 8 * BLOCK;
    Found best;
    const int r = patch.r, n = 2 * r + 1;
    const int x0 = std::max(cx - rx, r), x1 = std::min(cx + rx, l.w - 1 - r);
    const int y0 = std::max(cy - ry, r), y1 = std::min(cy + ry, l.h - 1 - r);
    if (scores) {
        scores->x0 = x0, scores->y0 = y0, scores->w = std::max(0, x1 - x0 + 1), scores->h = std::max(0, y1 - y0 + 1);
        scores->s.assign(size_t(scores->w) * size_t(scores->h), -2.0f);
    }
    for (int y = y0; y <= y1; ++y)
        for (int first = x0; first <= x1; first += RUN) {
            const int run = std::min(RUN, x1 - first + 1), blocks = (run + BLOCK - 1) / BLOCK;
            float dots[RUN] = {};
            for (int ty = 0; ty < n; ++ty) {
                const float* row = &l.p[size_t(y - r + ty) * size_t(l.w) + size_t(first - r)];
                for (int tx = 0; tx < n; ++tx) {
                    const float weight = patch.t[size_t(ty * n + tx)];
                    for (int b = 0; b < blocks; ++b) {
                        float* d = dots + b * BLOCK;
                        const float* from = row + tx + b * BLOCK;
                        for (int k = 0; k < BLOCK; ++k) d[k] += weight * from[k];
                    }
                }
            }
            for (int i = 0; i < run; ++i) {
                const float score = normalised(l, first + i, y, r, dots[i]);
                if (score > best.score) best = {first + i, y, score};
                if (scores) scores->s[size_t(y - y0) * size_t(scores->w) + size_t(first + i - x0)] = score;
            }
        }
    return best;
}

// Where a pixel of one eye's level lies in the other eye's, by the fraction of the picture.
double map_x(double x, const Level& from, const Level& to) {
    return (x + 0.5 - from.left) / from.span_w * to.span_w + to.left - 0.5;
}
double map_y(double y, const Level& from, const Level& to) {
    return (y + 0.5 - from.top) / from.span_h * to.span_h + to.top - 0.5;
}
int nearest(double v) { return static_cast<int>(std::floor(v + 0.5)); }

// The vertex of the parabola through three samples, from -0.5 to 0.5.
double peak(double before, double at, double after) {
    const double curve = before - 2 * at + after;
    return curve < 0 ? std::clamp(0.5 * (before - after) / curve, -0.5, 0.5) : 0.0;
}

// Where the right eye shows the left's pixel (x, y) of the finest level, to
// a fraction of a pixel; false without a clear and unique match.
bool match_point(const Pyramid& left, const Pyramid& right, int x, int y, double* rx, double* ry) {
    int g = LEVELS - 1;
    const Level &lc = left.level[g], &rc = right.level[g];
    Patch patch;
    if (!make_patch(lc, x >> g, y >> g, PATCH_RADIUS[g], &patch)) return false;
    const int search_x = static_cast<int>(std::ceil(SEARCH_X * rc.span_w));
    const int search_y = static_cast<int>(std::ceil(SEARCH_Y * rc.span_h));
    double px = map_x(x >> g, lc, rc), py = map_y(y >> g, lc, rc);
    Scores scores;
    Found f = search(patch, rc, nearest(px), nearest(py), search_x, search_y, &scores);
    if (f.score < MIN_COARSE_SCORE || scores.runner_up(f) > f.score - MIN_COARSE_MARGIN) return false;
    double shift_x = f.x - px, shift_y = f.y - py;
    for (--g; g >= 0; --g) {
        const Level &l = left.level[g], &r = right.level[g];
        if (!make_patch(l, x >> g, y >> g, PATCH_RADIUS[g], &patch)) return false;
        px = map_x(x >> g, l, r), py = map_y(y >> g, l, r);
        const int radius = FOLLOW_RADIUS + (g == 0);
        const int cx = nearest(px + 2 * shift_x), cy = nearest(py + 2 * shift_y);
        f = search(patch, r, cx, cy, radius, radius);
        shift_x = f.x - px, shift_y = f.y - py;
    }
    const Level& r = right.level[0];
    const int pr = PATCH_RADIUS[0];
    // The peak's neighbours must be there to place it between pixels.
    if (f.score < MIN_SCORE || f.x - 1 < pr || f.y - 1 < pr || f.x + 1 + pr >= r.w || f.y + 1 + pr >= r.h) return false;
    *rx = f.x + peak(correlation(patch, r, f.x - 1, f.y), f.score, correlation(patch, r, f.x + 1, f.y));
    *ry = f.y + peak(correlation(patch, r, f.x, f.y - 1), f.score, correlation(patch, r, f.x, f.y + 1));
    return true;
}

// Corners on a level: per grid cell the pixel whose gradients' structure
// has the largest smaller eigenvalue, where that is large enough.
std::vector<std::pair<int, int>> corners(const Level& l, int margin) {
    const int w = l.w, h = l.h;
    const size_t stride = size_t(w) + 1;
    std::vector<double> xx(stride * (size_t(h) + 1)), yy(xx.size()), xy(xx.size());
    for (int y = 0; y < h; ++y) {
        double row_xx = 0, row_yy = 0, row_xy = 0;
        for (int x = 0; x < w; ++x) {
            double gx = 0, gy = 0;
            if (x > 0 && x + 1 < w && y > 0 && y + 1 < h)
                gx = 0.5 * (l.at(x + 1, y) - l.at(x - 1, y)), gy = 0.5 * (l.at(x, y + 1) - l.at(x, y - 1));
            row_xx += gx * gx, row_yy += gy * gy, row_xy += gx * gy;
            const size_t i = (size_t(y) + 1) * stride + size_t(x) + 1;
            xx[i] = xx[i - stride] + row_xx, yy[i] = yy[i - stride] + row_yy, xy[i] = xy[i - stride] + row_xy;
        }
    }
    const int cell = std::max(1, (std::max(w, h) + GRID - 1) / GRID);
    const int cells_x = (w + cell - 1) / cell, cells_y = (h + cell - 1) / cell;
    std::vector<double> strongest(size_t(cells_x) * size_t(cells_y), MIN_CORNER);
    std::vector<std::pair<int, int>> at(strongest.size(), {-1, -1});
    const int r = STRUCTURE_RADIUS, area = (2 * r + 1) * (2 * r + 1);
    margin = std::max(margin, r + 1);
    for (int y = margin; y < h - margin; ++y)
        for (int x = margin; x < w - margin; ++x) {
            auto box = [&](const std::vector<double>& s) {
                return s[size_t(y + r + 1) * stride + size_t(x + r + 1)] - s[size_t(y - r) * stride + size_t(x + r + 1)] -
                       s[size_t(y + r + 1) * stride + size_t(x - r)] + s[size_t(y - r) * stride + size_t(x - r)];
            };
            const double a = box(xx) / area, c = box(yy) / area, b = box(xy) / area;
            const double weaker = 0.5 * (a + c) - std::sqrt(0.25 * (a - c) * (a - c) + b * b);
            const size_t k = size_t(y / cell) * size_t(cells_x) + size_t(x / cell);
            if (weaker > strongest[k]) strongest[k] = weaker, at[k] = {x, y};
        }
    std::vector<std::pair<int, int>> found;
    for (const auto& p : at)
        if (p.first >= 0) found.push_back(p);
    return found;
}

// A match: the left eye's point, in pixels of the finest level from the
// picture's centre, and how far the right eye's lies from it, in fractions
// of the picture's width and height.
struct Match {
    double x, y, dx, dy;
};

// A quantile of values, by the nearest rank below.
double quantile(std::vector<double> values, double q) {
    const size_t k = static_cast<size_t>(q * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<ptrdiff_t>(k), values.end());
    return values[k];
}

// The vertical shift across the picture, in pixels: a + b x + c y by least
// squares over the chosen matches; flat at `a` when they are too few or in a line.
struct Plane {
    double a = 0, b = 0, c = 0;
    double at(const Match& m) const { return a + b * m.x + c * m.y; }
};

Plane fit_plane(const std::vector<Match>& matches, const std::vector<bool>& chosen, double span_h, double a) {
    double s[3][3] = {}, t[3] = {};
    for (size_t i = 0; i < matches.size(); ++i) {
        if (!chosen[i]) continue;
        const double v[3] = {1, matches[i].x, matches[i].y};
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < 3; ++k) s[j][k] += v[j] * v[k];
            t[j] += v[j] * matches[i].dy * span_h;
        }
    }
    auto det = [](const double m[3][3]) {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    };
    const double d = det(s);
    Plane plane{a, 0, 0};
    if (s[0][0] < MIN_MATCHES || std::fabs(d) < 1e-9 * s[0][0] * s[1][1] * s[2][2]) return plane;
    double solved[3];
    for (int j = 0; j < 3; ++j) {
        double m[3][3];
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) m[r][k] = k == j ? t[r] : s[r][k];
        solved[j] = det(m) / d;
    }
    return {solved[0], solved[1], solved[2]};
}

PairAlignment doubtful(PairAlignment result, const char* why) {
    result.trustworthy = false;
    result.doubt = why;
    result.offset_x = result.offset_y = 0;
    return result;
}

double mean_difference(const Level& a, const Level& b) {
    const int w = std::min(a.w, b.w), h = std::min(a.h, b.h);
    double total = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) total += std::fabs(a.at(x, y) - b.at(x, y));
    return total / std::max(1.0, double(w) * h);
}

}  // namespace

GreyPicture grey_from_bottom_up(const uint8_t* rows, size_t stride, int channels, int32_t x0, int32_t w, int32_t h) {
    GreyPicture g;
    if (!rows || channels < 3 || x0 < 0 || w <= 0 || h <= 0) return g;
    g.width = w, g.height = h, g.span_w = w, g.span_h = h;
    g.pixels.resize(size_t(w) * size_t(h));
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* p = rows + size_t(h - 1 - y) * stride + size_t(x0) * size_t(channels);
        float* out = &g.pixels[size_t(y) * size_t(w)];
        for (int32_t x = 0; x < w; ++x, p += channels) out[x] = 0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2];
    }
    return g;
}

PairAlignment measure_alignment(const GreyPicture& left_grey, const GreyPicture& right_grey) {
    PairAlignment result;
    for (const GreyPicture* g : {&left_grey, &right_grey})
        if (std::min(g->width, g->height) < MIN_SIDE || g->span_w < MIN_SIDE || g->span_h < MIN_SIDE ||
            g->pixels.size() != size_t(g->width) * size_t(g->height))
            return doubtful(result, "a picture is missing or too small");
    // Beyond a few per cent the patches of one eye no longer look like the other's.
    if (std::fabs(right_grey.span_w / left_grey.span_w - 1) > 0.03 ||
        std::fabs(right_grey.span_h / left_grey.span_h - 1) > 0.03)
        return doubtful(result, "the eyes' pictures differ in size");
    const Pyramid left = pyramid_of(left_grey), right = pyramid_of(right_grey);
    if (mean_difference(left.level[1], right.level[1]) < SAME_PICTURE_DIFFERENCE)
        return doubtful(result, "the eyes show the same picture");

    const Level &l0 = left.level[0], &r0 = right.level[0];
    // Each corner's patch must fit every level.
    int margin = 0;
    for (int g = 0; g < LEVELS; ++g) margin = std::max(margin, ((PATCH_RADIUS[g] + 1) << g) / 2 + 1);
    const std::vector<std::pair<int, int>> points = corners(left.level[1], margin);
    result.points = static_cast<int>(points.size());
    if (points.size() < MIN_MATCHES) return doubtful(result, "too few corners: a flat or featureless picture");

    std::vector<Match> matches;
    for (const auto& [cx, cy] : points) {
        const int x = 2 * cx, y = 2 * cy;
        double rx = 0, ry = 0;
        if (!match_point(left, right, x, y, &rx, &ry)) continue;
        const double u = (x + 0.5 - l0.left) / l0.span_w, v = (y + 0.5 - l0.top) / l0.span_h;
        matches.push_back({(u - 0.5) * l0.span_w, (v - 0.5) * l0.span_h, (rx + 0.5 - r0.left) / r0.span_w - u,
                           (ry + 0.5 - r0.top) / r0.span_h - v});
    }
    result.matches = static_cast<int>(matches.size());
    if (matches.size() < MIN_MATCHES) return doubtful(result, "too few matches between the eyes");

    // The vertical shift may change across the picture (a turned or
    // enlarged eye): the matches that agree are those near a plane fitted
    // first to the ones near the median, then to those near that plane.
    std::vector<double> dy;
    for (const Match& m : matches) dy.push_back(m.dy * l0.span_h);
    const double median_dy = quantile(dy, 0.5);
    std::vector<bool> chosen(matches.size());
    for (size_t i = 0; i < matches.size(); ++i) chosen[i] = std::fabs(dy[i] - median_dy) <= 3 * CONSISTENT_PX;
    Plane plane = fit_plane(matches, chosen, l0.span_h, median_dy);
    for (int round = 0; round < 2; ++round) {
        for (size_t i = 0; i < matches.size(); ++i) chosen[i] = std::fabs(dy[i] - plane.at(matches[i])) <= CONSISTENT_PX;
        if (round == 0) plane = fit_plane(matches, chosen, l0.span_h, median_dy);
    }
    std::vector<double> consistent_dx, consistent_dy;
    for (size_t i = 0; i < matches.size(); ++i)
        if (chosen[i]) consistent_dx.push_back(matches[i].dx), consistent_dy.push_back(matches[i].dy);
    result.consistent = static_cast<int>(consistent_dx.size());
    if (consistent_dx.size() < MIN_MATCHES ||
        static_cast<double>(consistent_dx.size()) < MIN_CONSISTENT_SHARE * static_cast<double>(matches.size()))
        return doubtful(result, "no vertical shift that the matches agree on");

    result.trustworthy = true;
    // The right eye's point lies dx, dy from the left's: moving the eyes
    // apart by minus that lays the two over each other.
    result.offset_y = static_cast<float>(-quantile(consistent_dy, 0.5));
    result.offset_x = static_cast<float>(-quantile(consistent_dx, NEAR_PERCENTILE));
    result.rotation_degrees = std::atan(plane.b) * 180 / 3.141592653589793;
    result.scale = 1 + plane.c;
    return result;
}
