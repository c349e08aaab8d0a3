// The headless backend: a scripted desktop for tests, GL offscreen.
#include "platform/headless.h"
#include "platform/headless_gl.h"
#include "platform/posix.h"

#include "base/rand15.h"
#include "base/report.h"
#include "display/display.h"
#include "render/gl.h"
#include "text/bitmapfonts.h"

#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <thread>

namespace headless {

namespace {
State* current_state = nullptr;
}

State& state() {
    if (!current_state) current_state = new State();
    return *current_state;
}

void reset() {
    headless_gl_destroy();
    delete current_state;
    current_state = new State();
    display = Display{};
    font_state = FontState{};
    report_state = ReportState{};
    random_state = RandomState{};
}

std::vector<uint8_t> read_frame_rgb() {
    GLint viewport[4] = {0, 0, 0, 0};
    State& s = state();
    int32_t w = s.window_open ? s.window.right - s.window.left : 0;
    int32_t h = s.window_open ? s.window.bottom - s.window.top : 0;
    if (!s.window_open) {
        glGetIntegerv(GL_VIEWPORT, viewport);
        w = viewport[2];
        h = viewport[3];
    }
    std::vector<uint8_t> bottom_up(static_cast<size_t>(w) * h * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, bottom_up.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    std::vector<uint8_t> rows(bottom_up.size());
    const size_t row_bytes = static_cast<size_t>(w) * 3;
    for (int32_t y = 0; y < h; ++y)
        std::memcpy(&rows[y * row_bytes], &bottom_up[(h - 1 - y) * row_bytes], row_bytes);
    return rows;
}

void make_gl_context(int w, int h) {
    if (!headless_gl_create(w, h)) {
        std::fprintf(stderr, "headless: no offscreen GL context\n");
        return;
    }
    glViewport(0, 0, w, h);
}

}  // namespace headless

using headless::state;

PlatCreateResult plat_create_window(int32_t x, int32_t y, int32_t w, int32_t h, const char* title, void* instance,
                                    void** window_out) {
    headless::State& s = state();
    if (s.fail_step == PLAT_CREATE_REGISTER_CLASS || s.fail_step == PLAT_CREATE_WINDOW) return s.fail_step;
    s.window = {x, y, x + w, y + h};
    s.title = title ? title : "";
    s.instance = instance;
    s.window_open = true;
    *window_out = &s;
    if (s.fail_step != PLAT_CREATE_OK) return s.fail_step;
    if (!headless_gl_create(w, h)) return PLAT_CREATE_CONTEXT;
    // A new window receives its first size message.
    gfx_window_proc(*window_out, PLAT_MSG_SIZE, 0, w, h);
    return PLAT_CREATE_OK;
}

void plat_release_context() {
    ++state().release_calls;
    headless_gl_destroy();
}

void* plat_gl_proc_address(const char* name) { return headless_gl_proc_address(name); }

void plat_swap_buffers() {
    headless::State& s = state();
    if (s.on_swap) s.on_swap(s.swaps);
    ++s.swaps;
    s.counter += s.frame_ticks;
    s.ticks += static_cast<uint32_t>(s.frame_ticks * 1000 / (s.frequency > 0 ? s.frequency : 1));
}

namespace {

// The messages the script has put in the queue.
int deliver_messages(headless::State& s) {
    if (s.close_window) {
        s.close_window = false;
        gfx_window_proc(&s, PLAT_MSG_CLOSE, 0, 0, 0);
    }
    if (s.quit_message) {
        s.quit_message = false;
        return 1;
    }
    return 0;
}

}  // namespace

int plat_pump_messages() {
    headless::State& s = state();
    if (s.on_pump) s.on_pump(s.pumps);
    ++s.pumps;
    return deliver_messages(s);
}

int plat_wait_messages(uint32_t ms) {
    headless::State& s = state();
    if (s.on_wait) s.on_wait(s.waits);
    ++s.waits;
    // Real time passes, for the threads awaited; the scripted clock stands still.
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return deliver_messages(s);
}

void plat_get_keyboard_state(uint8_t keys[256], uint8_t presses[256]) {
    std::memcpy(keys, state().keys, 256);
    std::memcpy(presses, state().presses, 256);
    std::memset(state().presses, 0, 256);
}
bool plat_is_iconic() { return state().iconic; }
void plat_minimise() {
    ++state().minimise_calls;
}
void plat_set_topmost() { ++state().topmost_calls; }
PlatRect plat_get_window_rect() { return state().window; }
void plat_get_cursor_pos(int32_t* x, int32_t* y) {
    *x = state().cursor_x;
    *y = state().cursor_y;
}
void plat_set_cursor_pos(int32_t x, int32_t y) {
    state().cursor_x = x;
    state().cursor_y = y;
    state().cursor_moves.emplace_back(x, y);
}
void plat_hide_cursor() { ++state().hide_cursor_calls; }

void plat_enum_monitors(PlatMonitorCallback callback, void* user) {
    for (const PlatRect& r : state().monitors) callback(&r, user);
}
PlatRect plat_primary_screen() {
    const headless::State& s = state();
    return {s.primary_x, s.primary_y, s.primary_x + s.primary_w, s.primary_y + s.primary_h};
}
void plat_virtual_screen(int32_t* x, int32_t* y, int32_t* w, int32_t* h) {
    *x = state().virtual_x;
    *y = state().virtual_y;
    *w = state().virtual_w;
    *h = state().virtual_h;
}
void plat_change_display_mode(int32_t w, int32_t h) { state().mode_changes.emplace_back(w, h); }
void plat_restore_display_mode() { ++state().mode_restores; }

bool plat_query_performance_frequency(int64_t* frequency) {
    *frequency = state().frequency;
    return state().has_performance_counter;
}
void plat_query_performance_counter(int64_t* counter) { *counter = state().counter; }
uint32_t plat_tick_count() { return state().ticks; }
uint32_t plat_seed_clock() { return state().seed_clock; }
void plat_sleep(uint32_t milliseconds) { state().slept_ms += milliseconds; }
uint32_t plat_thread_id() { return 1; }
bool plat_delete_file(const char* path) {
    state().deleted_files.emplace_back(path);
    return std::remove(path) == 0;
}
bool plat_replace_file(const char* from, const char* to) { return std::rename(from, to) == 0; }
bool plat_path_exists(const char* path) { return posix_path_exists(path); }
int64_t plat_regular_file_size(const char* path) {
    // On the loader's thread too: the hook is set before the show starts.
    if (state().on_file) state().on_file(path);
    return posix_regular_file_size(path);
}
const char* const* plat_image_converters() { return posix_image_converters(); }
bool plat_text_lines_end_crlf() { return false; }
int plat_run_program(const char* const argv[]) {
    std::vector<std::string> arguments;
    for (const char* const* a = argv; *a; ++a) arguments.emplace_back(*a);
    state().programs.push_back(arguments);
    return state().run_programs ? posix_run_program(argv) : -1;
}
void plat_lower_thread_priority() { posix_lower_thread_priority(); }
