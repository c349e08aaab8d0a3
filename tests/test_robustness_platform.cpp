// Robustness of the platform layer and of drawing: keyboard layouts and captions
// that are no UTF-8.
#include "platform/keymap.h"
#include "show.h"
#include "text/text_encoding.h"

#include <cstring>

// Each key is pressed alone, its layout giving the key code SDL reports:
// letters in lower case, keys without a character with bit 30 set.
TEST(KeyboardLayouts, LettersFollowTheLabelsOtherKeysTheirPlace) {
    const std::tuple<int, int32_t, std::vector<uint8_t>> cases[] = {
        {4, 'q', {'Q'}}, {20, 'a', {'A'}}, {51, 'm', {'M'}}, {16, ',', {}}, {30, '&', {'1'}},  // AZERTY
        {19, 'l', {'L'}}, {21, 'p', {'P'}}, {27, 'q', {'Q'}}, {20, '\'', {}},                 // Dvorak
        {20, 0x0439, {'Q'}}, {22, 0x044B, {'S'}},                                             // Russian
        {79, 0x4000004F, {VK_KEY_RIGHT}}, {41, 27, {VK_KEY_ESCAPE}},
        {225, 0x400000E1, {VK_KEY_SHIFT, VK_KEY_LSHIFT}}, {228, 0x400000E4, {VK_KEY_CONTROL, VK_KEY_RCONTROL}},
    };
    for (const auto& [usage, layout_code, expected] : cases) {
        uint8_t pressed[256] = {}, keys[256];
        pressed[usage] = 1;
        keys_from_usages(pressed, 256, [u = usage, code = layout_code](int k) { return k == u ? code : 0; }, keys);
        std::vector<uint8_t> down;
        for (int vk = 0; vk < 256; ++vk)
            if (keys[vk] == 0x80) down.push_back(static_cast<uint8_t>(vk));
        EXPECT_EQ(down, expected) << "usage " << usage;
    }
}

// Captions that are no UTF-8 are taken as Windows-1252: ASCII, a sequence cut short, overlong, a
// surrogate, beyond U+10FFFF, an escape cut short. (UTF-8 ones: Show.CtrlSSavesTheFrameAsShown.)
TEST(Utf8Captions, AnythingElseKeepsItsBytes) {
    for (const char* same : {"Caf\xE9", "plain\n", "\xC3\xA9\xC3", "\xC0\xA9\xC3\xA9", "\xE0\x82\xA9\xC3\xA9",
                             "\xED\xA0\x80\xC3\xA9", "\xF4\x90\x80\x80\xC3\xA9", "\x02\xC3"})
        EXPECT_EQ(cp1252_from_utf8(reinterpret_cast<const uint8_t*>(same), std::strlen(same)), same) << same;
    const std::string escapes("\x02\xC3\xA9\xC3\xA9\x05\x01\x80\x00\x80\xC3", 11);  // the escapes' bytes kept
    EXPECT_EQ(cp1252_from_utf8(reinterpret_cast<const uint8_t*>(escapes.data()), escapes.size()),
              std::string("\x02\xC3\xA9\xE9\x05\x01\x80\x00\x80\xC3", 10));
}
