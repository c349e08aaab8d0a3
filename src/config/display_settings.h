// Resolution, fullscreen offset, stereo mode and swap, read from the settings.
#pragma once

#include "config/settings.h"
#include "render/stereo_mode.h"

#include <cstdint>

extern const char* const RESOLUTION_KEY;
extern const char* const SWAP_STEREO_KEY;

// The window the "Resolution" and "Fullscreen offset" entries ask for, into
// the display record; a list without "Resolution" gains it.
void read_resolution(ConfigList* list);
void read_stereo_settings(ConfigList* list, StereoMode* stereo_mode, int32_t* swap_stereo);
