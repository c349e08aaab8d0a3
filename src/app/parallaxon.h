// The slideshow application: start-up, the frame loop and the exit.
#pragma once

// Runs the show its arguments (UTF-8, after the program's name) ask for: the
// working folder's, another folder's or a picture's; the process's exit status.
int app_main(int argc, const char* const argv[], void* instance);

// Order and clock.
int pick_random_slide(int n_count, double n_over_32768);
double zoom_factor(double slide_clock, double pause_before_zoom, double inverse_zoom_time);
