// The native Windows backend: USER32 window, GDI pixel format, WGL context,
// KERNEL32 clock and files.
#include "platform/platform.h"

#include "base/report.h"
#include "render/gl.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const CLASS_NAME = "OpenGL WinClass";

HWND window = nullptr;
HDC device_context = nullptr;
HGLRC gl_context = nullptr;
uint8_t key_presses[256] = {};  // since the last keyboard snapshot

LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    // Bit 30 of a key-down message: the key was down before (auto-repeat).
    if ((message == WM_KEYDOWN || message == WM_SYSKEYDOWN) && !(lparam & (LPARAM(1) << 30)) &&
        key_presses[wparam & 0xFF] < 255)
        ++key_presses[wparam & 0xFF];
    switch (message) {
    case WM_SIZE:
        gfx_window_proc(hwnd, PLAT_MSG_SIZE, static_cast<uint32_t>(wparam), LOWORD(lparam), HIWORD(lparam));
        return 0;
    case WM_CLOSE: gfx_window_proc(hwnd, PLAT_MSG_CLOSE, static_cast<uint32_t>(wparam), 0, 0); return 0;
    case WM_DESTROY: gfx_window_proc(hwnd, PLAT_MSG_DESTROY, static_cast<uint32_t>(wparam), 0, 0); return 0;
    case WM_SYSKEYDOWN: gfx_window_proc(hwnd, PLAT_MSG_SYSKEYDOWN, static_cast<uint32_t>(wparam), 0, 0); return 0;
    default: return DefWindowProcA(hwnd, message, wparam, lparam);
    }
}

struct MonitorRequest {
    PlatMonitorCallback callback;
    void* user;
};

BOOL CALLBACK monitor_procedure(HMONITOR, HDC, LPRECT monitor_rect, LPARAM data) {
    const auto* request = reinterpret_cast<const MonitorRequest*>(data);
    const PlatRect rect{monitor_rect->left, monitor_rect->top, monitor_rect->right, monitor_rect->bottom};
    request->callback(&rect, request->user);
    return TRUE;
}

}  // namespace

PlatCreateResult plat_create_window(int32_t x, int32_t y, int32_t w, int32_t h, const char* title, void* instance,
                                    void** window_out) {
    HINSTANCE hinstance = static_cast<HINSTANCE>(instance);
    WNDCLASSA window_class = {};
    window_class.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = hinstance;
    window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
    window_class.lpszClassName = CLASS_NAME;
    // A class this process registered before (a second window in one run) is still good.
    if (!RegisterClassA(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return PLAT_CREATE_REGISTER_CLASS;

    window = CreateWindowExA(0, CLASS_NAME, title, WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, x, y, w,
                             h, nullptr, nullptr, hinstance, nullptr);
    if (!window) return PLAT_CREATE_WINDOW;
    *window_out = window;

    static const PIXELFORMATDESCRIPTOR descriptor = {
        sizeof(PIXELFORMATDESCRIPTOR),
        1,
        PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER,
        PFD_TYPE_RGBA,
        24,
        0, 0, 0, 0, 0, 0,  // colour bits and shifts ignored
        0, 0,              // no alpha
        0, 0, 0, 0, 0,     // no accumulation
        32,
        0,  // no stencil
        0,  // no auxiliary buffers
        PFD_MAIN_PLANE,
        0,
        0, 0, 0,
    };
    device_context = GetDC(window);
    const int format = device_context ? ChoosePixelFormat(device_context, &descriptor) : 0;
    if (!format) return PLAT_CREATE_CHOOSE_FORMAT;
    if (!SetPixelFormat(device_context, format, &descriptor)) return PLAT_CREATE_SET_FORMAT;
    gl_context = wglCreateContext(device_context);
    if (!gl_context) return PLAT_CREATE_CONTEXT;
    if (!wglMakeCurrent(device_context, gl_context)) return PLAT_CREATE_MAKE_CURRENT;
    return PLAT_CREATE_OK;
}

// Close and destroy both release, so the second call finds nothing left.
void plat_release_context() {
    if (gl_context) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(gl_context);
        gl_context = nullptr;
    }
    if (device_context) {
        ReleaseDC(window, device_context);
        device_context = nullptr;
    }
}

void* plat_gl_proc_address(const char* name) {
    PROC proc = gl_context ? wglGetProcAddress(name) : nullptr;
    // Some drivers answer 1, 2, 3 or -1 instead of null for a name they lack.
    const intptr_t value = reinterpret_cast<intptr_t>(proc);
    if (value >= -1 && value <= 3) return nullptr;
    return reinterpret_cast<void*>(proc);
}

void plat_swap_buffers() {
    if (device_context) SwapBuffers(device_context);
}

int plat_pump_messages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        if (!GetMessageA(&message, nullptr, 0, 0)) return 1;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

int plat_wait_messages(uint32_t ms) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
    return plat_pump_messages();
}

void plat_get_keyboard_state(uint8_t keys[256], uint8_t presses[256]) {
    BYTE state[256];
    if (GetKeyboardState(state))
        std::memcpy(keys, state, 256);
    else
        std::memset(keys, 0, 256);
    std::memcpy(presses, key_presses, sizeof key_presses);
    std::memset(key_presses, 0, sizeof key_presses);
}

bool plat_is_iconic() { return window && IsIconic(window); }
void plat_minimise() { ShowWindow(window, SW_MINIMIZE); }
void plat_set_topmost() { SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

PlatRect plat_get_window_rect() {
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(window, &rect);
    return {rect.left, rect.top, rect.right, rect.bottom};
}

void plat_get_cursor_pos(int32_t* x, int32_t* y) {
    POINT point = {0, 0};
    GetCursorPos(&point);
    *x = point.x;
    *y = point.y;
}
void plat_set_cursor_pos(int32_t x, int32_t y) { SetCursorPos(x, y); }
void plat_hide_cursor() { ShowCursor(FALSE); }

void plat_enum_monitors(PlatMonitorCallback callback, void* user) {
    MonitorRequest request{callback, user};
    EnumDisplayMonitors(nullptr, nullptr, monitor_procedure, reinterpret_cast<LPARAM>(&request));
}

PlatRect plat_primary_screen() { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

void plat_virtual_screen(int32_t* x, int32_t* y, int32_t* w, int32_t* h) {
    *x = GetSystemMetrics(SM_XVIRTUALSCREEN);
    *y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    *w = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    *h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
}

void plat_change_display_mode(int32_t w, int32_t h) {
    DEVMODEA mode;
    std::memset(&mode, 0, sizeof(mode));
    mode.dmSize = sizeof(mode);
    mode.dmPelsWidth = static_cast<DWORD>(w);
    mode.dmPelsHeight = static_cast<DWORD>(h);
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN);
}

void plat_restore_display_mode() { ChangeDisplaySettingsA(nullptr, 0); }

bool plat_query_performance_frequency(int64_t* frequency) {
    LARGE_INTEGER value;
    value.QuadPart = 0;
    const BOOL ok = QueryPerformanceFrequency(&value);
    *frequency = value.QuadPart;
    return ok != 0;
}

void plat_query_performance_counter(int64_t* counter) {
    LARGE_INTEGER value;
    value.QuadPart = 0;
    QueryPerformanceCounter(&value);
    *counter = value.QuadPart;
}

uint32_t plat_tick_count() { return GetTickCount(); }
uint32_t plat_seed_clock() { return GetTickCount(); }
void plat_sleep(uint32_t milliseconds) { Sleep(milliseconds); }
uint32_t plat_thread_id() { return GetCurrentThreadId(); }
// Names are UTF-8 inside the program and UTF-16 at the system's calls. A
// name that is not valid UTF-8 comes from an older file written in the ANSI
// code page, and is read in it.
std::wstring win32_wide(const char* text) {
    if (!text || !*text) return std::wstring();
    UINT code_page = CP_UTF8;
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 0) {
        code_page = CP_ACP;
        length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    }
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(code_page, code_page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length) - 1);
    return wide;
}

std::string win32_utf8(const wchar_t* text) {
    if (!text || !*text) return std::string();
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], length, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(length) - 1);
    return utf8;
}

bool plat_delete_file(const char* path) { return DeleteFileW(win32_wide(path).c_str()) != 0; }
bool plat_replace_file(const char* from, const char* to) {
    return MoveFileExW(win32_wide(from).c_str(), win32_wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}
bool plat_path_exists(const char* path) {
    return path && *path && GetFileAttributesW(win32_wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}
int64_t plat_regular_file_size(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!path || !*path || !GetFileAttributesExW(win32_wide(path).c_str(), GetFileExInfoStandard, &info)) return -1;
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return -1;
    return static_cast<int64_t>(static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow);
}
FILE* plat_open_file(const char* path, const char* mode) {
    if (!path || !*path) return nullptr;
    return _wfopen(win32_wide(path).c_str(), win32_wide(mode).c_str());
}
bool plat_set_current_folder(const char* path) {
    return path && *path && SetCurrentDirectoryW(win32_wide(path).c_str()) != 0;
}
const char* plat_path_separators() { return "\\/:"; }

// A GUI program's standard handles are those it was given: a pipe or a file
// when started with its output redirected, none when started from a console
// or by a double click. Then it writes to the console it was started from,
// and without one it shows a message box.
void plat_print(const char* text, bool error) {
    const DWORD which = error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
    HANDLE out = GetStdHandle(which);
    if (out && out != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(out, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
        return;
    }
    const std::wstring wide = win32_wide(text);
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (out != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteConsoleW(out, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
            CloseHandle(out);
            return;
        }
    }
    MessageBoxW(nullptr, wide.c_str(), L"Parallaxon", MB_OK | (error ? MB_ICONERROR : MB_ICONINFORMATION));
}
const char* const* plat_image_converters() {
    static const char* const names[] = {"magick", nullptr};
    return names;
}
bool plat_text_lines_end_crlf() { return true; }

namespace {

bool absolute_folder(const std::string& folder) {
    const bool drive = folder.size() >= 3 && std::isalpha(static_cast<unsigned char>(folder[0])) &&
                       folder[1] == ':' && (folder[2] == '\\' || folder[2] == '/');
    return drive || folder.compare(0, 2, "\\\\") == 0;
}

// name.exe in the PATH's absolute folders; empty when none holds it.
std::string find_on_path(const char* name) {
    std::wstring wide_folders(32767, L'\0');
    wide_folders.resize(GetEnvironmentVariableW(L"PATH", &wide_folders[0], static_cast<DWORD>(wide_folders.size())));
    const std::string folders = win32_utf8(wide_folders.c_str());
    for (size_t begin = 0; begin <= folders.size();) {
        size_t end = folders.find(';', begin);
        if (end == std::string::npos) end = folders.size();
        std::string folder = folders.substr(begin, end - begin);
        begin = end + 1;
        if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
            folder = folder.substr(1, folder.size() - 2);
        if (!absolute_folder(folder)) continue;
        if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
        const std::string candidate = folder + name + ".exe";
        const DWORD attributes = GetFileAttributesW(win32_wide(candidate.c_str()).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return candidate;
    }
    return std::string();
}

// One argument as the C runtime's command-line parser gives it back.
std::string quoted(const char* argument) {
    if (*argument && !std::strpbrk(argument, " \t\n\v\"")) return argument;
    std::string text = "\"";
    size_t backslashes = 0;
    for (const char* p = argument; *p; ++p) {
        if (*p == '\\') {
            ++backslashes;
            continue;
        }
        text.append(*p == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        text += *p;
    }
    text.append(backslashes * 2, '\\');
    return text + '"';
}

}  // namespace

// CreateProcess with the full path: no cmd.exe, and no search of the current
// folder, whose magick.exe or magick.bat may come from anyone.
int plat_run_program(const char* const argv[]) {
    if (!argv || !argv[0] || !argv[0][0] || std::strpbrk(argv[0], "\\/:")) return -1;
    const std::string program = find_on_path(argv[0]);
    if (program.empty()) return -1;
    std::string command_line;
    for (const char* const* a = argv; *a; ++a) (command_line += command_line.empty() ? "" : " ") += quoted(*a);
    std::wstring wide_command_line = win32_wide(command_line.c_str());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(win32_wide(program.c_str()).c_str(), &wide_command_line[0], nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

void plat_lower_thread_priority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

namespace {

char fatal_box_text[1024];

DWORD WINAPI show_fatal_box(void*) {
    MessageBoxA(nullptr, fatal_box_text, "Parallaxon", MB_OK | MB_ICONERROR | MB_TOPMOST | MB_SETFOREGROUND);
    return 0;
}

}  // namespace

// A GUI program has no console to print to: a fatal message also goes into a
// message box, which stays in front of the topmost slideshow window. The box
// has a thread of its own, so that an unattended show still ends after the
// pause, whether or not anyone clicks it.
void win32_report_handler(ReportRecord* record) {
    if (record->type == REPORT_FATAL) {
        std::snprintf(fatal_box_text, sizeof(fatal_box_text), "%s", record->message ? record->message : "");
        if (HANDLE thread = CreateThread(nullptr, 0, show_fatal_box, nullptr, 0, nullptr)) CloseHandle(thread);
    }
    report_default_handler(record);
}
