#include "gfx_opengl.h"

#include "gl.h"
#include "platform/headless.h"
#include "platform/keymap.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#define dup2 _dup2
#define fileno _fileno
#else
#include <unistd.h>
#endif

// Found by argument lookup, so they stand beside the type.
inline bool operator==(const WindowPlacement& a, const WindowPlacement& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}
inline std::ostream& operator<<(std::ostream& out, const WindowPlacement& p) {
    return out << p.x << "," << p.y << " " << p.width << "x" << p.height;
}

namespace {

class Window : public testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        screen_width = screen_height = 0;
        fullscreen_offset_x = fullscreen_offset_y = 0;
        quit_requested = 0;
        minimise_pending = 0;
        std::memset(key_state, 0, sizeof(key_state));
        std::memset(prev_key_state, 0, sizeof(prev_key_state));
    }
    void TearDown() override { headless::reset(); }

    // Two 1920x1080 monitors side by side, the second one first in the list,
    // and a third one above the first.
    void three_monitors() {
        headless::state().monitors = {{1920, 0, 3840, 1080}, {0, 0, 1920, 1080}, {0, -768, 1024, 0}};
        headless::state().virtual_x = 0;
        headless::state().virtual_y = -768;
        headless::state().virtual_w = 3840;
        headless::state().virtual_h = 1848;
    }
};

void press(uint8_t vk) { headless::state().keys[vk] = 0x80; }
void release(uint8_t vk) { headless::state().keys[vk] = 0; }

}  // namespace

TEST_F(Window, RectangleForEveryRequestForm) {
    three_monitors();
    headless::state().primary_w = 1920;
    headless::state().primary_h = 1080;
    EXPECT_EQ(gfx_choose_window_rect(0, 0), (WindowPlacement{0, 0, 1920, 1080}));
    EXPECT_EQ(gfx_choose_window_rect(0, 1), (WindowPlacement{1920, 0, 1920, 1080}));
    EXPECT_EQ(gfx_choose_window_rect(0, 3), (WindowPlacement{0, -768, 1024, 768}));
    EXPECT_EQ(gfx_choose_window_rect(0, 4), (WindowPlacement{1920, 0, 1920, 1080}));
    EXPECT_EQ(gfx_choose_window_rect(0, -2), (WindowPlacement{1920, 0, 1920, 1080}));
    EXPECT_EQ(gfx_choose_window_rect(-1, -1), (WindowPlacement{0, -768, 3840, 1848}));
    EXPECT_EQ(gfx_choose_window_rect(-1, 0), (WindowPlacement{0, -768, 3840, 1848}));
    EXPECT_EQ(gfx_choose_window_rect(-1, INT32_MIN | 1), (WindowPlacement{0, -768, 3840, 1848}));
    EXPECT_EQ(gfx_choose_window_rect(-1, 0b011), (WindowPlacement{0, 0, 3840, 1080}));
    EXPECT_EQ(gfx_choose_window_rect(-1, 0b101), (WindowPlacement{0, -768, 3840, 1848}));
    EXPECT_EQ(gfx_choose_window_rect(-1, 0b100), (WindowPlacement{0, -768, 1024, 768}));
    EXPECT_EQ(gfx_choose_window_rect(1024, 768), (WindowPlacement{0, 0, 1024, 768}));
}

TEST_F(Window, SpanOfMonitorsThatDoNotExistSelectsNothing) {
    headless::state().monitors = {{0, 0, 1920, 1080}};
    WindowPlacement place = gfx_choose_window_rect(-1, 0b10);
    EXPECT_EQ(place.width, 0);
    EXPECT_EQ(place.height, 0);
    EXPECT_EQ(gfx_open_window(-1, 0b10, "t", nullptr), 0);
    EXPECT_FALSE(headless::state().window_open);
}

TEST_F(Window, FullscreenOffsetMovesEveryForm) {
    three_monitors();
    fullscreen_offset_x = 10;
    fullscreen_offset_y = -3;
    EXPECT_EQ(gfx_choose_window_rect(0, 2), (WindowPlacement{10, -3, 1920, 1080}));
    EXPECT_EQ(gfx_choose_window_rect(-1, -1), (WindowPlacement{10, -771, 3840, 1848}));
    EXPECT_EQ(gfx_choose_window_rect(800, 600), (WindowPlacement{10, -3, 800, 600}));
}

TEST_F(Window, ZeroSizeCreatesNothing) {
    EXPECT_EQ(gfx_open_window(800, 0, "t", nullptr), 0);
    EXPECT_EQ(screen_width, 800);
    EXPECT_EQ(screen_height, 0);
    EXPECT_FALSE(headless::state().window_open);
    EXPECT_EQ(gfx_open_window(-5, 100, "t", nullptr), 0);
    EXPECT_FALSE(headless::state().window_open);
}

TEST_F(Window, ExplicitSizeChangesTheDisplayModeOnlyWithoutOffset) {
    int marker = 0;
    ASSERT_EQ(gfx_open_window(1024, 768, "Title", &marker), 1);
    EXPECT_EQ(headless::state().mode_changes, (std::vector<std::pair<int32_t, int32_t>>{{1024, 768}}));
    EXPECT_EQ(headless::state().window.left, 0);
    EXPECT_EQ(headless::state().window.right, 1024);
    EXPECT_EQ(headless::state().title, "Title");
    EXPECT_EQ(headless::state().instance, &marker);
    EXPECT_EQ(headless::state().hide_cursor_calls, 1);
    EXPECT_EQ(screen_width, 1024);
    EXPECT_EQ(screen_height, 768);

    headless::reset();
    fullscreen_offset_x = 10;
    ASSERT_EQ(gfx_open_window(1024, 768, "Title", nullptr), 1);
    EXPECT_TRUE(headless::state().mode_changes.empty());
    EXPECT_EQ(headless::state().window.left, 10);

    headless::reset();
    fullscreen_offset_x = 0;
    ASSERT_EQ(gfx_open_window(0, 0, "Title", nullptr), 1);
    EXPECT_TRUE(headless::state().mode_changes.empty());
}

TEST_F(Window, InitialStateAndPixelProjection) {
    ASSERT_EQ(gfx_open_window(0, 0, "t", nullptr), 1);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1920);
    EXPECT_EQ(viewport[3], 1080);
    GLint depth_func = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depth_func);
    EXPECT_EQ(depth_func, GL_LEQUAL);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    // Pixel (x, y) from the top-left corner: y grows downward.
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS);
    glVertex2f(10, 20);
    glVertex2f(12, 20);
    glVertex2f(12, 21);
    glVertex2f(10, 21);
    glEnd();
    std::vector<uint8_t> rgb = headless::read_frame_rgb();
    auto pixel = [&](int x, int y) { return rgb[(static_cast<size_t>(y) * 1920 + x) * 3]; };
    EXPECT_EQ(pixel(10, 20), 255);
    EXPECT_EQ(pixel(11, 20), 255);
    EXPECT_EQ(pixel(12, 20), 0);
    EXPECT_EQ(pixel(10, 21), 0);
    EXPECT_EQ(pixel(10, 19), 0);
}

TEST_F(Window, ResizeKeepsTheHeightAtLeastOne) {
    ASSERT_EQ(gfx_open_window(0, 0, "t", nullptr), 1);
    gfx_window_proc(window_handle, PLAT_MSG_SIZE, 0, 0, 0);
    EXPECT_EQ(screen_width, 0);
    EXPECT_EQ(screen_height, 1);
    gfx_window_proc(window_handle, PLAT_MSG_SIZE, 0, 1280, 1024);
    EXPECT_EQ(screen_width, 1280);
    EXPECT_EQ(screen_height, 1024);
}

TEST_F(Window, CloseReleasesTheContextAndRestoresTheMode) {
    ASSERT_EQ(gfx_open_window(0, 0, "t", nullptr), 1);
    ASSERT_EQ(gfx_pump_messages(), 0);
    headless::state().close_window = true;
    EXPECT_EQ(gfx_pump_messages(), 1);
    EXPECT_EQ(quit_requested, 1);
    EXPECT_EQ(headless::state().release_calls, 1);
    EXPECT_EQ(headless::state().mode_restores, 1);
    EXPECT_EQ(gfx_pump_messages(), 1);
}

TEST_F(Window, QuitMessageEndsThePumpAtOnce) {
    ASSERT_EQ(gfx_open_window(0, 0, "t", nullptr), 1);
    press('P');
    headless::state().quit_message = true;
    EXPECT_EQ(gfx_pump_messages(), 1);
    EXPECT_EQ(key_state['P'], 0);  // no snapshot taken
}

TEST_F(Window, KeyHeldAcrossFramesIsNewlyPressedOnce) {
    ASSERT_EQ(gfx_open_window(0, 0, "t", nullptr), 1);
    EXPECT_FALSE(key_newly_pressed('P'));
    press('P');
    gfx_pump_messages();
    EXPECT_TRUE(key_newly_pressed('P'));
    EXPECT_TRUE(key_held('P'));
    gfx_pump_messages();
    EXPECT_FALSE(key_newly_pressed('P'));
    EXPECT_TRUE(key_held('P'));
    release('P');
    gfx_pump_messages();
    EXPECT_FALSE(key_held('P'));
}

TEST_F(Window, TopmostEveryFrameUnlessMinimising) {
    ASSERT_EQ(gfx_open_window(0, 0, "t", nullptr), 1);
    gfx_pump_messages();
    gfx_pump_messages();
    EXPECT_EQ(headless::state().topmost_calls, 2);

    press(VK_KEY_MENU);
    press(VK_KEY_TAB);
    gfx_pump_messages();
    EXPECT_EQ(minimise_pending, 1);
    EXPECT_EQ(headless::state().minimise_calls, 1);
    release(VK_KEY_MENU);
    release(VK_KEY_TAB);
    gfx_pump_messages();  // not iconic yet: minimised again, not raised
    EXPECT_EQ(headless::state().minimise_calls, 2);
    EXPECT_EQ(headless::state().topmost_calls, 3);

    headless::state().iconic = true;
    press('P');
    gfx_pump_messages();
    EXPECT_EQ(minimise_pending, 0);
    EXPECT_FALSE(key_held('P'));  // snapshots stand still while minimised
    EXPECT_EQ(headless::state().minimise_calls, 2);

    headless::state().iconic = false;  // restored by the user
    gfx_pump_messages();
    EXPECT_EQ(headless::state().topmost_calls, 4);
    EXPECT_TRUE(key_newly_pressed('P'));
}

TEST_F(Window, CreationFailuresAreFatalWithTheirStep) {
    const std::pair<PlatCreateResult, const char*> failures[] = {
        {PLAT_CREATE_REGISTER_CLASS, "Failed To Register The Window Class."},
        {PLAT_CREATE_WINDOW, "Window Creation Error."},
        {PLAT_CREATE_CHOOSE_FORMAT, "Can't Find A Suitable PixelFormat."},
        {PLAT_CREATE_SET_FORMAT, "Can't Set The PixelFormat."},
        {PLAT_CREATE_CONTEXT, "Can't Create A GL Rendering Context."},
        {PLAT_CREATE_MAKE_CURRENT, "Can't activate GLRC."},
    };
    for (auto [step, message] : failures) {
        EXPECT_EXIT(
            {
                std::fflush(stdout);
                dup2(fileno(stderr), fileno(stdout));
                headless::state().fail_step = step;
                gfx_open_window(0, 0, "t", nullptr);
            },
            testing::ExitedWithCode(1), std::string("\\[FATAL ERROR\\] ") + message)
            << message;
    }
}

TEST(Keymap, HidUsagesBecomeVirtualKeys) {
    EXPECT_EQ(vk_from_hid_usage(4), 'A');
    EXPECT_EQ(vk_from_hid_usage(19), 'P');
    EXPECT_EQ(vk_from_hid_usage(20), 'Q');
    EXPECT_EQ(vk_from_hid_usage(22), 'S');
    EXPECT_EQ(vk_from_hid_usage(29), 'Z');
    EXPECT_EQ(vk_from_hid_usage(30), '1');
    EXPECT_EQ(vk_from_hid_usage(39), '0');
    EXPECT_EQ(vk_from_hid_usage(41), VK_KEY_ESCAPE);
    EXPECT_EQ(vk_from_hid_usage(43), VK_KEY_TAB);
    EXPECT_EQ(vk_from_hid_usage(79), VK_KEY_RIGHT);
    EXPECT_EQ(vk_from_hid_usage(80), VK_KEY_LEFT);
    EXPECT_EQ(vk_from_hid_usage(225), VK_KEY_LSHIFT);
    EXPECT_EQ(vk_from_hid_usage(229), VK_KEY_RSHIFT);
    EXPECT_EQ(vk_from_hid_usage(224), VK_KEY_LCONTROL);
    EXPECT_EQ(vk_from_hid_usage(230), VK_KEY_RMENU);
    EXPECT_EQ(vk_from_hid_usage(0), 0);
    EXPECT_EQ(vk_from_hid_usage(500), 0);
}

TEST(Keymap, GenericModifiersFollowEitherSide) {
    uint8_t keys[256] = {};
    keys[VK_KEY_RSHIFT] = 0x80;
    keys[VK_KEY_LCONTROL] = 0x80;
    keys_fill_generic(keys);
    EXPECT_EQ(keys[VK_KEY_SHIFT], 0x80);
    EXPECT_EQ(keys[VK_KEY_CONTROL], 0x80);
    EXPECT_EQ(keys[VK_KEY_MENU], 0);
}
