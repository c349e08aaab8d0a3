// Text helpers: copies, ASCII case folding and decimal parsing.
#pragma once

#include <cstddef>

// A malloc'd copy, ended by a zero byte; throws std::bad_alloc without memory.
char* copy_text(const char* begin, size_t length);
char* copy_text(const char* text);

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
// Space, tab, line feed, vertical tab, form feed, carriage return.
inline bool is_space(unsigned char c) { return c == ' ' || (c >= 9 && c <= 13); }
// Case folding of the ASCII letters A to Z only.
inline char fold_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
bool starts_with_nocase(const char* text, const char* prefix);
bool equals_nocase(const char* a, const char* b);
// The first place of pattern in text, ignoring the case of A to Z; null when there is none.
const char* find_text_nocase(const char* text, const char* pattern);

// Standard decimal parsing: leading white space, optional sign, stop at the
// first byte that cannot continue the number; no number gives 0.
long parse_int(const char* text, const char** end = nullptr);
double parse_real(const char* text, const char** end = nullptr);
