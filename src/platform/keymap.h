// Translation of USB HID keyboard usages (SDL's scancodes) into the Win32
// virtual-key layout that the program reads.
#pragma once

#include <cstdint>
#include <functional>

// The virtual-key code of a HID usage, or 0 for a key the layout lacks.
uint8_t vk_from_hid_usage(int usage);

// The key code the current keyboard layout gives the key at a HID usage:
// letters as lower-case ASCII; other values for other keys; 0 for none.
using KeyLayout = std::function<int32_t(int usage)>;

// Fills a GetKeyboardState snapshot from the pressed flags of count HID
// usages, asking the layout only about the keys that are down. Letters follow
// the key's label, as Windows' virtual keys do; every other key keeps its
// place (arrows, Esc, Shift, Ctrl, the digit row).
void keys_from_usages(const uint8_t* pressed, int count, const KeyLayout& layout, uint8_t keys[256]);

// The virtual key of the key at a HID usage, to which the layout gives
// layout_code (see KeyLayout); 0 for none.
uint8_t vk_of_key(int usage, int32_t layout_code);
// Counts a press of a virtual key (saturating at 255), and of the generic
// Shift, Ctrl or Alt key for a left or right one.
void count_key_press(uint8_t presses[256], uint8_t vk);

// Sets the generic Shift, Ctrl and Alt entries from their left and right
// variants, as GetKeyboardState reports them.
void keys_fill_generic(uint8_t keys[256]);
