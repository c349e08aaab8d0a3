// The one reporting routine, its default handler and the program clock.
#pragma once

#include "base/dynarray.h"

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
// Frees the message a record owns (the element type of the report stack).
void free_report_record(void* record);

// The report stack, where reports go, and the program clock.
struct ReportState {
    OwnedDynArray records{free_report_record};     // the stack, root first; empty until the first report
    ReportHandler report_handler = report_default_handler;
    double (*read_clock)() = nullptr;              // chosen at the first reading
    double counter_period = 0;                     // seconds per performance-counter tick
};
extern ReportState report_state;

// Seconds from an arbitrary origin; the reader is chosen on the first call.
double get_seconds();
