// The settings file: a list of key/value entries, read, looked up and written back.
#pragma once

#include "base/dynarray.h"
#include "base/text.h"

#include <cstdint>
#include <cstdio>
#include <string>

struct ConfigEntry {
    char* key;
    char* value;
};

typedef DynArray ConfigList;

inline ConfigEntry* config_entry(const ConfigList* list, uint32_t index) {
    return static_cast<ConfigEntry*>(dynarray_at(list, index));
}

char* read_line(FILE* file);
// One line of the file (without its end) as an entry, when it holds the separator.
void config_add_line(ConfigList* list, const char* line, char separator);
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
// The entries as the file's text: "key: value" lines, a value that reading
// would trim or unquote in double quotes.
std::string config_text(const ConfigList* list, char separator, const char* line_end);
bool config_save(const ConfigList* list, const char* path, char separator);
void config_free(ConfigList* list);
