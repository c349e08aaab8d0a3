// A folder without a slide list: its stereo pictures become the slides.
#pragma once

#include "config/settings.h"

#include <functional>
#include <string>
#include <vector>

struct StereoPair {
    std::string left, right;  // the same file for an MPO, JPS, PNS or spatial HEIC picture
};

// The stereo pictures among the file names, in natural name order (img2
// before img10): MPO, JPS and PNS files, JPEG and PNG files whose names say
// they are side by side, HEIC files that holds_stereo_pair
// (called once for each), and left/right pairs of JPEG, PNG, BMP or other
// HEIC files recognised by name. Everything else is left out.
std::vector<StereoPair> folder_stereo_pairs(const std::vector<std::string>& names,
                                            const std::function<bool(const std::string&)>& holds_stereo_pair);

// When the settings name no "Left image", appends the working folder's stereo
// pictures as "Left image" and "Right image" entries, the folder show's
// timing unless the settings give a "Slide time", and automatic alignment
// unless they say whether to align.
void add_folder_show(ConfigList* list);
