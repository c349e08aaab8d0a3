#include "app/command_line.h"

#include "platform/platform.h"

#include <cstring>

#ifndef PARALLAXON_VERSION
#define PARALLAXON_VERSION "unknown"
#endif

CommandLine read_command_line(int argc, const char* const argv[]) {
    CommandLine line;
    const char* path = nullptr;
    bool options = true;
    for (int i = 0; i < argc; ++i) {
        const char* argument = argv[i] ? argv[i] : "";
        if (options && std::strcmp(argument, "--") == 0) {
            options = false;
        } else if (options && (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0)) {
            line.action = CommandLine::help;
            return line;
        } else if (options && std::strcmp(argument, "--version") == 0) {
            line.action = CommandLine::version;
            return line;
        } else if (options && argument[0] == '-' && argument[1] != '\0') {
            line.action = CommandLine::fail;
            line.error = std::string("parallaxon: unknown option '") + argument + "' (see parallaxon --help)";
            return line;
        } else if (path) {
            line.action = CommandLine::fail;
            line.error = "parallaxon: one folder or picture at most (see parallaxon --help)";
            return line;
        } else {
            path = argument;
        }
    }
    if (!path) return line;
    if (!*path || !plat_path_exists(path)) {
        line.action = CommandLine::fail;
        line.error = std::string("parallaxon: no such folder or file: '") + path + "'";
        return line;
    }
    if (plat_regular_file_size(path) < 0) {
        line.folder = path;
        return line;
    }
    // A file: its folder is the part up to the last separator.
    const char* separators = plat_path_separators();
    size_t cut = 0;
    for (size_t i = 0; path[i]; ++i)
        if (std::strchr(separators, path[i])) cut = i + 1;
    line.folder.assign(path, cut);
    line.file = path + cut;
    return line;
}

std::string usage_text() {
    return "Usage: parallaxon [FOLDER | PICTURE]\n"
           "A full-screen slideshow of stereo photographs.\n"
           "\n"
           "  FOLDER      show the photos of this folder (without one: the current folder)\n"
           "  PICTURE     show the picture's folder, starting at the slide it belongs to\n"
           "  --help      print this help and end\n"
           "  --version   print the version and end\n"
           "\n"
           "The show follows the folder's config.txt: display settings, then each slide's\n"
           "\"Left image\", \"Right image\", \"Stereo offset\" and \"Caption\". Without a slide\n"
           "list the folder's stereo photos (MPO, spatial HEIC, JPS, PNS, left/right pairs\n"
           "of JPEG, PNG, BMP or HEIC) are the slides. config.txt is written back there at\n"
           "Esc or Q, and screenshots are saved there.\n"
           "\n"
           "Keys: Right, Left: next, previous slide    P: pause    M, Shift+M: stereo mode\n"
           "      Shift+mouse: horizontal stereo offset (with Ctrl: vertical)\n"
           "      Ctrl+S: screenshot    Esc or Q: end the show and save config.txt\n";
}

std::string version_text() { return std::string("parallaxon ") + PARALLAXON_VERSION + "\n"; }
