// The program's entry on Linux and macOS.
#include "app/parallaxon.h"

int main(int argc, char** argv) { return app_main(argc - 1, argv + 1, nullptr); }
