// The display record, apart from the window code, so that what reads it
// (the texture size limit) does not bring in the window.
#include "display/display.h"

Display display;
