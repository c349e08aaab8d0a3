// Test helpers: a private working folder and whole-file reads and writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// A fresh folder as the working folder; on destruction the previous one again, and the folder gone.
struct TempDir {
    TempDir() {
        static int serial = 0;
        do path_ = std::filesystem::temp_directory_path() / ("parallaxon-test-" + std::to_string(++serial));
        while (!std::filesystem::create_directory(path_));
        std::filesystem::current_path(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path previous_ = std::filesystem::current_path(), path_;
};

using Bytes = std::vector<uint8_t>;

inline void write_file(const std::string& path, const std::string& b) { std::ofstream(path, std::ios::binary) << b; }
inline void write_file(const std::string& path, const Bytes& b) { write_file(path, std::string(b.begin(), b.end())); }

inline bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The text as a file written in text mode holds it: CR LF line ends on Windows.
inline std::string text_mode(std::string text) {
#ifdef _WIN32
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) text.insert(at, 1, '\r');
#endif
    return text;
}
