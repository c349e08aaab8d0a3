// The one seam between the slideshow and the operating system.
//
// Every call here has a Win32 counterpart (named beside it) and means exactly
// what that call means; the SDL, headless and Win32 backends only translate.
// Paths and names are UTF-8 (on Windows, or any bytes of an older file's code
// page); the Windows backend hands them to the wide-character calls.
// No OS header may be included here or above this layer.
#pragma once

#include <cstdint>
#include <cstdio>

struct PlatRect {
    int32_t left, top, right, bottom;  // right and bottom are exclusive
};

// Which step of window and context creation failed (the fatal reports name it).
enum PlatCreateResult {
    PLAT_CREATE_OK = 0,
    PLAT_CREATE_REGISTER_CLASS,   // RegisterClass
    PLAT_CREATE_WINDOW,           // CreateWindowEx
    PLAT_CREATE_CHOOSE_FORMAT,    // ChoosePixelFormat
    PLAT_CREATE_SET_FORMAT,       // SetPixelFormat
    PLAT_CREATE_CONTEXT,          // wglCreateContext
    PLAT_CREATE_MAKE_CURRENT,     // wglMakeCurrent
};

// Window messages the backends hand to gfx_window_proc; all others take the
// platform's default handling.
enum PlatMessage {
    PLAT_MSG_SIZE = 1,      // WM_SIZE: width, height of the client area
    PLAT_MSG_CLOSE,         // WM_CLOSE
    PLAT_MSG_DESTROY,       // WM_DESTROY
    PLAT_MSG_SYSKEYDOWN,    // WM_SYSKEYDOWN (swallowed)
};
// The up-call: the window procedure above the seam, which the backends call
// for each of the messages above (as Windows calls a WndProc).
int32_t gfx_window_proc(void* window, uint32_t message, uint32_t wparam, int32_t width, int32_t height);

// Window and GL context. Creates a borderless, visible, topmost-capable
// window at (x, y) of w x h desktop pixels with a double-buffered RGBA
// context (24 colour bits, 32 depth bits requested) and makes it current.
// Size messages during creation are delivered to gfx_window_proc.
PlatCreateResult plat_create_window(int32_t x, int32_t y, int32_t w, int32_t h,
                                    const char* title, void* instance, void** window_out);
void plat_release_context();                      // wglMakeCurrent(0), wglDeleteContext, ReleaseDC
void plat_swap_buffers();                         // SwapBuffers(device_context)
// wglGetProcAddress: an OpenGL function beyond 1.1 of the current context, or
// null. Whether the context supports it is for the caller to ask GL.
void* plat_gl_proc_address(const char* name);

// PeekMessage/GetMessage/TranslateMessage/DispatchMessage until the queue is
// empty. Returns 1 as soon as the quit message (WM_QUIT) is taken, else 0.
int plat_pump_messages();
// While something else is awaited: MsgWaitForMultipleObjects for input, at
// most `ms` milliseconds, then the queue pumped as above.
int plat_wait_messages(uint32_t ms);

// GetKeyboardState (Win32 virtual-key layout), and how often each key went
// down since the last call, auto-repeat not counted: a key pressed and
// released between two calls shows up there alone.
void plat_get_keyboard_state(uint8_t keys[256], uint8_t presses[256]);
bool plat_is_iconic();                            // IsIconic(window_handle)
void plat_minimise();                             // ShowWindow(window_handle, SW_MINIMIZE)
void plat_set_topmost();                          // SetWindowPos(HWND_TOPMOST, NOMOVE|NOSIZE)
PlatRect plat_get_window_rect();                  // GetWindowRect, desktop coordinates
void plat_get_cursor_pos(int32_t* x, int32_t* y); // GetCursorPos, desktop coordinates
void plat_set_cursor_pos(int32_t x, int32_t y);   // SetCursorPos
void plat_hide_cursor();                          // ShowCursor(FALSE)

// Monitors and screens.
typedef void (*PlatMonitorCallback)(const PlatRect* rect, void* user);
void plat_enum_monitors(PlatMonitorCallback callback, void* user);  // EnumDisplayMonitors
// The primary monitor: (0, 0, SM_CXSCREEN, SM_CYSCREEN) on Windows; an X11
// desktop may place it anywhere.
PlatRect plat_primary_screen();
void plat_virtual_screen(int32_t* x, int32_t* y, int32_t* w, int32_t* h);  // SM_*VIRTUALSCREEN
void plat_change_display_mode(int32_t w, int32_t h);  // ChangeDisplaySettings(CDS_FULLSCREEN); result ignored
void plat_restore_display_mode();                     // ChangeDisplaySettings(NULL, 0)

// Clock and process.
bool plat_query_performance_frequency(int64_t* frequency);  // QueryPerformanceFrequency
void plat_query_performance_counter(int64_t* counter);      // QueryPerformanceCounter
uint32_t plat_tick_count();                                 // GetTickCount
// The random generator's seed: GetTickCount on Windows, elsewhere the low 32
// bits of the wall clock's milliseconds, so that no two runs start alike.
uint32_t plat_seed_clock();
void plat_sleep(uint32_t milliseconds);                     // Sleep
uint32_t plat_thread_id();                                  // GetCurrentThreadId
bool plat_delete_file(const char* path);                    // DeleteFileW
bool plat_path_exists(const char* path);                    // GetFileAttributesW != INVALID_FILE_ATTRIBUTES
// GetFileAttributesExW: the size of a regular file; -1 for anything else (no
// file, a folder, a device or a pipe that would block a reader).
int64_t plat_regular_file_size(const char* path);
bool plat_replace_file(const char* from, const char* to);   // MoveFileExW(MOVEFILE_REPLACE_EXISTING)
// _wfopen: the C library's stream of a file, whatever characters its name has.
FILE* plat_open_file(const char* path, const char* mode);
bool plat_set_current_folder(const char* path);             // SetCurrentDirectoryW
// The characters that end a folder in a path: "/", on Windows also "\\" and
// a drive's ":".
const char* plat_path_separators();
// A line or more for the person who started the program: standard output
// (standard error for an error), or on Windows without a console a message box.
void plat_print(const char* text, bool error);
// Runs the program argv[0], a bare name found in the PATH's absolute folders
// only (never the current folder), without a shell: each argument reaches it
// as it is. Waits for it; returns its exit status, or -1 when it is not found
// or cannot be started.
int plat_run_program(const char* const argv[]);  // CreateProcessW, WaitForSingleObject, GetExitCodeProcess
// The names ImageMagick's converter goes by, tried in turn: "magick", and
// elsewhere than on Windows (whose convert.exe converts file systems)
// ImageMagick 6's "convert". Ends with a null.
const char* const* plat_image_converters();
// Whether text files written here end their lines with CR LF (Windows).
bool plat_text_lines_end_crlf();

// The calling thread gives way to the others: for work in the background
// that must not slow the frames (nor a software renderer's threads).
void plat_lower_thread_priority();  // SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL)
