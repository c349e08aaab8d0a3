// The display: the window on the desktop, its GL context, and the keyboard
// snapshots the frames read. All of it lives in one record, owned here.
#pragma once

#include "platform/platform.h"
#include "render/gl.h"

#include <cstdint>
#include <vector>

// Which window the settings ask for.
struct ResolutionRequest {
    enum class Kind {
        primary,        // the primary screen
        monitor,        // one monitor, counted from 1; out of range means the first
        span_all,       // the box around every monitor
        span_monitors,  // the box around the monitors in the mask (bit i: monitor i + 1)
        size,           // width x height at the top left, switching the display mode
    };
    Kind kind = Kind::primary;
    int32_t monitor = 0;
    uint32_t monitor_mask = 0;
    int32_t width = 0, height = 0;
};
// An explicit "WxH" as read, a side that cannot be read being 0: a width of
// 0 names monitor `height`, a width of -1 a span, as the named forms do.
ResolutionRequest resolution_of_size(int32_t width, int32_t height);

// glBlendEquation of the window's context (OpenGL 1.4, ARB_imaging or
// EXT_blend_subtract), or null where blending can only add.
typedef void(APIENTRY* GfxBlendEquation)(GLenum mode);

// One texture of the interlace compositor: the block of the frame from
// column x, row y (counted from the bottom) that fits width x height.
struct InterlaceTile {
    GLuint name;
    int32_t x, y;
    uint32_t width, height;
};

struct Display {
    ResolutionRequest resolution;
    int32_t screen_width = 0, screen_height = 0;  // the window's client size once it is open
    int32_t fullscreen_offset_x = 0, fullscreen_offset_y = 0;
    void* window_handle = nullptr;
    // The keyboard as each frame reads it: what is down, what was down a
    // frame before, and how often each key went down in between.
    uint8_t key_state[256] = {};
    uint8_t prev_key_state[256] = {};
    uint8_t key_presses[256] = {};
    // Gathered while something is awaited, for the next snapshot.
    uint8_t waiting_key_state[256] = {};
    uint8_t waiting_key_presses[256] = {};
    int32_t quit_requested = 0;
    uint8_t minimise_pending = 0;

    // What the window's GL context offers and holds. Tests set blend_equation
    // to null to take the path of drivers without it, and texture_size_cap
    // below GL_MAX_TEXTURE_SIZE to reach the reduction of oversized pictures.
    GfxBlendEquation blend_equation = nullptr;
    int32_t texture_size_cap = 0;
    std::vector<InterlaceTile> interlace_tiles;
};
extern Display display;

// Win32 virtual-key codes the program reads.
enum : uint8_t {
    VK_KEY_BACK = 0x08, VK_KEY_TAB = 0x09, VK_KEY_RETURN = 0x0D,
    VK_KEY_SHIFT = 0x10, VK_KEY_CONTROL = 0x11, VK_KEY_MENU = 0x12,
    VK_KEY_ESCAPE = 0x1B, VK_KEY_SPACE = 0x20,
    VK_KEY_LEFT = 0x25, VK_KEY_UP = 0x26, VK_KEY_RIGHT = 0x27, VK_KEY_DOWN = 0x28,
    VK_KEY_LSHIFT = 0xA0, VK_KEY_RSHIFT = 0xA1, VK_KEY_LCONTROL = 0xA2,
    VK_KEY_RCONTROL = 0xA3, VK_KEY_LMENU = 0xA4, VK_KEY_RMENU = 0xA5,
};

inline bool key_held(uint8_t vk) { return (display.key_state[vk] & 0x80) != 0; }
// How often a key went down since the frame before: a press and release
// between two frames counts in the later one.
inline int key_press_count(uint8_t vk) {
    const bool went_down = (display.key_state[vk] & 0x80) != 0 && (display.prev_key_state[vk] & 0x80) == 0;
    return display.key_presses[vk] > 0 ? display.key_presses[vk] : went_down ? 1 : 0;
}
inline bool key_newly_pressed(uint8_t vk) { return key_press_count(vk) > 0; }
// While something is awaited: whether a key is down or has gone down since the last frame.
inline bool key_asked_while_waiting(uint8_t vk) {
    return (display.waiting_key_state[vk] & 0x80) != 0 || display.waiting_key_presses[vk] > 0;
}

// The window rectangle for a resolution request, moved by the fullscreen
// offset; a zero size when the request selects nothing.
struct WindowPlacement {
    int32_t x, y, width, height;
};
WindowPlacement gfx_choose_window_rect(const ResolutionRequest& request);

// Opens the window the record's resolution asks for, with its context made
// current and a pixel projection; 0 when the request selects no window.
int32_t gfx_open_window(const char* title, void* instance);
void gfx_resize(int32_t width, int32_t height);
// Messages, key snapshot and minimising; returns quit_requested.
int32_t gfx_pump_messages();
// While something is awaited: waits up to `ms` milliseconds for messages,
// dispatches them and gathers the keys for the next snapshot; returns
// quit_requested.
int32_t gfx_wait_messages(uint32_t ms);
void gfx_release_context();
void collect_monitor_rect(const PlatRect* rect, void* user);
