// Whole runs of the slideshow on the headless desktop: a scratch folder, a
// scripted keyboard, mouse and clock, and every frame read back.
//
// Test pictures encode what they are in every pixel: red grows with x, green with y (from the top), blue
// names the slide and the eye. So one read-back pixel says which slide and eye it shows and where in that
// picture it looks, and a model of the viewer's screen checks it.
#pragma once

#include "app/loader.h"
#include "app/parallaxon.h"
#include "app/slides.h"
#include "bmp_files.h"
#include "display/display.h"
#include "platform/headless.h"
#include "render/interlace.h"
#include "render/screenshot.h"
#include "text/bitmapfonts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

inline Rgb picture_pixel(int slide, int eye, int w, int h, int x, int y) {
    return {static_cast<uint8_t>(16 + 224 * (2 * x + 1) / (2 * w)), static_cast<uint8_t>(16 + 224 * (2 * y + 1) / (2 * h)),
            static_cast<uint8_t>(20 + 20 * slide + 120 * eye)};
}

inline void write_picture(const std::string& path, int slide, int eye, int w, int h) {
    write_file(path, bmp24(w, h, [=](int x, int y) { return picture_pixel(slide, eye, w, h, x, y); }));
}

// What a screen pixel shows: slide 0 for black, -1 for anything else that is
// no test picture (a caption, a placeholder).
struct Seen {
    int slide, eye;
    double u, v;  // position in the picture, as fractions of its width and height
};

inline Seen seen_at(const Rgb& c) {
    if (c.r < 4 && c.g < 4 && c.b < 4) return {0, 0, 0, 0};
    if (c.r < 12 || c.g < 12 || c.r > 244 || c.g > 244 || c.b < 38 || (c.b - 20) % 20 > 2) return {-1, 0, 0, 0};
    const int eye = c.b >= 150 ? 1 : 0;
    return {(c.b - 20 - 120 * eye + 2) / 20, eye, (c.r - 16) / 224.0, (c.g - 16) / 224.0};
}

// The viewer's screen in each stereo mode: which eye's picture a window pixel should show and where in it.
// Pictures cover their eye's view, are zoomed about its centre and moved apart by half the offset each.
struct EyePicture {
    int w, h;
    bool side_by_side;  // one picture holding both eyes' views
};
// A part of the window, rows counted from the top, and the size laid out in it.
struct ModelView {
    int x, y, w, h;
    int layout_w, layout_h;
};
struct ScreenModel {
    int mode, w, h, top;  // top: the window's desktop row
    bool swap;
    EyePicture eyes[2];
    double zoom, offset_x, offset_y;
    int left = 0;               // the window's desktop column
    double caption_top = 2;     // where each text view's caption starts, as a fraction of its height

    // Whether a pixel lies where a caption may be drawn, or within two rows of it.
    bool under_caption(int px, int py) const {
        for (const ModelView& v : text_views())
            if (px >= v.x && px < v.x + v.w && py >= v.y + caption_top * v.h - 2 && py < v.y + v.h) return true;
        return false;
    }

    bool is(StereoMode m) const { return mode == static_cast<int>(m); }
    // Where an eye's picture is drawn before any interleaving.
    ModelView view(int eye) const {
        ModelView v{0, 0, w, h, w, h};
        const bool own = is(StereoMode::two_screen_side_by_side) || is(StereoMode::two_screen_vertical) ||
                         is(StereoMode::frame_packing);
        if (is(StereoMode::side_by_side) || is(StereoMode::two_screen_side_by_side)) v.x = (w * eye) / 2, v.w = w / 2;
        if (is(StereoMode::top_bottom) || is(StereoMode::two_screen_vertical)) v.y = h - (h * eye) / 2 - h / 2, v.h = h / 2;
        if (is(StereoMode::top_bottom_left_on_top)) v.y = h - (h * (1 - eye)) / 2 - h / 2, v.h = h / 2;
        if (is(StereoMode::frame_packing)) v.h = (h - h / 49) / 2, v.y = eye == 0 ? 0 : h - v.h;
        if (own) v.layout_w = v.w, v.layout_h = v.h;
        return v;
    }
    // The parts text is drawn in: each eye's own part, or the whole window where the eyes share its pixels.
    std::vector<ModelView> text_views() const {
        if (is(StereoMode::none) || is(StereoMode::interlace) || is(StereoMode::interlace_columns) ||
            is(StereoMode::checkerboard) || is(StereoMode::red_cyan) || is(StereoMode::green_magenta) ||
            is(StereoMode::amber_blue))
            return {view(0)};
        return {view(0), view(1)};
    }
    // The eye a pixel of an interleaved mode belongs to, or -1 for both.
    int interleaved_eye(int px, int py) const {
        int even = -1;  // whether the pixel's desktop row, column or both sum to an even number
        if (is(StereoMode::interlace)) even = (py + top) % 2 == 0;
        if (is(StereoMode::interlace_columns)) even = ((px + left) & 1) == 0;
        if (is(StereoMode::checkerboard)) even = ((px + left + py + top) & 1) == 0;
        return even < 0 ? -1 : (even != 0) != swap ? 1 : 0;
    }

    // What a pixel should show: the slide's picture, or black (slide 0); false where too close to an edge to tell.
    bool expect(int px, int py, int slide, Seen* out) const {
        const double x = px + 0.5, y = py + 0.5;
        int first = 0, last = 1;
        if (interleaved_eye(px, py) >= 0) first = last = interleaved_eye(px, py);
        bool found = false, unsure = false;
        for (int eye = first; eye <= last; ++eye) {
            const ModelView part = view(eye);
            const int vpx = part.x, vpy = part.y, vpw = part.w, vph = part.h, vw = part.layout_w, vh = part.layout_h;
            if (x < vpx || x > vpx + vpw || y < vpy || y > vpy + vph) continue;
            if (x < vpx + 2 || x > vpx + vpw - 2 || y < vpy + 2 || y > vpy + vph - 2) unsure = true;
            const double vx = (x - vpx) * vw / vpw, vy = (y - vpy) * vh / vph;
            const EyePicture& p = eyes[eye];
            const double s = std::fmax(double(vw) / p.w, double(vh) / p.h), qw = p.w * s * zoom, qh = p.h * s * zoom;
            const double cx = vw / 2 + offset_x * (eye - 0.5) * qw, cy = vh / 2 + offset_y * (eye - 0.5) * qh;
            double u = (vx - (cx - qw / 2)) / qw, v = (vy - (cy - qh / 2)) / qh;
            const double margin_u = 2.0 / (p.side_by_side ? p.w / 2 : p.w) + 3.0 * vw / vpw / qw;
            const double margin_v = 2.0 / p.h + 3.0 * vh / vph / qh;
            if (u < -margin_u || u > 1 + margin_u || v < -margin_v || v > 1 + margin_v) continue;
            if (u < margin_u || u > 1 - margin_u || v < margin_v || v > 1 - margin_v) unsure = true;
            // Both eyes take their texture range from the left picture and the right one's texture.
            auto pow2 = [](int n) { int p2 = 1; while (p2 < n) p2 *= 2; return double(p2); };
            u *= eyes[0].w / pow2(eyes[1].w) * pow2(p.w) / p.w;
            v = 1 - (1 - v) * (eyes[0].h / pow2(eyes[1].h) * pow2(p.h) / p.h);
            if (u > 1 - margin_u || v < margin_v) unsure = true;
            *out = {0, eye, u, v};
            found = true;
        }
        *out = found ? Seen{slide, out->eye, out->u, out->v} : Seen{0, 0, 0, 0};
        return !unsure;
    }
};

// Whether a pixel shows what the model expects of it: black, or the slide's
// picture of the right eye at the right place. Unsure: where the model cannot tell.
enum class Match { yes, no, unsure };
inline Match pixel_matches(const std::vector<uint8_t>& rgb, const ScreenModel& m, int slide, int px, int py,
                           Seen* want, Seen* got) {
    *got = seen_at(pixel_at(rgb, m.w, px, py));
    if (!m.expect(px, py, slide, want)) return Match::unsure;
    const EyePicture& p = m.eyes[want->eye];
    const double tol_u = 1.5 / (p.side_by_side ? p.w / 2 : p.w), tol_v = 1.5 / p.h;
    const bool same_place = got->eye == want->eye && std::fabs(got->u - want->u) < tol_u && std::fabs(got->v - want->v) < tol_v;
    return got->slide == want->slide && (want->slide == 0 || same_place) ? Match::yes : Match::no;
}

// Checks a grid of pixels of a frame, outside the captions, against the model;
// returns the number of pixels checked and adds a failure for each that is wrong.
inline int check_frame(const std::vector<uint8_t>& rgb, const ScreenModel& m, int slide) {
    int checked = 0, failures = 0;
    for (int py = 1; py < m.h; py += 7)
        for (int px = 1; px < m.w; px += 13) {
            if (m.under_caption(px, py)) continue;
            Seen want{}, got{};
            const Match match = pixel_matches(rgb, m, slide, px, py, &want, &got);
            if (match == Match::unsure) continue;
            ++checked;
            if (match == Match::no && ++failures <= 5)
                ADD_FAILURE() << "mode " << m.mode << " pixel (" << px << "," << py << ") shows slide " << got.slide
                              << " eye " << got.eye << " at " << got.u << "," << got.v << "; expected slide "
                              << want.slide << " eye " << want.eye << " at " << want.u << "," << want.v;
        }
    return checked;
}

// White pixels (text), or else black ones, in a rectangle of a frame w pixels wide.
inline int count_pixels(const std::vector<uint8_t>& rgb, int w, int x0, int y0, int x1, int y1, bool white = true) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const Rgb c = pixel_at(rgb, w, x, y);
            n += white ? (c.r == 255 && c.g == 255 && c.b == 255) : (c.r < 4 && c.g < 4 && c.b < 4);
        }
    return n;
}

// Slides 1 to count: "ln.bmp" and "rn.bmp", test pictures of w x h.
inline std::string slides(int count, int w = 32, int h = 24) {
    std::string config;
    for (int n = 1; n <= count; ++n) {
        const std::string l = "l" + std::to_string(n) + ".bmp", r = "r" + std::to_string(n) + ".bmp";
        write_picture(l, n, 0, w, h);
        write_picture(r, n, 1, w, h);
        config += "Left image: " + l + "\nRight image: " + r + "\n";
    }
    return config;
}

// What a first run adds to config.txt: the display settings with their documentation.
inline const std::string DESCRIPTIVE =
    "Resolution (XxY, 'auto', 'span', 'display N' or 'span N,M...'): auto\n"
    "Stereo mode (0=none,1=top/bottom,2=side-by-side,3=interlace,4=two screen SBS,5=two screen vertical,"
    "6-8=coloured,9=TV top/bottom,10=column interlace,11=checkerboard,12=frame packing): 0\nSwap stereo (Y/N): N\n";

// The text drawn into each view (by its left edge in the window), glyph slot by glyph slot, while the watch
// lives: each outlined line is drawn five times; the white pass alone also line by line, by the line's top.
struct TextWatch {
    std::map<int, std::string> at;
    std::map<int, std::map<int, std::string>> lines;
    TextWatch() {
        font_state.quad_hook = [this](const TextQuad& q) {
            at[font_state.view_left] += static_cast<char>(q.slot);
            if (font_state.blend_mode == 3) lines[font_state.view_left][static_cast<int>(q.y0)] += static_cast<char>(q.slot);
        };
    }
    ~TextWatch() { font_state.quad_hook = nullptr; }
    // How often the text (without blanks, which draw no glyph) went to the view at x.
    int count(int x, std::string text) {
        text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
        int n = 0;
        for (size_t i = at[x].find(text); i != std::string::npos; i = at[x].find(text, i + 1)) ++n;
        return n;
    }
};

class Show : public testing::Test {
public:
    void SetUp() override {
        headless::reset();
        desktop(1366, 768);
        script.clear();
        frames.clear();
    }
    void TearDown() override { headless::reset(); }
    // A fresh desktop and script for the next case of a table.
    void restart() {
        TearDown();
        SetUp();
    }

    // For drawing and loading without app_main: a GL context of w x h as the screen.
    static void screen(int w, int h) {
        headless::make_gl_context(w, h);
        display.screen_width = w, display.screen_height = h;
    }
    static void desktop(int32_t w, int32_t h) {
        headless::State& s = headless::state();
        s.primary_w = s.virtual_w = w;
        s.primary_h = s.virtual_h = h;
        s.monitors = {{0, 0, w, h}};
    }
    // Frames of a quarter second (a slide of "Slide time: 1" lasts four) on a
    // small desktop, for tests of order and timing.
    static void quarter_second_frames() {
        headless::state().frame_ticks = 250000;
        desktop(200, 150);
    }
    // An action at pump k, which takes the key snapshot that frame k reads.
    void at(int pump, std::function<void(headless::State&)> action) { script.emplace(pump, std::move(action)); }
    // The key is down for frames from..to-1.
    void hold(uint8_t vk, int from, int to) {
        at(from, [vk](headless::State& s) { s.keys[vk] = 0x80; });
        at(to, [vk](headless::State& s) { s.keys[vk] = 0; });
    }
    void press(uint8_t vk, int frame) { hold(vk, frame, frame + 1); }
    // The key goes down and up again `times` times before pump k: frame k
    // sees it up, and only the presses tell.
    void tap(uint8_t vk, int pump, int times = 1) {
        at(pump, [vk, times](headless::State& s) { s.presses[vk] = static_cast<uint8_t>(s.presses[vk] + times); });
    }
    std::vector<std::string> args;  // the command line after the program's name
    // Runs app_main; Esc goes down at pump `frames` unless the show ends first.
    int run(int frames) {
        headless::State& s = headless::state();
        s.on_pump = [this, frames](int pump) {
            headless::State& st = headless::state();
            if (pump == frames) st.keys[VK_KEY_ESCAPE] = 0x80;
            for (auto [it, end] = script.equal_range(pump); it != end; ++it) it->second(st);
        };
        s.on_swap = [this](int) {
            this->frames.push_back(headless::read_frame_rgb());
            most_held = std::max(most_held, slides_in_memory());  // the one on screen included
        };
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        return app_main(static_cast<int>(argv.size()), argv.data(), nullptr);
    }
    // The slide each frame shows at the centre of the window.
    std::vector<int> slides_shown() const {
        std::vector<int> shown;
        const int w = display.screen_width, h = display.screen_height;
        for (const auto& f : frames) shown.push_back(seen_at(pixel_at(f, w, w / 2, h / 2)).slide);
        return shown;
    }

    TempDir dir;
    std::multimap<int, std::function<void(headless::State&)>> script;  // in the order given
    std::vector<std::vector<uint8_t>> frames;
    size_t most_held = 0;  // slides in memory at any buffer swap
};
