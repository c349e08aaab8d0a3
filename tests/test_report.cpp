#include "report.h"

#include "platform/headless.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <io.h>
#define dup2 _dup2
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

// Death tests match on standard error; the fatal text goes to standard output.
void stdout_to_stderr() {
    std::fflush(stdout);
    dup2(fileno(stderr), fileno(stdout));
}

uint32_t stack_size() {
    uint32_t count = 0;
    report_stack(&count);
    return count;
}

const ReportRecord& top() {
    uint32_t count = 0;
    const ReportRecord* records = report_stack(&count);
    return records[count - 1];
}

// Answers console questions from the given text.
class StdinFrom {
public:
    explicit StdinFrom(const std::string& text) {
        write_file("answer.txt", text);
        saved_ = std::freopen("answer.txt", "r", stdin) != nullptr;
    }
    bool ok() const { return saved_; }

private:
    TempDir dir_;
    bool saved_;
};

}  // namespace

TEST(Report, SectionsPrintBeginMessageAndEndAgain) {
    report_inner("test", 1, REPORT_MESSAGE, "root", 0);
    const uint32_t before = stack_size();
    testing::internal::CaptureStdout();
    report_inner("test", 2, REPORT_BEGIN, "A", 0);
    EXPECT_EQ(stack_size(), before + 1);
    report_inner("test", 3, REPORT_MESSAGE, "B", 0);
    report_inner("test", 4, REPORT_END, nullptr, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "A\nB\nA\n");
    EXPECT_EQ(stack_size(), before);
    EXPECT_EQ(top().type, 0);
    EXPECT_EQ(top().message, nullptr);
}

TEST(Report, DefaultHandlerPrintsProgressFigures) {
    ReportRecord record{};
    record.type = REPORT_PROGRESS;
    record.message = "Loading";
    record.value = 3;
    record.total = 8;
    testing::internal::CaptureStdout();
    report_default_handler(&record);
    record.total = 0;
    report_default_handler(&record);
    record.value = 0;
    record.message = nullptr;
    report_default_handler(&record);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Loading [3/8]\nLoading [3]\n\n");
}

TEST(Report, FatalPrintsTaggedMessageAndWaits) {
    headless::reset();
    ReportRecord record{};
    record.type = REPORT_FATAL;
    record.message = "Window Creation Error.";
    testing::internal::CaptureStdout();
    report_default_handler(&record);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n[FATAL ERROR] Window Creation Error.\n");
    EXPECT_EQ(headless::state().slept_ms, 2500u);
}

TEST(ReportDeathTest, FatalEndsWithStatusOne) {
    EXPECT_EXIT(
        {
            stdout_to_stderr();
            report_inner("gfx_opengl", 583, REPORT_FATAL, "Window Creation Error.", 0);
        },
        testing::ExitedWithCode(1), "\n\\[FATAL ERROR\\] Window Creation Error.\n");
}

TEST(ReportDeathTest, UnknownTypesAreFatal) {
    for (int type : {0, 4, 8, -1}) {
        EXPECT_EXIT(
            {
                stdout_to_stderr();
                report_inner("test", 1, type, "x", 0);
            },
            testing::ExitedWithCode(1), "Unknown ReportType in report_inner")
            << type;
    }
}

TEST(ReportDeathTest, UnbalancedEndIsFatal) {
    EXPECT_EXIT(
        {
            stdout_to_stderr();
            report_inner("test", 1, REPORT_BEGIN, "outer", 0);
            report_inner("test", 2, REPORT_BEGIN, "inner", 0);
            report_inner("test", 3, REPORT_END, nullptr, 0);
            report_inner("test", 4, REPORT_END, nullptr, 0);
            report_inner("test", 5, REPORT_END, nullptr, 0);
        },
        testing::ExitedWithCode(1), "outer\ninner\ninner\nouter\n\n\\[FATAL ERROR\\] Trying to pop empty stack");
}

TEST(Report, WarningPrintsNothingAndLeavesTheStack) {
    report_inner("test", 1, REPORT_MESSAGE, "level message", 0);
    const uint32_t before = stack_size();
    testing::internal::CaptureStdout();
    EXPECT_EQ(report_inner("test", 2, REPORT_WARNING, "careful", 1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(stack_size(), before);
    EXPECT_STREQ(top().message, "level message");
}

TEST(Report, QuestionsAnswerFromTheFirstCharacter) {
    report_inner("test", 1, REPORT_MESSAGE, "kept", 0);
    const uint32_t before = stack_size();
    for (auto [answer, expected] : {std::pair<std::string, int>{"yes\n", 1}, {"Y", 1}, {"no\n", 0}, {"\n", 0},
                                    {std::string(5000, 'y') + "\n", 1}, {std::string(3000, 'n'), 0}}) {
        StdinFrom input(answer);
        ASSERT_TRUE(input.ok());
        testing::internal::CaptureStdout();
        EXPECT_EQ(report_inner("test", 2, REPORT_QUESTION, "Continue?", 0), expected) << answer.substr(0, 8);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Continue? (Y/N) ");
        EXPECT_EQ(stack_size(), before);
        EXPECT_STREQ(top().message, "kept");
    }
}

TEST(Report, CopiedMessagesSurviveTheCallersBuffer) {
    char buffer[32];
    std::strcpy(buffer, "first text");
    testing::internal::CaptureStdout();
    report_inner("test", 7, REPORT_MESSAGE, buffer, 1);
    testing::internal::GetCapturedStdout();
    std::strcpy(buffer, "overwritten");
    EXPECT_STREQ(top().message, "first text");
    EXPECT_EQ(top().owns_message, 1);
    EXPECT_EQ(top().line, 7);
    EXPECT_STREQ(top().file, "test");
}

TEST(ClockDeathTest, CounterReaderIsChosenWhenAvailable) {
    EXPECT_EXIT(
        {
            headless::reset();
            headless::state().frequency = 1000;
            headless::state().counter = 2500;
            double first = get_seconds();
            headless::state().counter = 4000;
            double second = get_seconds();
            std::exit(first == 2.5 && second == 4.0 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(ClockDeathTest, TickReaderWithoutACounter) {
    EXPECT_EXIT(
        {
            headless::reset();
            headless::state().has_performance_counter = false;
            headless::state().ticks = 4294967295u;
            double first = get_seconds();
            headless::state().ticks = 16;
            double wrapped = get_seconds();
            std::exit(std::fabs(first - 4294967.295) < 1e-6 && std::fabs(wrapped - 0.016) < 1e-12 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
