// What the POSIX backends (SDL and headless) share.
#pragma once

#include <cstdint>

// plat_run_program: a PATH search that skips the current folder, then
// posix_spawn and a wait.
int posix_run_program(const char* const argv[]);
// plat_lower_thread_priority: a nice value of its own for the thread (Linux).
void posix_lower_thread_priority();
// plat_path_exists, plat_regular_file_size, plat_image_converters.
bool posix_path_exists(const char* path);
int64_t posix_regular_file_size(const char* path);
const char* const* posix_image_converters();
