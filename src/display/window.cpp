// The window: where it goes on the desktop, its GL context, its messages and
// the keyboard snapshot of every frame.
#include "display/display.h"

#include "base/report.h"
#include "config/settings.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>


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

ResolutionRequest resolution_of_size(int32_t width, int32_t height) {
    using Kind = ResolutionRequest::Kind;
    ResolutionRequest request;
    if (width == 0 && height == 0) {
        request.kind = Kind::primary;
    } else if (width == 0) {
        request.kind = Kind::monitor;
        request.monitor = height;
    } else if (width == -1 && height <= 0) {
        request.kind = Kind::span_all;
    } else if (width == -1) {
        request.kind = Kind::span_monitors;
        request.monitor_mask = static_cast<uint32_t>(height);
    } else {
        request.kind = Kind::size;
        request.width = width;
        request.height = height;
    }
    return request;
}

WindowPlacement gfx_choose_window_rect(const ResolutionRequest& request) {
    using Kind = ResolutionRequest::Kind;
    WindowPlacement place{0, 0, 0, 0};
    switch (request.kind) {
    case Kind::primary: place = placement_of(plat_primary_screen()); break;
    case Kind::monitor: {
        DynArray monitors = enumerate_monitors();
        if (monitors.count > 0) {
            const int32_t n = request.monitor;
            const uint32_t index = (n >= 1 && static_cast<uint32_t>(n) <= monitors.count) ? n - 1 : 0;
            place = placement_of(*monitor_at(&monitors, index));
        }
        dynarray_free(&monitors);
        break;
    }
    case Kind::span_all: plat_virtual_screen(&place.x, &place.y, &place.width, &place.height); break;
    case Kind::span_monitors: {
        DynArray monitors = enumerate_monitors();
        PlatRect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
        bool any = false;
        for (uint32_t i = 0; i < monitors.count && i < 31; ++i) {
            if (!(request.monitor_mask & (1u << i))) continue;
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
        break;
    }
    case Kind::size:
        place.width = request.width;
        place.height = request.height;
        break;
    }
    place.x += display.fullscreen_offset_x;
    place.y += display.fullscreen_offset_y;
    return place;
}

int32_t gfx_open_window(const char* title, void* instance) {
    const WindowPlacement place = gfx_choose_window_rect(display.resolution);
    display.screen_width = place.width;
    display.screen_height = place.height;
    // Negative sizes (an empty span box, a negative explicit size) select nothing as well.
    if (place.width <= 0 || place.height <= 0) return 0;

    std::memset(display.key_state, 0, sizeof(display.key_state));
    std::memset(display.prev_key_state, 0, sizeof(display.prev_key_state));
    std::memset(display.key_presses, 0, sizeof(display.key_presses));

    switch (plat_create_window(place.x, place.y, place.width, place.height, title, instance, &display.window_handle)) {
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
    display.blend_equation = find_blend_equation();
    gfx_resize(display.screen_width, display.screen_height);
    glLoadIdentity();

    if (display.resolution.kind == ResolutionRequest::Kind::size && display.fullscreen_offset_x == 0 &&
        display.fullscreen_offset_y == 0) {
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
    display.screen_width = width;
    display.screen_height = height;
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
        display.quit_requested = 1;
        return 0;
    default: return 0;
    }
}

void gfx_release_context() {
    plat_restore_display_mode();
    plat_release_context();
}

namespace {

// Adds the presses since the last call to `presses`, saturating.
void gather_keys(uint8_t keys[256], uint8_t presses[256]) {
    uint8_t since[256];
    plat_get_keyboard_state(keys, since);
    for (int vk = 0; vk < 256; ++vk) presses[vk] = static_cast<uint8_t>(std::min(255, presses[vk] + since[vk]));
}

}  // namespace

int32_t gfx_wait_messages(uint32_t ms) {
    if (plat_wait_messages(ms)) display.quit_requested = 1;
    gather_keys(display.waiting_key_state, display.waiting_key_presses);
    return display.quit_requested;
}

int32_t gfx_pump_messages() {
    if (plat_pump_messages()) {
        display.quit_requested = 1;
        return 1;
    }
    if (plat_is_iconic()) {
        display.minimise_pending = 0;
        return display.quit_requested;
    }
    if (!display.minimise_pending) plat_set_topmost();
    std::memcpy(display.prev_key_state, display.key_state, sizeof(display.key_state));
    std::memcpy(display.key_presses, display.waiting_key_presses, sizeof(display.key_presses));
    std::memset(display.waiting_key_presses, 0, sizeof(display.waiting_key_presses));
    gather_keys(display.key_state, display.key_presses);
    if (key_held(VK_KEY_MENU) && key_held(VK_KEY_TAB)) {
        display.minimise_pending = 1;
        plat_minimise();
    } else if (display.minimise_pending) {
        plat_minimise();
    }
    return display.quit_requested;
}
