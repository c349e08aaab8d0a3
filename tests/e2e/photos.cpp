// Writes the photos of the end-to-end scenarios with the unit tests' own writers, 64 x 64 pixels of
// one colour per eye:  e2e_photos heic|mpo|jpeg FILE R,G,B [R,G,B]
// a spatial HEIC or an MPO of a left and a right colour, or a JPEG of the first colour.
#include "../heif_files.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    auto colour = [](const char* text) {
        int r = 0, g = 0, b = 0;
        std::sscanf(text, "%d,%d,%d", &r, &g, &b);
        return Rgb{uint8_t(r), uint8_t(g), uint8_t(b)};
    };
    const std::string kind = argv[1];
    const Rgb left = colour(argv[3]), right = colour(argv[argc - 1]);
    if (kind == "heic")
        write_file(argv[2], spatial_heic(hevc(64, 64, solid(left)), hevc(64, 64, solid(right))));
    else if (kind == "mpo")
        write_file(argv[2], mpo(jpeg(64, 64, solid(left)), jpeg(64, 64, solid(right)), true));
    else if (kind == "jpeg")
        write_file(argv[2], jpeg(64, 64, solid(left)));
    else
        return 2;
    return 0;
}
