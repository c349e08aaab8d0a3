// The one reporting routine, its default handler and the program clock.
#pragma once

#include <cstdint>

enum ReportType {
    REPORT_MESSAGE = 1,
    REPORT_BEGIN = 2,
    REPORT_END = 3,
    REPORT_PROGRESS = 4,
    REPORT_FATAL = 5,
    REPORT_WARNING = 6,
    REPORT_QUESTION = 7,
};

struct ReportRecord {
    int32_t type;
    const char* file;
    int32_t line;
    uint32_t thread_id;
    const char* message;
    int32_t owns_message;
    double time;
    double value;
    double total;
    int32_t answer;
};

int32_t report_inner(const char* file, int32_t line, int32_t type, const char* message, int32_t copy);
void report_default_handler(ReportRecord* record);
int32_t report_ask_yes_no(ReportRecord* record);

typedef void (*ReportHandler)(ReportRecord* record);
extern ReportHandler report_handler;

// Seconds from an arbitrary origin; chooses its reader on the first call.
extern double (*get_seconds)();

// Back to the state at start-up: no records, the default handler, the clock not chosen.
void report_reset();
// For tests: the records of the report stack, bottom first.
const ReportRecord* report_stack(uint32_t* count);
