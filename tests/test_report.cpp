// Reports and fatal ends.
#include "base/report.h"
#include "show.h"

#ifdef _WIN32
#include <io.h>
#define dup2 _dup2
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

// Death tests match on standard error; reports go to standard output.
void stdout_to_stderr() {
    std::fflush(stdout);
    dup2(fileno(stderr), fileno(stdout));
}

using Report = Show;

}  // namespace

// Every fatal end prints its tagged message, waits 2.5 s and ends with status 1: a failing step
// of opening the window, a texture limit too small for the built-in font.
TEST_F(Report, FatalReportsEndTheProcess) {
    ReportRecord fatal{};
    fatal.type = REPORT_FATAL, fatal.message = "Window Creation Error.";
    testing::internal::CaptureStdout();
    report_default_handler(&fatal);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n[FATAL ERROR] Window Creation Error.\n");
    EXPECT_EQ(headless::state().slept_ms, 2500u);

    const std::pair<PlatCreateResult, const char*> steps[] = {
        {PLAT_CREATE_REGISTER_CLASS, "Failed To Register The Window Class."},
        {PLAT_CREATE_WINDOW, "Window Creation Error."},
        {PLAT_CREATE_CHOOSE_FORMAT, "Can't Find A Suitable PixelFormat."},
        {PLAT_CREATE_SET_FORMAT, "Can't Set The PixelFormat."},
        {PLAT_CREATE_CONTEXT, "Can't Create A GL Rendering Context."},
        {PLAT_CREATE_MAKE_CURRENT, "Can't activate GLRC."}};
    for (auto [step, message] : steps)
        EXPECT_EXIT((stdout_to_stderr(), headless::state().fail_step = step, gfx_open_window("t", nullptr)),
                    testing::ExitedWithCode(1), std::string("\\[FATAL ERROR\\] ") + message) << message;
    screen(8, 8);
    display.texture_size_cap = 32;
    EXPECT_EXIT((stdout_to_stderr(), font_load_glyph_data(caption_glyph_data, caption_glyph_data_length, "caption")),
                testing::ExitedWithCode(1), "\\[FATAL ERROR\\] Font 'caption' required texture of size 32x4096");
}
