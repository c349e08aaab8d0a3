// The program's entry on Windows: a GUI program without a console.
#include "app/parallaxon.h"
#include "base/report.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

void win32_report_handler(ReportRecord* record);  // platform_win32.cpp
std::string win32_utf8(const wchar_t* text);     // platform_win32.cpp

// The arguments as UTF-16, split as the C runtime splits them (quotes around
// paths with spaces), and handed on in UTF-8: any file name "Open with" or a
// drop onto the program gives reaches it whole.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    report_state.report_handler = win32_report_handler;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i) arguments.push_back(win32_utf8(wide[i]));
    if (wide) LocalFree(wide);
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    return app_main(static_cast<int>(arguments.size()), argv.data(), instance);
}
