// The program's entry on Linux and macOS.
#include "app/parallaxon.h"

#include <string>

int main(int argc, char** argv) {
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) command_line += ' ';
        command_line += argv[i];
    }
    return app_main(command_line.c_str(), nullptr);
}
