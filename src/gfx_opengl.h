// Window, GL context, monitors, message pump, pixel projection, interlace
// compositor and screenshots.
#pragma once

#include "gl.h"
#include "platform/platform.h"

#include <cstdint>

extern int32_t screen_width, screen_height;   // the request before gfx_open_window, then the real size
extern int32_t fullscreen_offset_x, fullscreen_offset_y;
extern void* window_handle;
extern uint8_t key_state[256];
extern uint8_t prev_key_state[256];
extern int32_t quit_requested;
extern uint8_t minimise_pending;

// Win32 virtual-key codes the program reads.
enum : uint8_t {
    VK_KEY_BACK = 0x08, VK_KEY_TAB = 0x09, VK_KEY_RETURN = 0x0D,
    VK_KEY_SHIFT = 0x10, VK_KEY_CONTROL = 0x11, VK_KEY_MENU = 0x12,
    VK_KEY_ESCAPE = 0x1B, VK_KEY_SPACE = 0x20,
    VK_KEY_LEFT = 0x25, VK_KEY_UP = 0x26, VK_KEY_RIGHT = 0x27, VK_KEY_DOWN = 0x28,
    VK_KEY_LSHIFT = 0xA0, VK_KEY_RSHIFT = 0xA1, VK_KEY_LCONTROL = 0xA2,
    VK_KEY_RCONTROL = 0xA3, VK_KEY_LMENU = 0xA4, VK_KEY_RMENU = 0xA5,
};

inline bool key_held(uint8_t vk) { return (key_state[vk] & 0x80) != 0; }
inline bool key_newly_pressed(uint8_t vk) {
    return (key_state[vk] & 0x80) != 0 && (prev_key_state[vk] & 0x80) == 0;
}

// The window rectangle for a resolution request; returns false (and a zero
// size) when the request selects nothing.
struct WindowPlacement {
    int32_t x, y, width, height;
};
WindowPlacement gfx_choose_window_rect(int32_t width, int32_t height);

int32_t gfx_open_window(int32_t width, int32_t height, const char* title, void* instance);
void gfx_resize(int32_t width, int32_t height);
int32_t gfx_window_proc(void* window, uint32_t message, uint32_t wparam, int32_t width, int32_t height);
int32_t gfx_pump_messages();
void gfx_release_context();
void collect_monitor_rect(const PlatRect* rect, void* user);

// glBlendEquation of the window's context (OpenGL 1.4, ARB_imaging or
// EXT_blend_subtract), or null where blending can only add; found when the
// window opens. Tests set it to null to take the path of such drivers.
typedef void(APIENTRY* GfxBlendEquation)(GLenum mode);
extern GfxBlendEquation gfx_blend_equation;

// Pixel-addressed overlay for the current viewport, and back.
void gfx_begin_2d();
void gfx_end_2d();

// Row interlacing of the two eye halves (stereo mode 3).
void stereo_interlace(int32_t swap);
// Back to the state at start-up: no window, no sizes, no keys, no compositor
// texture; for a new GL context in the same process.
void gfx_reset_state();
// The frame row shown at output row y (counted from the window's top) of an
// interlaced window of the given height and parity.
int32_t interlace_source_row(int32_t height, int32_t parity, int32_t y);

// Screenshots.
void gfx_screenshot(const char* prefix);
// The file number for a clock reading: a step every 0.3 s, wrapping at 100000.
int32_t screenshot_number(double seconds);
// Writes the BMP over `path`; with convert, the converter writes the PNG beside
// it, which must not exist yet, and the BMP goes once the converter succeeded.
void bmp_save_and_convert(const uint8_t* pixels, int32_t width, int32_t height, const char* path, int32_t convert);
