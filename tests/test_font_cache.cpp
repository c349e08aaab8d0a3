// Font specifications, derived names, closeness scores and the font cache.
#include "test_fonts_support.h"

#include "gl.h"
#include "rand15.h"

#include <cmath>
#include <cstring>
#include <string>

namespace {

class FontSpecTest : public FontTest {
protected:
    void SetUp() override {
        FontTest::SetUp();
        load_builtin();
        caption = font_at(0);
    }
    BitmapFont* caption = nullptr;
};

bool same_style(const FontStyle& a, const FontStyle& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST_F(FontSpecTest, NameAloneCopiesTheWholeStyle) {
    EXPECT_TRUE(same_style(font_parse_spec("caption"), caption->style));
    EXPECT_TRUE(same_style(font_parse_spec("CaPtIoN"), caption->style));
    const FontStyle s = font_parse_spec("caption:scale=2");
    EXPECT_TRUE(same_style(s, FontStyle{caption, 2.0f, 2.0f, 0.0f, 0.0f, 512, 0}));
}

TEST_F(FontSpecTest, SizeModifiers) {
    struct {
        const char* spec;
        float width, height;
    } cases[] = {
        {"caption:scale=150%", 1.5f, 1.5f},
        {"caption:size=3", 3.0f, 3.0f},
        {"caption:size=40px", 2.0f, 2.0f},
        {"caption:scale=2:scale=10px", 0.5f, 0.5f},  // pixels set, not multiply
        {"caption:width=40px", 2.0f, 1.0f},
        {"caption:width=3:width=50%", 1.5f, 1.0f},
        {"caption:height=10px", 1.0f, 0.5f},
        {"caption:height=2:height=25%", 1.0f, 0.5f},
        {"caption:big", 1.5f, 1.5f},
        {"caption:small", 0.6666667f, 0.6666667f},
        {"caption:scale=2:big", 3.0f, 3.0f},
        {"caption:scale= 2", 2.0f, 2.0f},            // leading blank of the value skipped
        {"caption:scale=2.5e1%", 0.25f, 0.25f},
        {"caption:scale=x2", 0.0f, 0.0f},            // no number reads as 0
    };
    for (const auto& c : cases) {
        const FontStyle s = font_parse_spec(c.spec);
        EXPECT_EQ(s.base, caption) << c.spec;
        EXPECT_FLOAT_EQ(s.width_scale, c.width) << c.spec;
        EXPECT_FLOAT_EQ(s.height_scale, c.height) << c.spec;
    }
}

TEST_F(FontSpecTest, WeightModifiers) {
    struct {
        const char* spec;
        float width, boldness;
    } cases[] = {
        {"caption:demibold", 1.0f, 0.03f},
        {"caption:bold", 1.1f, 0.05f},
        {"caption:black", 1.2f, 0.08f},
        {"caption:boldness=0.1", 1.0f, 0.1f},
        {"caption:boldness=10%", 1.0f, 0.1f},
        {"caption:boldness=4px", 1.0f, 0.2f},  // against widest 20
        {"caption:bold:boldness=0.5", 1.1f, 0.55f},
    };
    for (const auto& c : cases) {
        const FontStyle s = font_parse_spec(c.spec);
        EXPECT_FLOAT_EQ(s.width_scale, c.width) << c.spec;
        EXPECT_FLOAT_EQ(s.height_scale, 1.0f) << c.spec;
        EXPECT_FLOAT_EQ(s.boldness, c.boldness) << c.spec;
    }
}

TEST_F(FontSpecTest, SkewModifiers) {
    struct {
        const char* spec;
        float skew;
    } cases[] = {
        {"caption:italic", 0.4f},
        {"caption:skew=0.25", 0.25f},
        {"caption:angle=0.25:italic", 0.65f},
        {"caption:skew=2px", 0.1f},
        {"caption:italic:skew=30\xB0", 0.57735026f},  // degrees replace the earlier skew
        {"caption:italic:angle=45\xB0", 1.0f},
        {"caption:skew=30%:italic", 0.7f},
        {"caption:skew=4px\xB0", 0.2f},               // pixels are tested first
        {"caption:scale=30\xB0", 0.0f},               // degrees only for skew and angle
    };
    for (const auto& c : cases) EXPECT_FLOAT_EQ(font_parse_spec(c.spec).skew, c.skew) << c.spec;
    EXPECT_FLOAT_EQ(font_parse_spec("caption:scale=30\xB0").width_scale, 30.0f);
}

TEST_F(FontSpecTest, NormalResetsAllButTheBase) {
    const FontStyle s = font_parse_spec("caption:bold:italic:scale=3:normal");
    EXPECT_TRUE(same_style(s, FontStyle{caption, 1.0f, 1.0f, 0.0f, 0.0f, 0, 0}));
}

TEST_F(FontSpecTest, UnusableModifiersChangeNothing) {
    for (const char* spec : {"caption:scale", "caption:width=", "caption:skew", "caption:boldness=",
                             "caption: scale=2", "caption:wobble=3", "caption::", "caption:"})
        EXPECT_TRUE(same_style(font_parse_spec(spec), caption->style)) << spec;
    EXPECT_FLOAT_EQ(font_parse_spec("caption::scale=2").width_scale, 2.0f);
    EXPECT_FLOAT_EQ(font_parse_spec("caption:SCALE=2").width_scale, 2.0f);
    EXPECT_FLOAT_EQ(font_parse_spec("caption:scale=2=3").width_scale, 2.0f);
}

TEST_F(FontSpecTest, UnknownNameTakesTheCurrentBase) {
    const FontStyle s = font_parse_spec("nosuch:scale=3");
    EXPECT_TRUE(same_style(s, FontStyle{caption, 3.0f, 3.0f, 0.0f, 0.0f, 0, 0}));
    EXPECT_EQ(font_parse_spec("").base, caption);
    EXPECT_EQ(font_count(), 1u);
}

TEST_F(FontSpecTest, UnknownNameWithoutCurrentFontDrawsAFont) {
    GlyphData().glyph(2, 2).load("second");
    BitmapFont* second = font_at(1);
    font_state.current = nullptr;
    // Seed 1 draws 41 then 18467: floor(2 * (18467 + 41 / 32768) / 32768) = 1.
    rand15_seed(1);
    EXPECT_EQ(font_parse_spec("nosuch").base, second);
    // Seed 3 draws 48 then 7196: index 0.
    rand15_seed(3);
    EXPECT_EQ(font_parse_spec("nosuch").base, caption);
}

TEST_F(FontTest, SpecBeforeAnyFontMakesAPlaceholder) {
    const FontStyle s = font_parse_spec("ghost:scale=2");
    ASSERT_EQ(font_count(), 1u);
    BitmapFont* ghost = font_at(0);
    EXPECT_STREQ(ghost->name, "ghost:scale=2");
    EXPECT_EQ(s.base, ghost);
    EXPECT_FLOAT_EQ(s.width_scale, 2.0f);
    EXPECT_EQ(ghost->texture_width, 1u);
    EXPECT_EQ(ghost->texture_height, 1u);
    EXPECT_EQ(ghost->cell_height, 1);
    GLint env = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    EXPECT_EQ(env, GL_MODULATE);

    // A second placeholder of the same name replaces the first.
    font_create_empty("GHOST:scale=2");
    EXPECT_EQ(font_count(), 1u);
    EXPECT_STREQ(font_at(0)->name, "GHOST:scale=2");
}

TEST_F(FontSpecTest, DerivedNamesSpellOutTheScales) {
    EXPECT_STREQ(font_derive(caption, 2.0f, 2.0f, 0.0f, 0.0f)->name, "caption:width=2:height=2");
    EXPECT_STREQ(font_derive(caption, 1.5f, 1.0f, 0.3f, 0.05f)->name, "caption:width=1.5:boldness=0.05:skew=0.3");
    EXPECT_STREQ(font_derive(caption, 1.0f, 0.125f, 0.0f, 0.0f)->name, "caption:height=0.125");
    EXPECT_STREQ(font_derive(caption, 1.0f, 1.0f, -2.0f, 0.0f)->name, "caption:skew=-2");
}

TEST_F(FontSpecTest, DerivedFontSharesTheBaseTables) {
    BitmapFont* d = font_derive(caption, 3.0f, 2.0f, 0.0f, 0.0f);
    EXPECT_EQ(font_count(), 2u);
    EXPECT_EQ(font_at(1), d);
    EXPECT_EQ(d->texture, caption->texture);
    EXPECT_EQ(d->texture_width, 2048u);
    EXPECT_EQ(d->texture_height, 64u);
    EXPECT_EQ(d->widest, 20);
    EXPECT_EQ(d->ref_width, 13);
    EXPECT_EQ(d->cell_height, 20);
    EXPECT_EQ(std::memcmp(d->glyph_x, caption->glyph_x, sizeof d->glyph_x), 0);
    EXPECT_TRUE(same_style(d->style, FontStyle{caption, 3.0f, 2.0f, 0.0f, 0.0f, 0, 0}));
    EXPECT_EQ(font_state.current, caption);  // deriving does not select
}

TEST_F(FontSpecTest, Scores) {
    EXPECT_DOUBLE_EQ(font_score(caption, caption, 1.0f, 1.0f, 0.0f, 0.0f), 1.0);
    GlyphData().glyph(2, 2).load("other");
    EXPECT_DOUBLE_EQ(font_score(caption, font_at(1), 1.0f, 1.0f, 0.0f, 0.0f), -1000.0);
    // Boldness weighs 50 and skew 20 per unit.
    EXPECT_DOUBLE_EQ(font_score(caption, caption, 1.0f, 1.0f, 0.0f, 0.0078125f), 1.0 - 0.390625);
    EXPECT_DOUBLE_EQ(font_score(caption, caption, 1.0f, 1.0f, -0.03125f, 0.0f), 1.0 - 0.625);
    // Width: the smaller of 2 * 0.25 * 20 = 10 and k * ln 1.25 = 4.5735356, halved.
    EXPECT_NEAR(font_score(caption, caption, 1.25f, 1.0f, 0.0f, 0.0f), 1.0 - 0.5 * 4.5735356, 1e-6);
    // Height: the smaller of 2 * 0.0625 * 20 = 2.5 and k * ln(1 / 0.9375) = 1.3227773, halved.
    EXPECT_NEAR(font_score(caption, caption, 1.0f, 0.9375f, 0.0f, 0.0f), 1.0 - 0.5 * 1.3227773, 1e-6);
}

TEST_F(FontTest, EqualScoresGoToTheLaterFont) {
    // Widest 16: a width 1/32 away from 0.25 scores 1 - 2 * (1/32) * 16 / 2 = 0.5.
    GlyphData().glyph(16, 16).load("s");
    BitmapFont* base = font_at(0);
    BitmapFont* lower = font_clone(base);
    lower->style = FontStyle{base, 0.21875f, 1.0f, 0.0f, 0.0f, 0, 0};
    BitmapFont* upper = font_clone(base);
    upper->style = FontStyle{base, 0.28125f, 1.0f, 0.0f, 0.0f, 0, 0};
    EXPECT_DOUBLE_EQ(font_score(lower, base, 0.25f, 1.0f, 0.0f, 0.0f), 0.5);
    EXPECT_DOUBLE_EQ(font_score(upper, base, 0.25f, 1.0f, 0.0f, 0.0f), 0.5);
    EXPECT_EQ(font_derive(base, 0.25f, 1.0f, 0.0f, 0.0f), upper);

    upper->style.width_scale = 0.21875f;
    lower->style.width_scale = 0.28125f;
    EXPECT_EQ(font_derive(base, 0.25f, 1.0f, 0.0f, 0.0f), upper);
    EXPECT_EQ(font_count(), 3u);
}

TEST_F(FontTest, BestScoreOfZeroMakesANewFont) {
    GlyphData().glyph(16, 16).load("s");
    BitmapFont* base = font_at(0);
    BitmapFont* near = font_clone(base);
    near->style = FontStyle{base, 0.3125f, 1.0f, 0.0f, 0.0f, 0, 0};
    EXPECT_DOUBLE_EQ(font_score(near, base, 0.25f, 1.0f, 0.0f, 0.0f), 0.0);
    BitmapFont* made = font_derive(base, 0.25f, 1.0f, 0.0f, 0.0f);
    EXPECT_NE(made, near);
    EXPECT_EQ(font_count(), 3u);
    EXPECT_STREQ(made->name, "s:width=0.25");
}

TEST_F(FontSpecTest, UseStyleCreatesThenFinds) {
    const FontStyle s = font_parse_spec("caption:scale=2");
    font_use_style(s);
    ASSERT_EQ(font_count(), 2u);
    BitmapFont* derived = font_at(1);
    EXPECT_EQ(font_state.current, derived);
    EXPECT_STREQ(derived->name, "caption:width=2:height=2");
    EXPECT_TRUE(same_style(font_state.current_style, s));  // as requested, source 512 included
    EXPECT_EQ(derived->style.source, 0u);
    EXPECT_EQ(font_state.current_widest, 40);
    EXPECT_EQ(font_state.current_cell_height, 40);
    EXPECT_EQ(font_state.current_ref_width, 26);

    font_use_spec("caption:scale=2");
    EXPECT_EQ(font_count(), 2u);
    EXPECT_DOUBLE_EQ(font_score(derived, caption, 2.0f, 2.0f, 0.0f, 0.0f), 1.0);
    EXPECT_EQ(font_derive(caption, 2.0f, 2.0f, 0.0f, 0.0f), derived);

    // Differing only in source: the search runs again and ends on the same font.
    FontStyle other_source = s;
    other_source.source = 0;
    font_use_style(other_source);
    EXPECT_EQ(font_state.current, derived);
    EXPECT_EQ(font_state.current_style.source, 0u);
    EXPECT_EQ(font_count(), 2u);
}

TEST_F(FontSpecTest, ScaleOneIsTheBuiltInFont) {
    font_use_spec("caption:scale=1");
    EXPECT_EQ(font_count(), 1u);
    EXPECT_EQ(font_state.current, caption);
}

TEST_F(FontSpecTest, UseSpecSkipsWhenTheNameMatches) {
    font_use_spec("caption:scale=2");
    BitmapFont* derived = font_state.current;
    font_use_spec("CAPTION:WIDTH=2:HEIGHT=2");
    EXPECT_EQ(font_state.current, derived);
    EXPECT_EQ(font_count(), 2u);
    font_use_spec("caption");
    EXPECT_EQ(font_state.current, caption);
}

TEST_F(FontSpecTest, ApproximateMatchKeepsTheRequestedStyle) {
    font_use_spec("caption:scale=2");
    BitmapFont* derived = font_state.current;
    // 2.01 scores 1 - k ln(2.01 / 2) / 2, about 0.95, against the font of scale 2.
    const FontStyle near{caption, 2.01f, 2.0f, 0.0f, 0.0f, 0, 0};
    font_use_style(near);
    EXPECT_EQ(font_state.current, derived);
    EXPECT_TRUE(same_style(font_state.current_style, near));
    EXPECT_EQ(font_count(), 2u);
}

TEST_F(FontSpecTest, ScaledBytesKeepEightBits) {
    font_use_style(FontStyle{caption, 13.0f, 1.5f, 0.0f, 0.0f, 0, 0});
    EXPECT_EQ(font_state.current_widest, 4);        // 260
    EXPECT_EQ(font_state.current_ref_width, 169);   // 13 * 13
    EXPECT_EQ(font_state.current_cell_height, 30);
    font_select(caption);
    EXPECT_EQ(font_state.current_widest, 20);
    EXPECT_TRUE(same_style(font_state.current_style, caption->style));
    font_select(nullptr);
    EXPECT_EQ(font_state.current, caption);
}

TEST_F(FontSpecTest, CloneAndDeleteShareTheTexture) {
    BitmapFont* copy = font_clone(caption);
    EXPECT_EQ(font_count(), 2u);
    EXPECT_NE(copy->name, caption->name);
    EXPECT_STREQ(copy->name, "caption");
    EXPECT_EQ(copy->texture, caption->texture);

    const GLuint texture = caption->texture;
    font_delete(copy);
    EXPECT_EQ(font_count(), 1u);
    EXPECT_TRUE(glIsTexture(texture));

    // Deleting the current font selects another; the base of the fonts
    // made from it passes to the first of them in the list.
    BitmapFont* other = font_clone(caption);
    BitmapFont* derived = font_derive(caption, 2.0f, 2.0f, 0.0f, 0.0f);
    font_delete(caption);
    EXPECT_TRUE(font_state.current == other || font_state.current == derived);
    BitmapFont* heir = font_at(0);
    EXPECT_EQ(heir, derived);  // removal moves the last font into the freed place
    EXPECT_EQ(other->style.base, heir);
    EXPECT_EQ(derived->style.base, heir);
    EXPECT_EQ(font_state.current_style.base, font_state.current->style.base);
    EXPECT_TRUE(glIsTexture(texture));
    font_delete(derived);
    font_delete(other);
    EXPECT_FALSE(glIsTexture(texture));
    EXPECT_EQ(font_count(), 0u);
    EXPECT_EQ(font_state.current, nullptr);
}
