// The growable array and the settings file with its lookups.
#pragma once

#include <cstdint>
#include <cstdio>

struct DynArray {
    void* data;
    void** mirror;          // receives data on every reallocation; null in this program
    uint32_t count;
    uint32_t capacity;
    uint32_t min_capacity;
    uint32_t element_size;
    float fill_percent;     // low-water fill percentage, always 60
};

DynArray dynarray_create(uint32_t element_size);
void dynarray_append(DynArray* array, const void* element);
void dynarray_remove(DynArray* array, uint32_t index);
void dynarray_free(DynArray* array);
inline void* dynarray_at(const DynArray* array, uint32_t index) {
    return static_cast<char*>(array->data) + static_cast<size_t>(index) * array->element_size;
}

struct ConfigEntry {
    char* key;
    char* value;
};

typedef DynArray ConfigList;

inline ConfigEntry* config_entry(const ConfigList* list, uint32_t index) {
    return static_cast<ConfigEntry*>(dynarray_at(list, index));
}

char* read_line(FILE* file);
ConfigList config_load(const char* path, char separator);
const char* find_setting(const ConfigList* list, const char* key);
ConfigEntry* find_nth_entry(const ConfigList* list, const char* key, int n);
bool config_has_key(const ConfigList* list, const char* key);
void config_add(ConfigList* list, const char* key, const char* value);
void config_ensure(ConfigList* list, const char* key, const char* default_value);
void config_set_value(ConfigEntry* entry, const char* value);
int config_get_int(const ConfigList* list, const char* key);
double config_get_real(const ConfigList* list, const char* key);
bool config_get_yesno(const ConfigList* list, const char* key);
bool config_save(const ConfigList* list, const char* path, char separator);
void config_free(ConfigList* list);

// Case folding of the ASCII letters A to Z only.
inline char fold_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
bool starts_with_nocase(const char* text, const char* prefix);
bool equals_nocase(const char* a, const char* b);

// Standard decimal parsing: leading white space, optional sign, stop at the
// first byte that cannot continue the number; no number gives 0.
long parse_int(const char* text, const char** end = nullptr);
double parse_real(const char* text, const char** end = nullptr);
