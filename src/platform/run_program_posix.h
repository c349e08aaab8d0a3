// The POSIX backends' plat_run_program: a PATH search that skips the current
// folder, then posix_spawn and a wait.
#pragma once

int posix_run_program(const char* const argv[]);
