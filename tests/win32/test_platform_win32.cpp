// The win32 backend against a real (Wine) desktop: the screen of
// scripts/test-windows.sh is one 1920x1080 monitor.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "gfx_opengl.h"
#include "gl.h"
#include "platform/platform.h"
#include "report.h"
#include "settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

void win32_report_handler(ReportRecord* record);  // platform_win32.cpp

namespace {

constexpr int32_t SCREEN_W = 1920, SCREEN_H = 1080;

std::vector<PlatRect> monitors() {
    DynArray list = dynarray_create(sizeof(PlatRect));
    plat_enum_monitors(collect_monitor_rect, &list);
    std::vector<PlatRect> rects;
    for (uint32_t i = 0; i < list.count; ++i) rects.push_back(*static_cast<PlatRect*>(dynarray_at(&list, i)));
    dynarray_free(&list);
    return rects;
}

void expect_placement(WindowPlacement p, int32_t x, int32_t y, int32_t w, int32_t h) {
    EXPECT_EQ(p.x, x);
    EXPECT_EQ(p.y, y);
    EXPECT_EQ(p.width, w);
    EXPECT_EQ(p.height, h);
}

HWND hwnd() { return static_cast<HWND>(window_handle); }

// A window as the program opens it, with an offset so the desktop mode stays.
// One window serves every test: Wine without a window manager takes two
// seconds to take a window down.
class Win32Window : public ::testing::Test {
protected:
    static void TearDownTestSuite() {
        if (IsWindow(hwnd())) DestroyWindow(hwnd());
        plat_pump_messages();
        fullscreen_offset_x = fullscreen_offset_y = 0;
        quit_requested = 0;
    }
    void SetUp() override {
        quit_requested = 0;
        minimise_pending = 0;
        if (!IsWindow(hwnd()) || !wglGetCurrentContext()) {
            fullscreen_offset_x = 10;
            fullscreen_offset_y = 20;
            ASSERT_EQ(gfx_open_window(640, 480, "Parallaxon test", GetModuleHandleA(nullptr)), 1);
        } else {
            if (IsIconic(hwnd())) ShowWindow(hwnd(), SW_RESTORE);
            SetWindowPos(hwnd(), HWND_TOPMOST, 10, 20, 640, 480, 0);
        }
        SetForegroundWindow(hwnd());
        plat_pump_messages();
    }
    void TearDown() override { release_all_keys(); }

    // A key as the keyboard driver sends it: the key's own virtual key (left
    // or right for the modifiers), its scan code, extended or not.
    struct Key {
        WORD vk, scan;
        bool extended;
    };
    void send(Key key, bool up) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key.vk;
        input.ki.wScan = key.scan;
        input.ki.dwFlags = (key.extended ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
        ASSERT_EQ(SendInput(1, &input, sizeof(input)), 1u);
        if (!up) held.push_back(key);
    }
    void release_all_keys() {
        for (Key key : held) send(key, true);
        held.clear();
        plat_pump_messages();
    }
    std::vector<uint8_t> keys_after_pump() {
        plat_pump_messages();
        std::vector<uint8_t> keys(256);
        plat_get_keyboard_state(keys.data());
        return keys;
    }
    std::vector<Key> held;
};

}  // namespace

TEST(Win32Monitors, EnumerationFillsTheMonitorList) {
    std::vector<PlatRect> rects = monitors();
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].left, 0);
    EXPECT_EQ(rects[0].top, 0);
    EXPECT_EQ(rects[0].right, SCREEN_W);
    EXPECT_EQ(rects[0].bottom, SCREEN_H);
}

TEST(Win32Monitors, EveryResolutionFormFindsTheScreen) {
    fullscreen_offset_x = fullscreen_offset_y = 0;
    expect_placement(gfx_choose_window_rect(0, 0), 0, 0, SCREEN_W, SCREEN_H);      // auto
    expect_placement(gfx_choose_window_rect(0, 1), 0, 0, SCREEN_W, SCREEN_H);      // display 1
    expect_placement(gfx_choose_window_rect(0, 3), 0, 0, SCREEN_W, SCREEN_H);      // display 3: the first
    expect_placement(gfx_choose_window_rect(-1, 0), 0, 0, SCREEN_W, SCREEN_H);     // span
    expect_placement(gfx_choose_window_rect(-1, 1), 0, 0, SCREEN_W, SCREEN_H);     // span 1
    expect_placement(gfx_choose_window_rect(-1, 2), 0, 0, 0, 0);                   // span 2: none
    fullscreen_offset_x = -5;
    fullscreen_offset_y = 7;
    expect_placement(gfx_choose_window_rect(0, 0), -5, 7, SCREEN_W, SCREEN_H);
    fullscreen_offset_x = fullscreen_offset_y = 0;
}

TEST(Win32Monitors, ScreenMetrics) {
    int32_t w = 0, h = 0, x = 1, y = 1;
    const PlatRect primary = plat_primary_screen();
    EXPECT_EQ(primary.left, 0);
    EXPECT_EQ(primary.top, 0);
    EXPECT_EQ(primary.right, SCREEN_W);
    EXPECT_EQ(primary.bottom, SCREEN_H);
    plat_virtual_screen(&x, &y, &w, &h);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(w, SCREEN_W);
    EXPECT_EQ(h, SCREEN_H);
}

TEST_F(Win32Window, ClassStyleAndPlacement) {
    char name[64] = {};
    GetClassNameA(hwnd(), name, sizeof(name));
    EXPECT_STREQ(name, "OpenGL WinClass");
    EXPECT_EQ(GetClassLongPtrA(hwnd(), GCL_STYLE), static_cast<ULONG_PTR>(CS_OWNDC | CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(GetWindowLongA(hwnd(), GWL_STYLE),
              static_cast<LONG>(WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
    GetWindowTextA(hwnd(), name, sizeof(name));
    EXPECT_STREQ(name, "Parallaxon test");

    PlatRect r = plat_get_window_rect();
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 650);
    EXPECT_EQ(r.bottom, 500);
    EXPECT_EQ(screen_width, 640);
    EXPECT_EQ(screen_height, 480);
}

TEST_F(Win32Window, PixelFormatIsDoubleBufferedRgbWithDepth) {
    HDC dc = wglGetCurrentDC();
    ASSERT_NE(dc, nullptr);
    PIXELFORMATDESCRIPTOR pfd = {};
    ASSERT_NE(DescribePixelFormat(dc, GetPixelFormat(dc), sizeof(pfd), &pfd), 0);
    const DWORD wanted = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    EXPECT_EQ(pfd.dwFlags & wanted, wanted);
    EXPECT_EQ(pfd.iPixelType, PFD_TYPE_RGBA);
    EXPECT_EQ(pfd.cRedBits, 8);
    EXPECT_EQ(pfd.cGreenBits, 8);
    EXPECT_EQ(pfd.cBlueBits, 8);
    EXPECT_GE(pfd.cDepthBits, 24);
}

TEST_F(Win32Window, ContextDrawsAndReadsBack) {
    glClearColor(1, 0.5f, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    uint8_t pixel[4] = {};
    glReadPixels(320, 240, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 255);
    EXPECT_EQ(pixel[1], 128);
    EXPECT_EQ(pixel[2], 0);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);
}

TEST_F(Win32Window, SizeMessageCarriesTheClientSize) {
    SetWindowPos(hwnd(), nullptr, 0, 0, 320, 200, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(screen_width, 320);
    EXPECT_EQ(screen_height, 200);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 320);
    EXPECT_EQ(viewport[3], 200);
}

TEST_F(Win32Window, MinimiseAndRestore) {
    EXPECT_FALSE(plat_is_iconic());
    plat_minimise();
    EXPECT_TRUE(plat_is_iconic());
    EXPECT_EQ(screen_width, 0);
    EXPECT_EQ(screen_height, 1);
    ShowWindow(hwnd(), SW_RESTORE);
    EXPECT_FALSE(plat_is_iconic());
    EXPECT_EQ(screen_width, 640);
    EXPECT_EQ(screen_height, 480);
}

TEST_F(Win32Window, PumpKeepsTheWindowTopmost) {
    SetWindowPos(hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetWindowLongA(hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(gfx_pump_messages(), 0);
    EXPECT_EQ(GetWindowLongA(hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST, WS_EX_TOPMOST);
}

TEST_F(Win32Window, SystemKeysAreSwallowed) {
    // Alt+F4: the default procedure would turn it into a close.
    EXPECT_EQ(SendMessageA(hwnd(), WM_SYSKEYDOWN, VK_F4, 1 << 29), 0);
    EXPECT_EQ(gfx_pump_messages(), 0);
    EXPECT_EQ(quit_requested, 0);
    EXPECT_NE(wglGetCurrentContext(), nullptr);
}

TEST_F(Win32Window, CloseReleasesTheContextAndQuits) {
    PostMessageA(hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(gfx_pump_messages(), 1);
    EXPECT_EQ(quit_requested, 1);
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    // The window stays until destroyed; destroying releases a second time.
    EXPECT_TRUE(IsWindow(hwnd()));
    DestroyWindow(hwnd());
    EXPECT_FALSE(IsWindow(hwnd()));
    EXPECT_EQ(quit_requested, 1);
}

TEST_F(Win32Window, QuitMessageEndsThePump) {
    PostQuitMessage(0);
    EXPECT_EQ(plat_pump_messages(), 1);
}

TEST_F(Win32Window, KeysArriveInTheVirtualKeyLayout) {
    struct Case {
        Key key;
        uint8_t vk;       // its own entry; 0: not checked
        uint8_t generic;  // the generic entry the program reads for modifiers; 0: none
    };
    const Case cases[] = {
        {{'P', 0x19, false}, 'P', 0},
        {{'S', 0x1F, false}, 'S', 0},
        {{'Q', 0x10, false}, 'Q', 0},
        {{VK_ESCAPE, 0x01, false}, VK_KEY_ESCAPE, 0},
        {{VK_LEFT, 0x4B, true}, VK_KEY_LEFT, 0},
        {{VK_RIGHT, 0x4D, true}, VK_KEY_RIGHT, 0},
        {{VK_LSHIFT, 0x2A, false}, VK_KEY_LSHIFT, VK_KEY_SHIFT},
        // Wine files an unextended right Shift under the left one; the program reads only the generic.
        {{VK_RSHIFT, 0x36, false}, 0, VK_KEY_SHIFT},
        {{VK_LCONTROL, 0x1D, false}, VK_KEY_LCONTROL, VK_KEY_CONTROL},
        {{VK_RCONTROL, 0x1D, true}, VK_KEY_RCONTROL, VK_KEY_CONTROL},
        {{VK_LMENU, 0x38, false}, VK_KEY_LMENU, VK_KEY_MENU},
        {{VK_RMENU, 0x38, true}, VK_KEY_RMENU, VK_KEY_MENU},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.key.vk));
        send(c.key, false);
        std::vector<uint8_t> keys = keys_after_pump();
        if (c.vk) {
            EXPECT_EQ(keys[c.vk] & 0x80, 0x80);
        }
        if (c.generic) {
            EXPECT_EQ(keys[c.generic] & 0x80, 0x80);
        }
        int down = 0;
        for (int vk = 0; vk < 256; ++vk) down += (keys[vk] & 0x80) != 0;
        EXPECT_EQ(down, c.generic ? 2 : 1);
        release_all_keys();
        keys = keys_after_pump();
        for (int vk = 0; vk < 256; ++vk) EXPECT_EQ(keys[vk] & 0x80, 0) << vk;
    }
}

TEST_F(Win32Window, AltTabMinimises) {
    send({VK_LMENU, 0x38, false}, false);
    send({VK_TAB, 0x0F, false}, false);
    EXPECT_EQ(gfx_pump_messages(), 0);
    EXPECT_EQ(minimise_pending, 1);
    EXPECT_TRUE(plat_is_iconic());
    release_all_keys();
    EXPECT_EQ(gfx_pump_messages(), 0);
    EXPECT_EQ(minimise_pending, 0);
}

TEST_F(Win32Window, CursorMovesWhereItIsPut) {
    plat_set_cursor_pos(123, 45);
    int32_t x = 0, y = 0;
    plat_get_cursor_pos(&x, &y);
    EXPECT_EQ(x, 123);
    EXPECT_EQ(y, 45);
}

TEST(Win32Files, ReplaceOverwritesAndDeleteRemoves) {
    auto write = [](const char* path, const char* text) {
        FILE* f = std::fopen(path, "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(text, f);
        std::fclose(f);
    };
    auto read = [](const char* path) {
        std::string text;
        if (FILE* f = std::fopen(path, "rb")) {
            char buffer[64];
            size_t n = std::fread(buffer, 1, sizeof(buffer), f);
            text.assign(buffer, n);
            std::fclose(f);
        }
        return text;
    };
    write("win32_test_from.txt", "new");
    write("win32_test_to.txt", "old");
    EXPECT_TRUE(plat_replace_file("win32_test_from.txt", "win32_test_to.txt"));
    EXPECT_EQ(read("win32_test_to.txt"), "new");
    EXPECT_EQ(GetFileAttributesA("win32_test_from.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(plat_delete_file("win32_test_to.txt"));
    EXPECT_EQ(GetFileAttributesA("win32_test_to.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(plat_delete_file("win32_test_to.txt"));
}

TEST(Win32Process, ProgramRunnerReturnsTheExitStatus) {
    const char* const exit_7[] = {"cmd", "/c", "exit 7", nullptr};
    EXPECT_EQ(plat_run_program(exit_7), 7);
}

namespace {

// Closes every message box of this process while it runs, keeping their texts.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() : thread_([this] { watch(); }) {}
    ~MessageBoxWatcher() { stop(); }
    std::vector<std::string> stop() {
        running_ = false;
        if (thread_.joinable()) thread_.join();
        return texts_;
    }

private:
    static BOOL CALLBACK visit(HWND window, LPARAM data) {
        auto* self = reinterpret_cast<MessageBoxWatcher*>(data);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char class_name[16] = {}, title[64] = {};
        GetClassNameA(window, class_name, sizeof(class_name));
        GetWindowTextA(window, title, sizeof(title));
        bool seen = false;
        for (HWND closed : self->closed_) seen = seen || closed == window;
        if (!seen && process == GetCurrentProcessId() && std::strcmp(class_name, "#32770") == 0 &&
            std::strcmp(title, "Parallaxon") == 0 && IsWindowVisible(window)) {
            char text[256] = {};
            GetDlgItemTextA(window, 0xFFFF, text, sizeof(text));
            self->texts_.push_back(text);
            PostMessageA(window, WM_COMMAND, IDOK, 0);
            self->closed_.push_back(window);
        }
        return TRUE;
    }
    void watch() {
        while (running_) {
            EnumWindows(visit, reinterpret_cast<LPARAM>(this));
            Sleep(20);
        }
    }
    std::atomic<bool> running_{true};
    std::vector<std::string> texts_;
    std::vector<HWND> closed_;
    std::thread thread_;
};

}  // namespace

TEST(Win32Report, FatalMessageIsShownInAMessageBox) {
    MessageBoxWatcher watcher;
    ReportRecord record{};
    record.type = REPORT_FATAL;
    record.message = "A fatal report shown by the test.";
    win32_report_handler(&record);
    std::vector<std::string> texts = watcher.stop();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "A fatal report shown by the test.");
}

TEST(Win32Report, OtherReportsShowNoBox) {
    MessageBoxWatcher watcher;
    ReportRecord record{};
    record.type = REPORT_MESSAGE;
    record.message = "loading";
    win32_report_handler(&record);
    record.type = REPORT_WARNING;
    win32_report_handler(&record);
    EXPECT_TRUE(watcher.stop().empty());
}
