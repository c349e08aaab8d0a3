#include "settings.h"

#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

// ---------------------------------------------------------------------------
// Growable array

namespace {

const uint32_t DEFAULT_INITIAL_CAPACITY = 1;

uint32_t resize_target(const DynArray* array, uint32_t needed) {
    double divisor = 0.005 * array->fill_percent + 0.5;
    return static_cast<uint32_t>(needed / divisor);
}

void reallocate(DynArray* array, uint32_t capacity) {
    void* block = std::malloc(static_cast<size_t>(capacity ? capacity : 1) * array->element_size);
    if (!block) throw std::bad_alloc();
    if (array->count) std::memcpy(block, array->data, static_cast<size_t>(array->count) * array->element_size);
    std::free(array->data);
    array->data = block;
    array->capacity = capacity;
    if (array->mirror) *array->mirror = block;
}

bool is_space(unsigned char c) { return c == ' ' || (c >= 9 && c <= 13); }

char* copy_text(const char* begin, size_t length) {
    char* text = static_cast<char*>(std::malloc(length + 1));
    if (!text) throw std::bad_alloc();
    std::memcpy(text, begin, length);
    text[length] = 0;
    return text;
}

char* copy_text(const char* text) { return copy_text(text, std::strlen(text)); }

}  // namespace

DynArray dynarray_create(uint32_t element_size) {
    DynArray array{};
    array.element_size = element_size;
    array.capacity = DEFAULT_INITIAL_CAPACITY;
    array.min_capacity = DEFAULT_INITIAL_CAPACITY;
    array.fill_percent = 60.0f;
    array.data = std::malloc(static_cast<size_t>(array.capacity) * element_size);
    if (!array.data) throw std::bad_alloc();
    return array;
}

void dynarray_append(DynArray* array, const void* element) {
    if (array->count >= array->capacity) reallocate(array, resize_target(array, array->count + 1));
    std::memcpy(dynarray_at(array, array->count), element, array->element_size);
    ++array->count;
}

void dynarray_remove(DynArray* array, uint32_t index) {
    if (index >= array->count) return;
    if (index != array->count - 1)
        std::memcpy(dynarray_at(array, index), dynarray_at(array, array->count - 1), array->element_size);
    --array->count;
    if (static_cast<double>(array->count) / array->capacity < 0.01 * array->fill_percent &&
        array->capacity > array->min_capacity) {
        uint32_t capacity = resize_target(array, array->count);
        reallocate(array, capacity > array->min_capacity ? capacity : array->min_capacity);
    }
}

void dynarray_free(DynArray* array) {
    std::free(array->data);
    array->data = nullptr;
    if (array->mirror) *array->mirror = nullptr;
    array->count = 0;
    array->capacity = 0;
}

// ---------------------------------------------------------------------------
// Text helpers

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

// ---------------------------------------------------------------------------
// Settings file

char* read_line(FILE* file) {
    std::string line;
    int c;
    while ((c = std::fgetc(file)) != EOF && c != '\n' && c != '\r' && c != 0) line.push_back(static_cast<char>(c));
    if (c == EOF && line.empty()) return nullptr;
    if (c == '\r') {
        int next = std::fgetc(file);
        if (next != '\n' && next != EOF) std::ungetc(next, file);
    }
    return copy_text(line.data(), line.size());
}

ConfigList config_load(const char* path, char separator) {
    ConfigList list = dynarray_create(sizeof(ConfigEntry));
    FILE* file = std::fopen(path, "rb");
    if (!file) return list;
    while (char* line = read_line(file)) {
        const char* sep = std::strchr(line, separator);
        if (sep) {
            const char* key_begin = line;
            while (key_begin < sep && is_space(static_cast<unsigned char>(*key_begin))) ++key_begin;
            const char* key_end = sep;
            while (key_end > key_begin && is_space(static_cast<unsigned char>(key_end[-1]))) --key_end;
            const char* value_begin = sep + 1;
            while (*value_begin && is_space(static_cast<unsigned char>(*value_begin))) ++value_begin;
            const char* value_end = value_begin + std::strlen(value_begin);
            while (value_end > value_begin && is_space(static_cast<unsigned char>(value_end[-1]))) --value_end;
            ConfigEntry entry{copy_text(key_begin, key_end - key_begin), copy_text(value_begin, value_end - value_begin)};
            dynarray_append(&list, &entry);
        }
        std::free(line);
    }
    std::fclose(file);
    return list;
}

const char* find_setting(const ConfigList* list, const char* key) {
    const ConfigEntry* best = nullptr;
    size_t best_length = 9999999;
    for (uint32_t i = list->count; i-- > 0;) {
        const ConfigEntry* entry = config_entry(list, i);
        if (!starts_with_nocase(entry->key, key)) continue;
        size_t length = std::strlen(entry->key);
        if (length < best_length) {
            best = entry;
            best_length = length;
        }
    }
    return best ? best->value : nullptr;
}

ConfigEntry* find_nth_entry(const ConfigList* list, const char* key, int n) {
    if (n < 1) return nullptr;
    for (uint32_t i = 0; i < list->count; ++i) {
        ConfigEntry* entry = config_entry(list, i);
        if (starts_with_nocase(entry->key, key) && --n == 0) return entry;
    }
    return nullptr;
}

bool config_has_key(const ConfigList* list, const char* key) {
    for (uint32_t i = list->count; i-- > 0;)
        if (equals_nocase(config_entry(list, i)->key, key)) return true;
    return false;
}

void config_add(ConfigList* list, const char* key, const char* value) {
    ConfigEntry entry{copy_text(key), copy_text(value)};
    dynarray_append(list, &entry);
}

void config_ensure(ConfigList* list, const char* key, const char* default_value) {
    if (!config_has_key(list, key)) config_add(list, key, default_value);
}

void config_set_value(ConfigEntry* entry, const char* value) {
    char* copy = copy_text(value);
    std::free(entry->value);
    entry->value = copy;
}

int config_get_int(const ConfigList* list, const char* key) {
    const char* value = find_setting(list, key);
    return value ? static_cast<int>(parse_int(value)) : 0;
}

double config_get_real(const ConfigList* list, const char* key) {
    const char* value = find_setting(list, key);
    return value ? parse_real(value) : 0.0;
}

bool config_get_yesno(const ConfigList* list, const char* key) {
    const char* value = find_setting(list, key);
    if (!value) return false;
    char first = fold_ascii(value[0]);
    return first == 't' || first == 'y' || first == '1';
}

namespace {

// CR LF when most of the file's line ends are CR LF, or on Windows; else LF.
const char* line_end_for(const char* path) {
#ifdef _WIN32
    (void)path;
    return "\r\n";
#else
    long crlf = 0, lf = 0;
    if (FILE* file = std::fopen(path, "rb")) {
        int previous = 0, c;
        while ((c = std::fgetc(file)) != EOF) {
            if (c == '\n') ++(previous == '\r' ? crlf : lf);
            previous = c;
        }
        std::fclose(file);
    }
    return crlf > lf ? "\r\n" : "\n";
#endif
}

bool write_all(FILE* file, const std::string& text, size_t from, size_t to) {
    return std::fseek(file, static_cast<long>(from), SEEK_SET) == 0 &&
           std::fwrite(text.data() + from, 1, to - from, file) == to - from && std::fflush(file) == 0;
}

// For a folder that takes no new files. The file is first grown to its new
// length, so that a full disk fails before any old byte is overwritten.
bool write_in_place(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "r+b");
    if (!file) return false;
    long old_size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    std::error_code error;
    bool ok = old_size >= 0;
    const size_t kept = ok ? std::min(text.size(), static_cast<size_t>(old_size)) : 0;
    if (ok && text.size() > kept && !write_all(file, text, kept, text.size())) {
        std::fclose(file);
        std::filesystem::resize_file(path, static_cast<uintmax_t>(old_size), error);
        return false;
    }
    ok = ok && write_all(file, text, 0, kept);
    ok = (std::fclose(file) == 0) && ok;
    if (ok && text.size() < static_cast<size_t>(old_size))
        std::filesystem::resize_file(path, text.size(), error);
    return ok && !error;
}

bool write_new(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = (std::fflush(file) == 0) && ok;
    return (std::fclose(file) == 0) && ok;
}

}  // namespace

// The text goes to a temporary file beside the target, which then replaces
// it, so an interrupted or failed write never leaves a half-written file. A
// symbolic link stays a link: the file it leads to is the one replaced.
bool config_save(const ConfigList* list, const char* path, char separator) {
    namespace fs = std::filesystem;
    FILE* existing = std::fopen(path, "r+");
    if (!existing && errno != ENOENT) return false;  // present but not writable: keep the user's file
    const bool exists = existing != nullptr;
    if (existing) std::fclose(existing);

    const char* line_end = line_end_for(path);
    std::string text;
    for (uint32_t i = 0; i < list->count; ++i) {
        const ConfigEntry* entry = config_entry(list, i);
        ((text += entry->key) += separator) += ' ';
        (text += entry->value) += line_end;
    }

    std::error_code error;
    std::string target = path;
    if (fs::is_symlink(fs::symlink_status(target, error))) {
        // A link to no file yet: the file is created where the link leads.
        if (!exists) return write_new(target, text);
        const fs::path resolved = fs::canonical(target, error);
        if (error) return write_in_place(target, text);
        target = resolved.string();
    }

    // Never write through whatever already stands under the temporary name.
    const std::string temporary = target + ".new";
    std::remove(temporary.c_str());
    if (!write_new(temporary, text)) {
        std::remove(temporary.c_str());
        return exists && write_in_place(target, text);
    }
    if (exists) fs::permissions(temporary, fs::status(target, error).permissions(), error);
    if (!plat_replace_file(temporary.c_str(), target.c_str())) {
        plat_delete_file(temporary.c_str());
        return false;
    }
    return true;
}

void config_free(ConfigList* list) {
    for (uint32_t i = list->count; i-- > 0;) {
        ConfigEntry* entry = config_entry(list, i);
        std::free(entry->key);
        std::free(entry->value);
    }
    dynarray_free(list);
}
