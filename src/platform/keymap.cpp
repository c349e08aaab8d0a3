#include "platform/keymap.h"

#include <cstring>

uint8_t vk_from_hid_usage(int usage) {
    if (usage >= 4 && usage <= 29) return static_cast<uint8_t>('A' + (usage - 4));     // a..z
    if (usage >= 30 && usage <= 38) return static_cast<uint8_t>('1' + (usage - 30));   // 1..9
    if (usage == 39) return '0';
    if (usage >= 58 && usage <= 69) return static_cast<uint8_t>(0x70 + (usage - 58));  // F1..F12
    if (usage >= 89 && usage <= 97) return static_cast<uint8_t>(0x61 + (usage - 89));  // keypad 1..9
    switch (usage) {
    case 40: return 0x0D;   // return
    case 41: return 0x1B;   // escape
    case 42: return 0x08;   // backspace
    case 43: return 0x09;   // tab
    case 44: return 0x20;   // space
    case 45: return 0xBD;   // minus
    case 46: return 0xBB;   // equals
    case 47: return 0xDB;   // [
    case 48: return 0xDD;   // ]
    case 49: return 0xDC;   // backslash
    case 51: return 0xBA;   // ;
    case 52: return 0xDE;   // '
    case 53: return 0xC0;   // `
    case 54: return 0xBC;   // ,
    case 55: return 0xBE;   // .
    case 56: return 0xBF;   // /
    case 57: return 0x14;   // caps lock
    case 70: return 0x2C;   // print screen
    case 71: return 0x91;   // scroll lock
    case 72: return 0x13;   // pause
    case 73: return 0x2D;   // insert
    case 74: return 0x24;   // home
    case 75: return 0x21;   // page up
    case 76: return 0x2E;   // delete
    case 77: return 0x23;   // end
    case 78: return 0x22;   // page down
    case 79: return 0x27;   // right
    case 80: return 0x25;   // left
    case 81: return 0x28;   // down
    case 82: return 0x26;   // up
    case 83: return 0x90;   // num lock
    case 84: return 0x6F;   // keypad /
    case 85: return 0x6A;   // keypad *
    case 86: return 0x6D;   // keypad -
    case 87: return 0x6B;   // keypad +
    case 88: return 0x0D;   // keypad enter
    case 98: return 0x60;   // keypad 0
    case 99: return 0x6E;   // keypad .
    case 224: return 0xA2;  // left ctrl
    case 225: return 0xA0;  // left shift
    case 226: return 0xA4;  // left alt
    case 227: return 0x5B;  // left windows
    case 228: return 0xA3;  // right ctrl
    case 229: return 0xA1;  // right shift
    case 230: return 0xA5;  // right alt
    case 231: return 0x5C;  // right windows
    default: return 0;
    }
}

void keys_fill_generic(uint8_t keys[256]) {
    keys[0x10] = (keys[0xA0] | keys[0xA1]) & 0x80;
    keys[0x11] = (keys[0xA2] | keys[0xA3]) & 0x80;
    keys[0x12] = (keys[0xA4] | keys[0xA5]) & 0x80;
}

uint8_t vk_of_key(int usage, int32_t layout_code) {
    if (layout_code >= 'a' && layout_code <= 'z') return static_cast<uint8_t>('A' + (layout_code - 'a'));
    if (layout_code >= 'A' && layout_code <= 'Z') return static_cast<uint8_t>(layout_code);
    // A letter key labelled with a symbol (AZERTY's comma) is no letter; one of
    // another script (Cyrillic, Greek) keeps its place, as on Windows.
    const bool letter_key = usage >= 4 && usage <= 29;
    if (letter_key && layout_code > 0 && layout_code < 128) return 0;
    return vk_from_hid_usage(usage);
}

void count_key_press(uint8_t presses[256], uint8_t vk) {
    auto count = [presses](uint8_t key) {
        if (presses[key] < 255) ++presses[key];
    };
    if (vk == 0) return;
    count(vk);
    if (vk == 0xA0 || vk == 0xA1) count(0x10);
    if (vk == 0xA2 || vk == 0xA3) count(0x11);
    if (vk == 0xA4 || vk == 0xA5) count(0x12);
}

void keys_from_usages(const uint8_t* pressed, int count, const KeyLayout& layout, uint8_t keys[256]) {
    std::memset(keys, 0, 256);
    for (int usage = 0; usage < count; ++usage)
        if (pressed[usage]) {
            const uint8_t vk = vk_of_key(usage, layout ? layout(usage) : 0);
            if (vk) keys[vk] = 0x80;
        }
    keys_fill_generic(keys);
}
