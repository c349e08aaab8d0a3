// Reports, fatal ends and the window's own messages.
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

// Questions wait for one word each, however long: the rest of it is no answer
// to the next question; the end of the input is no. The stack stays as it was.
TEST_F(Report, QuestionsTakeOneWordEach) {
    write_file("answers.txt", "yes\nno\n" + std::string(5000, 'y') + "\n" + std::string(3000, 'n') + "\ny\n");
    ASSERT_NE(std::freopen("answers.txt", "r", stdin), nullptr);
    testing::internal::CaptureStdout();
    std::vector<int> answers;
    for (int i = 0; i < 6; ++i) answers.push_back(report_inner("test", 5, REPORT_QUESTION, "Go?", 0));
    EXPECT_EQ(answers, (std::vector<int>{1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Go? (Y/N) Go? (Y/N) Go? (Y/N) Go? (Y/N) Go? (Y/N) Go? (Y/N) ");
    const DynArray& stack = report_state.records.array;
    EXPECT_EQ(static_cast<const ReportRecord*>(stack.data)[0].message, nullptr);
    EXPECT_EQ(stack.count, 1u);
}

// Every fatal end prints its tagged message, waits 2.5 s and ends with status 1.
TEST_F(Report, FatalReportsEndTheProcess) {
    ReportRecord fatal{};
    fatal.type = REPORT_FATAL, fatal.message = "Window Creation Error.";
    testing::internal::CaptureStdout();
    report_default_handler(&fatal);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n[FATAL ERROR] Window Creation Error.\n");
    EXPECT_EQ(headless::state().slept_ms, 2500u);

    const std::pair<std::function<void()>, const char*> ends[] = {
        {[] { report_inner("t", 1, 4, "x", 0); }, "Unknown ReportType in report_inner"},
        {[] {
             report_inner("t", 1, REPORT_BEGIN, "outer", 0);
             report_inner("t", 2, REPORT_END, nullptr, 0);
             report_inner("t", 3, REPORT_END, nullptr, 0);
         },
         "outer\nouter\n\n\\[FATAL ERROR\\] Trying to pop empty stack in report_inner"},
    };
    for (const auto& [action, message] : ends)
        EXPECT_EXIT((stdout_to_stderr(), action()), testing::ExitedWithCode(1), message) << message;
    const std::pair<PlatCreateResult, const char*> steps[] = {
        {PLAT_CREATE_REGISTER_CLASS, "Failed To Register The Window Class."}, {PLAT_CREATE_WINDOW, "Window Creation Error."},
        {PLAT_CREATE_CHOOSE_FORMAT, "Can't Find A Suitable PixelFormat."}, {PLAT_CREATE_SET_FORMAT, "Can't Set The PixelFormat."},
        {PLAT_CREATE_CONTEXT, "Can't Create A GL Rendering Context."}, {PLAT_CREATE_MAKE_CURRENT, "Can't activate GLRC."}};
    for (auto [step, message] : steps)
        EXPECT_EXIT((stdout_to_stderr(), headless::state().fail_step = step, gfx_open_window("t", nullptr)),
                    testing::ExitedWithCode(1), std::string("\\[FATAL ERROR\\] ") + message) << message;
}

// The window's own messages: a close releases the context and restores the
// display mode; the quit message ends the pump before any key snapshot.
TEST_F(Show, CloseAndQuitEndThePump) {
    ASSERT_EQ(gfx_open_window("t", nullptr), 1);
    headless::state().close_window = true;
    EXPECT_EQ(gfx_pump_messages(), 1);
    EXPECT_EQ(headless::state().release_calls, 1);
    EXPECT_EQ(headless::state().mode_restores, 1);
    headless::reset();
    ASSERT_EQ(gfx_open_window("t", nullptr), 1);
    headless::state().keys[static_cast<uint8_t>('P')] = 0x80;
    headless::state().quit_message = true;
    EXPECT_EQ(gfx_pump_messages(), 1);
    EXPECT_FALSE(key_held('P'));
    gfx_window_proc(nullptr, PLAT_MSG_SIZE, 0, 0, 0);  // minimised: no height is 1
    EXPECT_EQ(display.screen_height, 1);
}
