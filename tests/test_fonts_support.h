// Shared by the font and text tests: glyph data built by hand, and a fixture
// with a fresh offscreen GL context and an empty font store.
#pragma once

#include "bitmapfonts.h"
#include "gfx_opengl.h"
#include "platform/headless.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

struct GlyphData {
    std::vector<uint8_t> bytes;

    // A glyph of one palette index throughout.
    GlyphData& glyph(uint8_t width, uint8_t height, uint8_t index = 15) {
        bytes.push_back(width);
        bytes.push_back(height);
        bytes.insert(bytes.end(), static_cast<size_t>(width) * height, index);
        return *this;
    }
    GlyphData& pixels(uint8_t width, uint8_t height, const std::vector<uint8_t>& indices) {
        bytes.push_back(width);
        bytes.push_back(height);
        bytes.insert(bytes.end(), indices.begin(), indices.end());
        return *this;
    }
    GlyphData& empty(int count) {
        for (int i = 0; i < count; ++i) glyph(0, 0);
        return *this;
    }
    void load(const char* name) const { font_load_glyph_data(bytes.data(), bytes.size(), name); }
};

class FontTest : public testing::Test {
protected:
    void SetUp() override { use_context(64, 64); }
    void TearDown() override { font_reset_for_tests(); }

    static void use_context(int width, int height) {
        font_reset_for_tests();
        headless::make_gl_context(width, height);
        screen_width = width;
        screen_height = height;
    }

    static void load_builtin() { font_load_glyph_data(caption_glyph_data, caption_glyph_data_length, "caption"); }

    static BitmapFont* find(const char* name) {
        for (uint32_t i = 0; i < font_count(); ++i)
            if (equals_nocase(font_at(i)->name, name)) return font_at(i);
        return nullptr;
    }
};
