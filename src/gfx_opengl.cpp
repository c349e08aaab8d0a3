#include "gfx_opengl.h"

#include "gl.h"
#include "image.h"
#include "report.h"
#include "settings.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

int32_t screen_width = 0, screen_height = 0;
int32_t fullscreen_offset_x = 0, fullscreen_offset_y = 0;
void* window_handle = nullptr;
uint8_t key_state[256];
uint8_t prev_key_state[256];
int32_t quit_requested = 0;
uint8_t minimise_pending = 0;
GfxBlendEquation gfx_blend_equation = nullptr;

// ---------------------------------------------------------------------------
// Window rectangle

void collect_monitor_rect(const PlatRect* rect, void* user) { dynarray_append(static_cast<DynArray*>(user), rect); }

namespace {

DynArray enumerate_monitors() {
    DynArray monitors = dynarray_create(sizeof(PlatRect));
    plat_enum_monitors(collect_monitor_rect, &monitors);
    return monitors;
}

const PlatRect* monitor_at(const DynArray* monitors, uint32_t index) {
    return static_cast<const PlatRect*>(dynarray_at(monitors, index));
}

WindowPlacement placement_of(const PlatRect& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }

void restore_display_mode_at_exit() { plat_restore_display_mode(); }

bool has_extension(const char* extensions, const char* name) {
    const size_t length = std::strlen(name);
    for (const char* at = extensions; (at = std::strstr(at, name)) != nullptr; at += length)
        if ((at == extensions || at[-1] == ' ') && (at[length] == ' ' || at[length] == 0)) return true;
    return false;
}

GfxBlendEquation find_blend_equation() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    int major = 0, minor = 0;
    if (!version || std::sscanf(version, "%d.%d", &major, &minor) != 2) major = minor = 0;
    const char* name = nullptr;
    if (major > 1 || (major == 1 && minor >= 4) || (extensions && has_extension(extensions, "GL_ARB_imaging")))
        name = "glBlendEquation";
    else if (extensions && has_extension(extensions, "GL_EXT_blend_subtract"))
        name = "glBlendEquationEXT";
    return name ? reinterpret_cast<GfxBlendEquation>(plat_gl_proc_address(name)) : nullptr;
}

}  // namespace

WindowPlacement gfx_choose_window_rect(int32_t width, int32_t height) {
    WindowPlacement place{0, 0, 0, 0};
    if (width == 0 && height == 0) {
        place = placement_of(plat_primary_screen());
    } else if (width == 0) {
        DynArray monitors = enumerate_monitors();
        if (monitors.count > 0) {
            uint32_t index = (height >= 1 && static_cast<uint32_t>(height) <= monitors.count) ? height - 1 : 0;
            place = placement_of(*monitor_at(&monitors, index));
        }
        dynarray_free(&monitors);
    } else if (width == -1 && height <= 0) {
        plat_virtual_screen(&place.x, &place.y, &place.width, &place.height);
    } else if (width == -1) {
        DynArray monitors = enumerate_monitors();
        PlatRect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
        bool any = false;
        for (uint32_t i = 0; i < monitors.count && i < 31; ++i) {
            if (!(height & (1 << i))) continue;
            const PlatRect* m = monitor_at(&monitors, i);
            box.left = m->left < box.left ? m->left : box.left;
            box.top = m->top < box.top ? m->top : box.top;
            box.right = m->right > box.right ? m->right : box.right;
            box.bottom = m->bottom > box.bottom ? m->bottom : box.bottom;
            any = true;
        }
        // A mask naming no existing monitor selects nothing.
        if (any) place = placement_of(box);
        dynarray_free(&monitors);
    } else {
        place.width = width;
        place.height = height;
    }
    place.x += fullscreen_offset_x;
    place.y += fullscreen_offset_y;
    return place;
}

int32_t gfx_open_window(int32_t width, int32_t height, const char* title, void* instance) {
    WindowPlacement place = gfx_choose_window_rect(width, height);
    screen_width = place.width;
    screen_height = place.height;
    // Negative sizes (an empty span box, a negative explicit size) select nothing as well.
    if (place.width <= 0 || place.height <= 0) return 0;

    std::memset(key_state, 0, sizeof(key_state));
    std::memset(prev_key_state, 0, sizeof(prev_key_state));

    switch (plat_create_window(place.x, place.y, place.width, place.height, title, instance, &window_handle)) {
    case PLAT_CREATE_OK: break;
    case PLAT_CREATE_REGISTER_CLASS:
        report_inner("gfx_opengl", 578, REPORT_FATAL, "Failed To Register The Window Class.", 0);
        break;
    case PLAT_CREATE_WINDOW: report_inner("gfx_opengl", 583, REPORT_FATAL, "Window Creation Error.", 0); break;
    case PLAT_CREATE_CHOOSE_FORMAT:
        report_inner("gfx_opengl", 609, REPORT_FATAL, "Can't Find A Suitable PixelFormat.", 0);
        break;
    case PLAT_CREATE_SET_FORMAT: report_inner("gfx_opengl", 610, REPORT_FATAL, "Can't Set The PixelFormat.", 0); break;
    case PLAT_CREATE_CONTEXT:
        report_inner("gfx_opengl", 612, REPORT_FATAL, "Can't Create A GL Rendering Context.", 0);
        break;
    case PLAT_CREATE_MAKE_CURRENT: report_inner("gfx_opengl", 613, REPORT_FATAL, "Can't activate GLRC.", 0); break;
    }

    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_COLOR_MATERIAL);
    gfx_blend_equation = find_blend_equation();
    gfx_resize(screen_width, screen_height);
    glLoadIdentity();

    if (width > 0 && fullscreen_offset_x == 0 && fullscreen_offset_y == 0) {
        static bool restore_registered = false;
        if (!restore_registered) {
            std::atexit(restore_display_mode_at_exit);
            restore_registered = true;
        }
        plat_change_display_mode(place.width, place.height);
    }
    plat_hide_cursor();
    return 1;
}

void gfx_resize(int32_t width, int32_t height) {
    if (height <= 0) height = 1;
    screen_width = width;
    screen_height = height;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, height / 2, -(height / 2));
    glMatrixMode(GL_MODELVIEW);
}

int32_t gfx_window_proc(void* /*window*/, uint32_t message, uint32_t /*wparam*/, int32_t width, int32_t height) {
    switch (message) {
    case PLAT_MSG_SIZE: gfx_resize(width, height); return 0;
    case PLAT_MSG_CLOSE:
    case PLAT_MSG_DESTROY:
        gfx_release_context();
        quit_requested = 1;
        return 0;
    default: return 0;
    }
}

void gfx_release_context() {
    plat_restore_display_mode();
    plat_release_context();
}

int32_t gfx_pump_messages() {
    if (plat_pump_messages()) {
        quit_requested = 1;
        return 1;
    }
    if (plat_is_iconic()) {
        minimise_pending = 0;
        return quit_requested;
    }
    if (!minimise_pending) plat_set_topmost();
    std::memcpy(prev_key_state, key_state, sizeof(key_state));
    plat_get_keyboard_state(key_state);
    if (key_held(VK_KEY_MENU) && key_held(VK_KEY_TAB)) {
        minimise_pending = 1;
        plat_minimise();
    } else if (minimise_pending) {
        plat_minimise();
    }
    return quit_requested;
}

// ---------------------------------------------------------------------------
// Pixel overlay

void gfx_begin_2d() {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(viewport[0], viewport[0] + viewport[2], screen_height - viewport[1],
            screen_height - (viewport[1] + viewport[3]), screen_height / 2, -(screen_height / 2));
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
}

void gfx_end_2d() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
}

// ---------------------------------------------------------------------------
// Row interlacing

namespace {

// One texture of the compositor: the block of the frame from column x, row y
// (counted from the bottom) that fits a texture of width x height.
struct InterlaceTile {
    GLuint name;
    int32_t x, y;
    uint32_t width, height;
    bool same_block(const InterlaceTile& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
};
std::vector<InterlaceTile> interlace_tiles;

uint32_t pow2_floor(uint32_t n) {
    const uint32_t up = pow2_ceil(n);
    return up > n ? up / 2 : up;
}

// A single texture of the window's power-of-two size when the GL allows one;
// otherwise blocks of the largest allowed size, the last ones only as large
// as what is left of the window needs.
std::vector<InterlaceTile> interlace_layout(int32_t w, int32_t h) {
    const uint32_t limit = pow2_floor(static_cast<uint32_t>(texture_size_limit()));
    const uint32_t step_w = std::min(pow2_ceil(static_cast<uint32_t>(w)), limit);
    const uint32_t step_h = std::min(pow2_ceil(static_cast<uint32_t>(h)), limit);
    std::vector<InterlaceTile> tiles;
    for (int64_t y = 0; y < h; y += step_h)
        for (int64_t x = 0; x < w; x += step_w)
            tiles.push_back({0, static_cast<int32_t>(x), static_cast<int32_t>(y),
                             std::min(step_w, pow2_ceil(static_cast<uint32_t>(w - x))),
                             std::min(step_h, pow2_ceil(static_cast<uint32_t>(h - y)))});
    return tiles;
}

}  // namespace

void gfx_reset_state() {
    interlace_tiles.clear();
    screen_width = screen_height = 0;
    fullscreen_offset_x = fullscreen_offset_y = 0;
    window_handle = nullptr;
    std::memset(key_state, 0, sizeof(key_state));
    std::memset(prev_key_state, 0, sizeof(prev_key_state));
    quit_requested = 0;
    minimise_pending = 0;
}

int32_t interlace_source_row(int32_t height, int32_t parity, int32_t y) {
    return (height - 1 - y) / 2 + (((parity + y) & 1) == 0 ? height / 2 : 0);
}

void stereo_interlace(int32_t swap) {
    const int32_t w = screen_width, h = screen_height;
    if (w <= 0 || h <= 0) return;
    PlatRect rect = plat_get_window_rect();
    const int32_t parity = (swap ^ (rect.top & 1)) & 1;

    std::vector<InterlaceTile> layout = interlace_layout(w, h);
    const bool same = layout.size() == interlace_tiles.size() &&
                      std::equal(layout.begin(), layout.end(), interlace_tiles.begin(),
                                 [](const InterlaceTile& a, const InterlaceTile& b) { return a.same_block(b); });
    if (!same) {
        for (InterlaceTile& tile : interlace_tiles) glDeleteTextures(1, &tile.name);
        for (InterlaceTile& tile : layout) {
            glGenTextures(1, &tile.name);
            glBindTexture(GL_TEXTURE_2D, tile.name);
            glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, tile.x, tile.y, tile.width, tile.height, 0);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        }
        interlace_tiles = std::move(layout);
    }
    // Every block is copied before any row is drawn over the frame.
    for (const InterlaceTile& tile : interlace_tiles) {
        glBindTexture(GL_TEXTURE_2D, tile.name);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, tile.x, tile.y, std::min<int32_t>(tile.width, w - tile.x),
                            std::min<int32_t>(tile.height, h - tile.y));
    }

    gfx_begin_2d();
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glColor3f(1, 1, 1);
    for (const InterlaceTile& tile : interlace_tiles) {
        const int32_t right = std::min<int32_t>(tile.x + static_cast<int32_t>(tile.width), w);
        const float u = static_cast<float>(right - tile.x) / tile.width;
        glBindTexture(GL_TEXTURE_2D, tile.name);
        glBegin(GL_LINES);
        for (int32_t y = h - 1; y >= 0; --y) {
            const int32_t s = interlace_source_row(h, parity, y) - tile.y;
            if (s < 0 || s >= static_cast<int32_t>(tile.height)) continue;
            // Sample the centre of the source row and draw through the centre
            // of the output row, so each output row is exactly one source row.
            const float v = (s + 0.5f) / tile.height;
            glTexCoord2f(0, v);
            glVertex2f(static_cast<float>(tile.x), y + 0.5f);
            glTexCoord2f(u, v);
            glVertex2f(static_cast<float>(right), y + 0.5f);
        }
        glEnd();
    }
    glDisable(GL_TEXTURE_2D);
    gfx_end_2d();
}

// ---------------------------------------------------------------------------
// Screenshots

namespace {

void put_le16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put_le32(uint8_t* p, uint32_t v) {
    put_le16(p, v);
    put_le16(p + 2, v >> 16);
}

uint32_t bmp_row_bytes(int32_t width) { return (static_cast<uint32_t>(width) * 3 + 3) & ~3u; }

// The BMP path with its extension (after a dot past the first character) made png.
std::string png_path(const char* bmp) {
    std::string png = bmp;
    const size_t dot = png.rfind('.');
    if (dot != std::string::npos && dot > 0)
        png.replace(dot + 1, std::string::npos, "png");
    else
        png += ".png";
    return png;
}

bool path_taken(const char* path) {
    struct stat info;
    return stat(path, &info) == 0;
}

}  // namespace

int32_t screenshot_number(double seconds) {
    return static_cast<int32_t>(std::fmod(std::trunc(seconds * 3.3333333333333335), 100000.0));
}

void gfx_screenshot(const char* prefix) {
    const int number = static_cast<int>(screenshot_number(get_seconds()));
    // A name already taken by a BMP or a PNG gets a suffix: no screenshot is overwritten.
    char name[512];
    for (int copy = 1;; ++copy) {
        if (copy == 1)
            std::snprintf(name, sizeof(name), "%s_%05d.bmp", prefix, number);
        else
            std::snprintf(name, sizeof(name), "%s_%05d_%d.bmp", prefix, number, copy);
        if (!path_taken(name) && !path_taken(png_path(name).c_str())) break;
        if (copy == 1000) return;
    }

    if (screen_width <= 0 || screen_height <= 0) return;
    const size_t row_bytes = bmp_row_bytes(screen_width);
    std::vector<uint8_t> pixels(row_bytes * static_cast<size_t>(screen_height));
    // BMP rows are padded to 4 bytes, whatever packing the last read-back left.
    GLint pack_alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &pack_alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, screen_width, screen_height, GL_BGR, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, pack_alignment);
    bmp_save_and_convert(pixels.data(), screen_width, screen_height, name, 1);
}

void bmp_save_and_convert(const uint8_t* pixels, int32_t width, int32_t height, const char* path, int32_t convert) {
    const uint32_t image_size = bmp_row_bytes(width) * static_cast<uint32_t>(height);
    uint8_t header[54] = {};
    header[0] = 0x42;
    header[1] = 0x4D;
    put_le32(header + 2, 54 + image_size);
    put_le32(header + 10, 54);
    put_le32(header + 14, 40);
    put_le32(header + 18, static_cast<uint32_t>(width));
    put_le32(header + 22, static_cast<uint32_t>(height));
    put_le16(header + 26, 1);
    put_le16(header + 28, 24);
    put_le32(header + 34, image_size);
    put_le32(header + 38, 2834);
    put_le32(header + 42, 2834);

    FILE* file = std::fopen(path, "wb");
    if (!file) return;
    std::fwrite(header, 1, sizeof(header), file);
    std::fwrite(pixels, 1, image_size, file);
    std::fclose(file);
    if (!convert) return;

    const std::string png = png_path(path);
    const char* const magick[] = {"magick", "-quality", "95", path, png.c_str(), nullptr};
    int status = plat_run_program(magick);
    // ImageMagick 6 has "convert" only; not on Windows, whose convert.exe converts file systems.
#ifndef _WIN32
    if (status == -1) {
        const char* const convert_6[] = {"convert", "-quality", "95", path, png.c_str(), nullptr};
        status = plat_run_program(convert_6);
    }
#endif
    if (status == 0 && path_taken(png.c_str())) plat_delete_file(path);
}
