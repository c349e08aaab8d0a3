// The slideshow application: start-up, the frame loop and the exit.
#pragma once

// Runs the show in the working folder; the process's exit status.
int app_main(const char* command_line, void* instance);

// Order and clock.
int pick_random_slide(int n_count, double n_over_32768);
double zoom_factor(double slide_clock, double pause_before_zoom, double inverse_zoom_time);
