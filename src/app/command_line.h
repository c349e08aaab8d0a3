// What the program is asked to do by its arguments: show a folder, start at a
// picture, or only print its usage or version.
#pragma once

#include <string>

struct CommandLine {
    enum Action { show, help, version, fail } action = show;
    std::string folder;  // the show's folder; empty for the current one
    std::string file;    // the picture to start at, as named in its folder; empty for none
    std::string error;   // for fail: one line saying what is wrong
};

// Reads the arguments after the program's name (UTF-8): none, a folder or a
// picture file, --help or --version. Looks at the file system, changes nothing.
CommandLine read_command_line(int argc, const char* const argv[]);

// The texts --help and --version print.
std::string usage_text();
std::string version_text();
