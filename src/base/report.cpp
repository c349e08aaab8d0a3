#include "base/report.h"

#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

ReportState report_state;

namespace {

DynArray& records() { return report_state.records.array; }

ReportRecord* top_record() { return static_cast<ReportRecord*>(dynarray_at(&records(), records().count - 1)); }

void free_message(ReportRecord* record) {
    if (record->owns_message) std::free(const_cast<char*>(record->message));
    record->message = nullptr;
    record->owns_message = 0;
}

void pass_to_handler(ReportRecord* record) {
    if (report_state.report_handler) report_state.report_handler(record);
}

[[noreturn]] void end_process(int status) {
    std::fflush(stdout);
    std::exit(status);
}

double read_counter() {
    int64_t counter = 0;
    plat_query_performance_counter(&counter);
    return static_cast<double>(counter) * report_state.counter_period;
}

double read_ticks() { return plat_tick_count() * 0.001; }

}  // namespace

double get_seconds() {
    if (!report_state.read_clock) {
        int64_t frequency = 0;
        if (plat_query_performance_frequency(&frequency) && frequency > 0) {
            report_state.counter_period = 1.0 / static_cast<double>(frequency);
            report_state.read_clock = read_counter;
        } else {
            report_state.read_clock = read_ticks;
        }
    }
    return report_state.read_clock();
}

void free_report_record(void* record) { free_message(static_cast<ReportRecord*>(record)); }

int32_t report_inner(const char* file, int32_t line, int32_t type, const char* message, int32_t copy) {
    DynArray& report_records = records();
    if (!report_records.element_size) {
        report_records = dynarray_create(sizeof(ReportRecord));
        ReportRecord root{};
        dynarray_append(&report_records, &root);
    }

    if (type == REPORT_END) {
        if (report_records.count <= 1)
            report_inner("report", __LINE__, REPORT_FATAL, "Trying to pop empty stack in report_inner", 0);
        free_message(top_record());
        dynarray_remove(&report_records, report_records.count - 1);
        ReportRecord* section = top_record();
        section->type = REPORT_END;
        pass_to_handler(section);
        free_message(section);
        std::memset(section, 0, sizeof(*section));
        return 0;
    }

    if (type != REPORT_MESSAGE && type != REPORT_BEGIN && type != REPORT_FATAL && type != REPORT_WARNING &&
        type != REPORT_QUESTION) {
        ReportRecord* top = top_record();
        free_message(top);
        *top = ReportRecord{REPORT_FATAL, "report", __LINE__, plat_thread_id(),
                            "Unknown ReportType in report_inner", 0, get_seconds(), 0, 0, 0};
        pass_to_handler(top);
        end_process(1);
    }

    ReportRecord record{};
    record.type = type;
    record.file = file;
    record.line = line;
    record.thread_id = plat_thread_id();
    if (copy && message) {
        size_t length = std::strlen(message);
        char* owned = static_cast<char*>(std::malloc(length + 1));
        if (!owned) throw std::bad_alloc();
        std::memcpy(owned, message, length + 1);
        record.message = owned;
        record.owns_message = 1;
    } else {
        record.message = message;
    }
    record.time = get_seconds();

    if (type == REPORT_WARNING || type == REPORT_QUESTION) {
        dynarray_append(&report_records, &record);
    } else {
        free_message(top_record());
        *top_record() = record;
    }

    pass_to_handler(top_record());
    int32_t answer = top_record()->answer;

    if (type == REPORT_BEGIN) {
        ReportRecord blank{};
        dynarray_append(&report_records, &blank);
    } else if (type == REPORT_FATAL) {
        end_process(1);
    } else if (type == REPORT_WARNING || type == REPORT_QUESTION) {
        free_message(top_record());
        dynarray_remove(&report_records, report_records.count - 1);
    }
    return answer;
}

void report_default_handler(ReportRecord* record) {
    switch (record->type) {
    case REPORT_FATAL:
        std::printf("\n[FATAL ERROR] %s\n", record->message ? record->message : "");
        std::fflush(stdout);
        plat_sleep(2500);
        return;
    case REPORT_WARNING:
        return;
    case REPORT_QUESTION:
        report_ask_yes_no(record);
        return;
    default:
        if (record->message) std::printf("%s", record->message);
        if (record->total > 0)
            std::printf(" [%lg/%lg]", record->value, record->total);
        else if (record->value > 0)
            std::printf(" [%lg]", record->value);
        std::printf("\n");
        std::fflush(stdout);
        return;
    }
}

int32_t report_ask_yes_no(ReportRecord* record) {
    std::printf("%s (Y/N) ", record->message ? record->message : "");
    std::fflush(stdout);
    // Only the first character of the answer matters; the rest of a word
    // too long for the buffer is read and dropped, not left for the next question.
    char word[1008] = {};
    if (std::scanf("%1007s", word) != 1) word[0] = 0;
    std::scanf("%*[^ \t\n\v\f\r]");
    record->answer = (word[0] == 'y' || word[0] == 'Y') ? 1 : 0;
    return 1;
}
