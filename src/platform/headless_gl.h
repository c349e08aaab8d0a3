// The offscreen GL context under the headless backend (OSMesa on Linux).
#pragma once

#include <cstdint>

bool headless_gl_create(int32_t width, int32_t height);
void headless_gl_destroy();
void* headless_gl_proc_address(const char* name);
