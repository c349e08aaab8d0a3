// The program's entry on Windows: a GUI program without a console.
#include "app/parallaxon.h"
#include "base/report.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

void win32_report_handler(ReportRecord* record);  // platform_win32.cpp

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    report_state.report_handler = win32_report_handler;
    return app_main(command_line, instance);
}
