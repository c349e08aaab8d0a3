// The headless backend's script and record: what the "desktop" looks like,
// what the keyboard, mouse and clock say, and what the program asked for.
// GL runs offscreen on OSMesa, so frames can be read back pixel by pixel.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace headless {

struct State {
    // Scripted desktop.
    std::vector<PlatRect> monitors{{0, 0, 1920, 1080}};
    int32_t primary_x = 0, primary_y = 0, primary_w = 1920, primary_h = 1080;
    int32_t virtual_x = 0, virtual_y = 0, virtual_w = 1920, virtual_h = 1080;
    PlatCreateResult fail_step = PLAT_CREATE_OK;  // simulate a creation failure

    // Scripted input.
    uint8_t keys[256] = {};
    uint8_t presses[256] = {};  // key-down events since the last snapshot, whatever keys[] says now
    int32_t cursor_x = 0, cursor_y = 0;

    // Scripted clock: the counter advances by frame_ticks at every buffer swap.
    bool has_performance_counter = true;
    int64_t frequency = 1000000;
    int64_t counter = 0;
    int64_t frame_ticks = 16667;
    uint32_t ticks = 0;
    uint32_t seed_clock = 0;  // what plat_seed_clock reads
    bool run_programs = false;  // really run the programs handed to plat_run_program (not on Windows)

    // Hooks. on_pump runs at the start of every message pump with the number
    // of pumps so far (the start-up pump is 0); on_swap runs before every
    // buffer swap, when the finished frame can still be read back.
    std::function<void(int pump)> on_pump;
    std::function<void(int frame)> on_swap;
    // Runs at every wait for messages while something else is awaited (not
    // counted as a pump), with the number of such waits so far.
    std::function<void(int wait)> on_wait;
    // Runs when a picture file is about to be read, on whichever thread reads it.
    std::function<void(const char* path)> on_file;
    bool quit_message = false;   // the next pump takes WM_QUIT
    bool close_window = false;   // the next pump delivers WM_CLOSE
    bool iconic = false;

    // Record.
    bool window_open = false;
    PlatRect window{};
    std::string title;
    void* instance = nullptr;
    int pumps = 0, swaps = 0, waits = 0;
    int topmost_calls = 0, minimise_calls = 0, hide_cursor_calls = 0, release_calls = 0;
    std::vector<std::pair<int32_t, int32_t>> mode_changes;
    int mode_restores = 0;
    std::vector<std::pair<int32_t, int32_t>> cursor_moves;
    std::vector<std::vector<std::string>> programs;  // argv of every program run
    std::vector<std::string> deleted_files;
    uint64_t slept_ms = 0;
};

State& state();

// Forget every script and record, release any GL context, and put the whole
// process back as it starts: display globals, fonts, compositor texture,
// texture limit, report stack, clock choice and random generator.
void reset();

// Read the current colour buffer as top-down RGB rows (3 bytes a pixel).
std::vector<uint8_t> read_frame_rgb();

// A bare offscreen GL context of w x h for tests that need GL but no window.
void make_gl_context(int w, int h);

}  // namespace headless
