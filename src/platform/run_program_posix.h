// What the POSIX backends share.
#pragma once

// plat_run_program: a PATH search that skips the current folder, then
// posix_spawn and a wait.
int posix_run_program(const char* const argv[]);
// plat_lower_thread_priority: a nice value of its own for the thread (Linux).
void posix_lower_thread_priority();
