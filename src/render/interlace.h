// The row-interlace compositor: the two eye halves of the frame woven into
// alternate rows, each eye on the same physical rows wherever the window sits.
#pragma once

#include <cstdint>

void stereo_interlace(int32_t swap);
// The frame row shown at output row y (counted from the window's top) of an
// interlaced window of the given height and parity.
int32_t interlace_source_row(int32_t height, int32_t parity, int32_t y);
