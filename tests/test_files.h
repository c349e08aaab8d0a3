// Test helpers: a private working folder and whole-file reads and writes.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Creates a fresh folder, makes it the working folder, and on destruction
// returns to the previous one and removes it.
class TempDir {
public:
    TempDir() {
        namespace fs = std::filesystem;
        previous_ = fs::current_path();
        static int serial = 0;
        for (;;) {
            path_ = fs::temp_directory_path() /
                    ("parallaxon-test-" + std::to_string(std::rand()) + "-" + std::to_string(++serial));
            if (fs::create_directory(path_)) break;
        }
        fs::current_path(path_);
    }
    ~TempDir() {
        namespace fs = std::filesystem;
        std::error_code ignored;
        fs::current_path(previous_, ignored);
        for (auto& entry : fs::recursive_directory_iterator(path_, ignored))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path previous_, path_;
};

inline void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The text as a file written in text mode holds it: CR LF line ends on Windows.
inline std::string text_mode(const std::string& text) {
#ifdef _WIN32
    std::string lines;
    for (char c : text) {
        if (c == '\n') lines += '\r';
        lines += c;
    }
    return lines;
#else
    return text;
#endif
}

inline bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

// Makes the file read-only; false when this user can write it all the same
// (an administrator, for example).
inline bool make_read_only(const std::string& path) {
    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    FILE* probe = std::fopen(path.c_str(), "r+");
    if (probe) {
        std::fclose(probe);
        return false;
    }
    return true;
}
