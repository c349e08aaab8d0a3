#include "config/settings.h"

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

namespace {

// Values are trimmed when read, so one that begins or ends with white space
// (a file name can) is written in double quotes, which reading removes. So
// is a value that would itself read as quoted, so that every value without a
// line break reads back as it was written.
bool needs_quotes(const char* begin, const char* end) {
    for (; begin != end; ++begin, --end) {
        if (is_space(static_cast<unsigned char>(*begin)) || is_space(static_cast<unsigned char>(end[-1]))) return true;
        if (end - begin < 2 || *begin != '"' || end[-1] != '"') return false;
    }
    return false;
}

}  // namespace

void config_add_line(ConfigList* list, const char* line, char separator) {
    const char* sep = std::strchr(line, separator);
    if (!sep) return;
    const char* key_begin = line;
    while (key_begin < sep && is_space(static_cast<unsigned char>(*key_begin))) ++key_begin;
    const char* key_end = sep;
    while (key_end > key_begin && is_space(static_cast<unsigned char>(key_end[-1]))) --key_end;
    const char* value_begin = sep + 1;
    while (*value_begin && is_space(static_cast<unsigned char>(*value_begin))) ++value_begin;
    const char* value_end = value_begin + std::strlen(value_begin);
    while (value_end > value_begin && is_space(static_cast<unsigned char>(value_end[-1]))) --value_end;
    // Trimmed, a value needs its quotes only when it was written in them.
    if (needs_quotes(value_begin, value_end)) ++value_begin, --value_end;
    ConfigEntry entry{copy_text(key_begin, key_end - key_begin), copy_text(value_begin, value_end - value_begin)};
    dynarray_append(list, &entry);
}

ConfigList config_load(const char* path, char separator) {
    ConfigList list = dynarray_create(sizeof(ConfigEntry));
    FILE* file = plat_open_file(path, "rb");
    if (!file) return list;
    while (char* line = read_line(file)) {
        config_add_line(&list, line, separator);
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
    if (plat_text_lines_end_crlf()) return "\r\n";
    long crlf = 0, lf = 0;
    if (FILE* file = plat_open_file(path, "rb")) {
        int previous = 0, c;
        while ((c = std::fgetc(file)) != EOF) {
            if (c == '\n') ++(previous == '\r' ? crlf : lf);
            previous = c;
        }
        std::fclose(file);
    }
    return crlf > lf ? "\r\n" : "\n";
}

bool write_all(FILE* file, const std::string& text, size_t from, size_t to) {
    return std::fseek(file, static_cast<long>(from), SEEK_SET) == 0 &&
           std::fwrite(text.data() + from, 1, to - from, file) == to - from && std::fflush(file) == 0;
}

// For a folder that takes no new files. The file is first grown to its new
// length, so that a full disk fails before any old byte is overwritten.
bool write_in_place(const std::string& path, const std::string& text) {
    FILE* file = plat_open_file(path.c_str(), "r+b");
    if (!file) return false;
    long old_size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    std::error_code error;
    bool ok = old_size >= 0;
    const size_t kept = ok ? std::min(text.size(), static_cast<size_t>(old_size)) : 0;
    if (ok && text.size() > kept && !write_all(file, text, kept, text.size())) {
        std::fclose(file);
        std::filesystem::resize_file(std::filesystem::u8path(path), static_cast<uintmax_t>(old_size), error);
        return false;
    }
    ok = ok && write_all(file, text, 0, kept);
    ok = (std::fclose(file) == 0) && ok;
    if (ok && text.size() < static_cast<size_t>(old_size))
        std::filesystem::resize_file(std::filesystem::u8path(path), text.size(), error);
    return ok && !error;
}

bool write_new(const std::string& path, const std::string& text) {
    FILE* file = plat_open_file(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = (std::fflush(file) == 0) && ok;
    return (std::fclose(file) == 0) && ok;
}

}  // namespace

std::string config_text(const ConfigList* list, char separator, const char* line_end) {
    std::string text;
    for (uint32_t i = 0; i < list->count; ++i) {
        const ConfigEntry* entry = config_entry(list, i);
        ((text += entry->key) += separator) += ' ';
        const char* value = entry->value;
        if (needs_quotes(value, value + std::strlen(value)))
            ((text += '"') += value) += '"';
        else
            text += value;
        text += line_end;
    }
    return text;
}

// The text goes to a temporary file beside the target, which then replaces
// it, so an interrupted or failed write never leaves a half-written file. A
// symbolic link stays a link: the file it leads to is the one replaced.
bool config_save(const ConfigList* list, const char* path, char separator) {
    namespace fs = std::filesystem;
    FILE* existing = plat_open_file(path, "r+");
    if (!existing && errno != ENOENT) return false;  // present but not writable: keep the user's file
    const bool exists = existing != nullptr;
    if (existing) std::fclose(existing);

    const std::string text = config_text(list, separator, line_end_for(path));

    std::error_code error;
    std::string target = path;
    if (fs::is_symlink(fs::symlink_status(fs::u8path(target), error))) {
        // A link to no file yet: the file is created where the link leads.
        if (!exists) return write_new(target, text);
        const fs::path resolved = fs::canonical(fs::u8path(target), error);
        if (error) return write_in_place(target, text);
        target = resolved.u8string();
    }

    // Never write through whatever already stands under the temporary name.
    const std::string temporary = target + ".new";
    plat_delete_file(temporary.c_str());
    if (!write_new(temporary, text)) {
        plat_delete_file(temporary.c_str());
        return exists && write_in_place(target, text);
    }
    if (exists) fs::permissions(fs::u8path(temporary), fs::status(fs::u8path(target), error).permissions(), error);
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
