// The SDL2 backend: the program's window, context, input and clock on Linux
// and macOS.
#include "platform/platform.h"

#include "platform/keymap.h"
#include "platform/posix.h"
#include "render/gl.h"

#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
uint8_t key_presses[256] = {};  // since the last keyboard snapshot
bool video_ready = false;
bool mode_changed = false;

// However the process ends, the context and window go before the display
// connection: Mesa's software renderer can otherwise hang joining its
// threads while the connection closes under a live context.
void shut_down_video() {
    if (context) {
        glFinish();
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
        context = nullptr;
    }
    if (window) {
        SDL_DestroyWindow(window);
        window = nullptr;
    }
    SDL_Quit();
}

bool ensure_video() {
    if (video_ready) return true;
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return false;
    }
    std::atexit(shut_down_video);
    video_ready = true;
    return true;
}

void deliver_size() {
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window, &w, &h);
    gfx_window_proc(window, PLAT_MSG_SIZE, 0, w, h);
}

}  // namespace

PlatCreateResult plat_create_window(int32_t x, int32_t y, int32_t w, int32_t h, const char* title, void*,
                                    void** window_out) {
    if (!ensure_video()) return PLAT_CREATE_REGISTER_CLASS;
    // The closest format to 24 colour and 32 depth bits, double-buffered.
    static const int depths[] = {32, 24, 16};
    for (int depth : depths) {
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        window = SDL_CreateWindow(title, x, y, w, h,
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP |
                                      SDL_WINDOW_SHOWN);
        if (window) break;
    }
    if (!window) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return PLAT_CREATE_WINDOW;
    }
    *window_out = window;
    context = SDL_GL_CreateContext(window);
    if (!context) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return PLAT_CREATE_CONTEXT;
    }
    if (SDL_GL_MakeCurrent(window, context) != 0) return PLAT_CREATE_MAKE_CURRENT;
    SDL_GL_SetSwapInterval(1);
    deliver_size();
    return PLAT_CREATE_OK;
}

void plat_release_context() {
    if (!context) return;
    SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(context);
    context = nullptr;
}

void* plat_gl_proc_address(const char* name) { return context ? SDL_GL_GetProcAddress(name) : nullptr; }

void plat_swap_buffers() {
    if (window && context) SDL_GL_SwapWindow(window);
}

int plat_pump_messages() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) return 1;
        if (event.type == SDL_KEYDOWN && !event.key.repeat) {
            const SDL_Scancode usage = event.key.keysym.scancode;
            count_key_press(key_presses, vk_of_key(usage, static_cast<int32_t>(SDL_GetKeyFromScancode(usage))));
            continue;
        }
        if (event.type != SDL_WINDOWEVENT) continue;
        switch (event.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESTORED:
            if (context) deliver_size();
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            if (context) gfx_window_proc(window, PLAT_MSG_SIZE, 0, 0, 0);
            break;
        case SDL_WINDOWEVENT_CLOSE: gfx_window_proc(window, PLAT_MSG_CLOSE, 0, 0, 0); break;
        default: break;
        }
    }
    return 0;
}

int plat_wait_messages(uint32_t ms) {
    SDL_WaitEventTimeout(nullptr, static_cast<int>(ms));
    return plat_pump_messages();
}

void plat_get_keyboard_state(uint8_t keys[256], uint8_t presses[256]) {
    int count = 0;
    const Uint8* pressed = SDL_GetKeyboardState(&count);
    const KeyLayout layout = [](int usage) {
        return static_cast<int32_t>(SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(usage)));
    };
    keys_from_usages(pressed, count, layout, keys);
    std::memcpy(presses, key_presses, sizeof key_presses);
    std::memset(key_presses, 0, sizeof key_presses);
}

bool plat_is_iconic() { return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_MINIMIZED); }
void plat_minimise() {
    if (window) SDL_MinimizeWindow(window);
}
void plat_set_topmost() {
    if (window && !(SDL_GetWindowFlags(window) & SDL_WINDOW_ALWAYS_ON_TOP)) SDL_SetWindowAlwaysOnTop(window, SDL_TRUE);
}

PlatRect plat_get_window_rect() {
    int x = 0, y = 0, w = 0, h = 0;
    if (window) {
        SDL_GetWindowPosition(window, &x, &y);
        SDL_GetWindowSize(window, &w, &h);
    }
    return {x, y, x + w, y + h};
}

void plat_get_cursor_pos(int32_t* x, int32_t* y) {
    int cx = 0, cy = 0;
    SDL_GetGlobalMouseState(&cx, &cy);
    *x = cx;
    *y = cy;
}
void plat_set_cursor_pos(int32_t x, int32_t y) { SDL_WarpMouseGlobal(x, y); }
void plat_hide_cursor() { SDL_ShowCursor(SDL_DISABLE); }

void plat_enum_monitors(PlatMonitorCallback callback, void* user) {
    if (!ensure_video()) return;
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(i, &bounds) != 0) continue;
        PlatRect rect{bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
        callback(&rect, user);
    }
}

// SDL lists the primary output first (X11 with RandR).
PlatRect plat_primary_screen() {
    SDL_Rect bounds{0, 0, 0, 0};
    if (ensure_video()) SDL_GetDisplayBounds(0, &bounds);
    return {bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
}

void plat_virtual_screen(int32_t* x, int32_t* y, int32_t* w, int32_t* h) {
    SDL_Rect all{0, 0, 0, 0};
    if (ensure_video())
        for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
            SDL_Rect bounds;
            if (SDL_GetDisplayBounds(i, &bounds) != 0) continue;
            if (i == 0)
                all = bounds;
            else
                SDL_UnionRect(&all, &bounds, &all);
        }
    *x = all.x;
    *y = all.y;
    *w = all.w;
    *h = all.h;
}

void plat_change_display_mode(int32_t w, int32_t h) {
    if (!window) return;
    SDL_DisplayMode mode;
    if (SDL_GetWindowDisplayMode(window, &mode) != 0) return;
    mode.w = w;
    mode.h = h;
    if (SDL_SetWindowDisplayMode(window, &mode) == 0 && SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) == 0)
        mode_changed = true;
}

void plat_restore_display_mode() {
    if (!mode_changed || !window) return;
    SDL_SetWindowFullscreen(window, 0);
    mode_changed = false;
}

bool plat_query_performance_frequency(int64_t* frequency) {
    *frequency = static_cast<int64_t>(SDL_GetPerformanceFrequency());
    return *frequency > 0;
}
void plat_query_performance_counter(int64_t* counter) { *counter = static_cast<int64_t>(SDL_GetPerformanceCounter()); }
uint32_t plat_tick_count() { return SDL_GetTicks(); }
uint32_t plat_seed_clock() {
    const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count());
}
void plat_sleep(uint32_t milliseconds) { SDL_Delay(milliseconds); }
uint32_t plat_thread_id() { return static_cast<uint32_t>(SDL_ThreadID()); }
bool plat_delete_file(const char* path) { return std::remove(path) == 0; }
bool plat_replace_file(const char* from, const char* to) { return std::rename(from, to) == 0; }
int plat_run_program(const char* const argv[]) { return posix_run_program(argv); }
void plat_lower_thread_priority() { posix_lower_thread_priority(); }
bool plat_path_exists(const char* path) { return posix_path_exists(path); }
int64_t plat_regular_file_size(const char* path) { return posix_regular_file_size(path); }
const char* const* plat_image_converters() { return posix_image_converters(); }
bool plat_text_lines_end_crlf() { return false; }
