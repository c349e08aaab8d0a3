// Translation of USB HID keyboard usages (SDL's scancodes) into the Win32
// virtual-key layout that the program reads.
#pragma once

#include <cstdint>

// The virtual-key code of a HID usage, or 0 for a key the layout lacks.
uint8_t vk_from_hid_usage(int usage);

// Sets the generic Shift, Ctrl and Alt entries from their left and right
// variants, as GetKeyboardState reports them.
void keys_fill_generic(uint8_t keys[256]);
