// Resolution, fullscreen offset, stereo mode and swap, read from the settings.
#pragma once

#include "settings.h"

#include <cstdint>

extern const char* const RESOLUTION_KEY;
extern const char* const STEREO_MODE_KEY;
extern const char* const SWAP_STEREO_KEY;

void read_resolution(ConfigList* list);
void read_stereo_settings(ConfigList* list, int32_t* stereo_mode, int32_t* swap_stereo);
