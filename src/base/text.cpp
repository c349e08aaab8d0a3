#include "base/text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

char* copy_text(const char* begin, size_t length) {
    char* text = static_cast<char*>(std::malloc(length + 1));
    if (!text) throw std::bad_alloc();
    std::memcpy(text, begin, length);
    text[length] = 0;
    return text;
}

char* copy_text(const char* text) { return copy_text(text, std::strlen(text)); }

bool starts_with_nocase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (fold_ascii(*text) != fold_ascii(*prefix)) return false;
    return true;
}

bool equals_nocase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (fold_ascii(*a) != fold_ascii(*b)) return false;
    return *a == *b;
}

long parse_int(const char* text, const char** end) {
    const char* p = text;
    while (is_space(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    if (*p < '0' || *p > '9') {
        if (end) *end = text;
        return 0;
    }
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (value <= INT_MAX) value = value * 10 + (*p - '0');
    if (end) *end = p;
    // Out-of-range numbers saturate instead of wrapping.
    if (negative) return value > static_cast<long long>(INT_MAX) + 1 ? INT_MIN : static_cast<long>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<long>(value);
}

double parse_real(const char* text, const char** end) {
    const char* p = text;
    while (is_space(static_cast<unsigned char>(*p))) ++p;
    const char* start = p;
    if (*p == '+' || *p == '-') ++p;
    const char* digits = p;
    while (*p >= '0' && *p <= '9') ++p;
    bool have_digits = p > digits;
    if (*p == '.') {
        const char* fraction = ++p;
        while (*p >= '0' && *p <= '9') ++p;
        have_digits = have_digits || p > fraction;
    }
    if (!have_digits) {
        if (end) *end = text;
        return 0.0;
    }
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        if (*q == '+' || *q == '-') ++q;
        if (*q >= '0' && *q <= '9') {
            while (*q >= '0' && *q <= '9') ++q;
            p = q;
        }
    }
    // Only the decimal prefix is converted: no "inf", "nan" or hexadecimal forms.
    std::string number(start, p);
    double value = std::strtod(number.c_str(), nullptr);
    if (end) *end = p;
    return value;
}

const char* find_text_nocase(const char* text, const char* pattern) {
    std::string haystack = text, needle = pattern;
    for (char& c : haystack) c = fold_ascii(c);
    for (char& c : needle) c = fold_ascii(c);
    const size_t at = haystack.find(needle);
    return at == std::string::npos ? nullptr : text + at;
}
