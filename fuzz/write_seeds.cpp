// Writes the seed files of the photo fuzzers, made by the tests' own writers:
// write_fuzz_seeds FOLDER fills FOLDER/corpus_picture, FOLDER/corpus_stereo
// and FOLDER/corpus_heif.
#include "../tests/heif_files.h"

#include <filesystem>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::filesystem::path root = argv[1];
    const Rgb red{255, 0, 0}, blue{0, 0, 255};
    auto halves = [=](int x, int) { return x < 8 ? blue : red; };
    const Bytes left = jpeg(16, 8, solid(red)), right = with_exif(jpeg(16, 8, solid(blue)), 1, -35);
    const Bytes stereo[] = {mpo(left, right, true), mpo(left, right, false, true),
                            mpo({{left, 2}, {right, 1}, {left, 3, 0x010001}}, false, 1), with_exif(left, 6),
                            with_jps(jpeg(16, 8, halves), 5, 3)};
    const Bytes pictures[] = {jpeg(16, 8, halves), png(16, 8, halves), bmp24(4, 2, solid(red)),
                              cmyk_jpeg(16, 8, halves, true), png(16, 8, halves, 6)};
    const Hevc red_hevc = hevc(64, 64, solid(red)), blue_hevc = hevc(64, 64, solid(blue));
    const std::vector<HeifImage> pair = {{{red_hevc}}, {{blue_hevc, blue_hevc}, 2}};  // the second a grid of two tiles
    Bytes groups = heif_group("altr", {1, 2});
    for (uint8_t byte : heif_group("ster", {1, 2, 3})) groups.push_back(byte);
    const Bytes heif[] = {spatial_heic(red_hevc, blue_hevc), heif_file(pair, heif_group("ster", {2, 1}, 4)),
                          heif_file(pair, groups)};
    for (const char* corpus : {"corpus_stereo", "corpus_picture", "corpus_heif"})
        std::filesystem::create_directories(root / corpus);
    int n = 0;
    for (const Bytes& file : stereo) {
        write_file((root / "corpus_stereo" / ("seed" + std::to_string(n) + ".jpg")).string(), file);
        write_file((root / "corpus_picture" / ("seed" + std::to_string(n++) + ".jpg")).string(), file);
    }
    for (const Bytes& file : pictures)
        write_file((root / "corpus_picture" / ("seed" + std::to_string(n++) + ".bin")).string(), file);
    for (const Bytes& file : heif) {
        write_file((root / "corpus_heif" / ("seed" + std::to_string(n) + ".heic")).string(), file);
        write_file((root / "corpus_picture" / ("seed" + std::to_string(n++) + ".heic")).string(), file);
    }
    return 0;
}
