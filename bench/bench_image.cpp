// Pictures: BMP, JPEG and HEIC decoding, and the staged mipmap chain.
#include "bench.h"

#include "../tests/bmp_files.h"
#include "../tests/heif_files.h"
#include "../tests/photo_files.h"
#include "../tests/stereo_pairs.h"
#include "render/texture.h"
#include "image/formats.h"
#include "image/picture.h"

namespace {

Rgb camera_pixel(int x, int y) {
    return Rgb{static_cast<uint8_t>(x * 31 >> 4), static_cast<uint8_t>(y), static_cast<uint8_t>(x ^ y)};
}

template <typename Body>
void timed(benchmark::State& state, size_t bytes, Body body) {
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        body();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    report_against_memcpy(state, bytes, total / static_cast<double>(state.iterations()));
}

void BmpDecode4000x3000(benchmark::State& state) {
    const std::vector<uint8_t> file = bmp24(4000, 3000, camera_pixel);
    timed(state, file.size(), [&] {
        SimpleBitmap b = bitmap_from_bmp(file.data(), file.size());
        benchmark::DoNotOptimize(b.pixels);
        bitmap_free(&b);
    });
}
BENCHMARK(BmpDecode4000x3000)->Unit(benchmark::kMillisecond);

// The texture of a 4000x3000 picture: 4096x4096 texels and their mipmaps.
void MipmapChain4096(benchmark::State& state) {
    const std::vector<uint8_t> file = bmp24(4000, 3000, camera_pixel);
    SimpleBitmap b = bitmap_from_bmp(file.data(), file.size());
    TextureLevels levels = texture_stage(b, 16384);
    bitmap_free(&b);
    const size_t level0 = levels.level_offset[1];
    timed(state, level0, [&] { texture_build_chain(&levels); });
}
BENCHMARK(MipmapChain4096)->Unit(benchmark::kMillisecond);

void StageTexture4000x3000(benchmark::State& state) {
    const std::vector<uint8_t> file = bmp24(4000, 3000, camera_pixel);
    SimpleBitmap b = bitmap_from_bmp(file.data(), file.size());
    timed(state, file.size(), [&] { benchmark::DoNotOptimize(texture_stage(b, 16384).texels.data()); });
    bitmap_free(&b);
}
BENCHMARK(StageTexture4000x3000)->Unit(benchmark::kMillisecond);

// A 12-megapixel camera JPEG (4:2:0, quality 90) at full size and at 1/2..1/8.
void JpegDecode4000x3000(benchmark::State& state) {
    const std::vector<uint8_t> file = jpeg(4000, 3000, camera_pixel);
    const double scale = 1.0 / static_cast<double>(state.range(0));
    timed(state, 4000 * 3000 * 3, [&] {
        SimpleBitmap b = jpeg_decode(file.data(), file.size(), scale, 16384);
        bitmap_free(&b);
    });
}
BENCHMARK(JpegDecode4000x3000)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

// A spatial photo as a headset writes it: each eye a 2560x2560 grid of 25 tiles of 512x512 (x265 at
// quality 90), both eyes decoded whole, as a view of 1280x720 or more needs them.
void HeicPairDecode2560x2560(benchmark::State& state) {
    std::vector<Hevc> tiles;
    for (int t = 0; t < 25; ++t)
        tiles.push_back(hevc(512, 512, [t](int x, int y) { return camera_pixel(x + 512 * (t % 5), y + 512 * (t / 5)); }));
    const std::vector<uint8_t> file = heif_file({{tiles, 5}, {tiles, 5}}, heif_group("ster", {1, 2}));
    timed(state, size_t(2) * 2560 * 2560 * 3, [&] {
        EyePictures eyes = pictures_from_file(file.data(), file.size(), "pair.heic", PictureTarget{1280, 720, 16384}, true);
        bitmap_free(&eyes.left);
        bitmap_free(&eyes.right);
    });
}
// Its CPU time counts libde265's decoding thread too.
BENCHMARK(HeicPairDecode2560x2560)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// A misaligned 12-megapixel pair staged as textures: the right eye 1.5 % of
// the height lower, the nearest plane 3 % of the width in front of the
// screen. Timed: both eyes' grey pictures from their levels, and the
// measurement; the errors of its answer in per cent of the width and height.
void AlignPair4000x3000(benchmark::State& state) {
    const StereoScene scene{{{0, 0, 1, 1, 0.01}, {0.1, 0.1, 0.6, 0.7, -0.01}, {0.55, 0.45, 0.9, 0.9, -0.03}}, 0.015, 2};
    TextureLevels levels[2];
    SimpleBitmap pictures[2];
    for (int eye = 0; eye < 2; ++eye) {
        const std::vector<uint8_t> file = bmp24(4000, 3000, scene_eye(scene, eye, 4000, 3000));
        pictures[eye] = bitmap_from_bmp(file.data(), file.size());
        levels[eye] = texture_stage(pictures[eye], 16384);
    }
    PairAlignment found;
    timed(state, 2 * 4000 * 3000 * 3, [&] {
        found = measure_alignment(texture_grey(levels[0], pictures[0], -1, ALIGN_MAX_SIDE),
                                  texture_grey(levels[1], pictures[1], -1, ALIGN_MAX_SIDE));
    });
    state.counters["error_x_pct"] = (found.offset_x - 0.03) * 100;
    state.counters["error_y_pct"] = (found.offset_y + 0.015) * 100;
    for (SimpleBitmap& picture : pictures) bitmap_free(&picture);
}
BENCHMARK(AlignPair4000x3000)->Unit(benchmark::kMillisecond);

}  // namespace
