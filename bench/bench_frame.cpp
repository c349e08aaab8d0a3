// Whole frames on the offscreen renderer, and whole shows of camera-size
// slides: how long the worst frame takes against the median one.
#include "bench.h"

#include "../tests/bmp_files.h"
#include "../tests/photo_files.h"
#include "app/parallaxon.h"
#include "display/display.h"
#include "platform/headless.h"

#include <filesystem>
#include <string>

namespace {

Rgb camera_pixel(int x, int y) {
    return Rgb{static_cast<uint8_t>(x * 31 >> 4), static_cast<uint8_t>(y), static_cast<uint8_t>(x ^ y)};
}

// A show about to start in the scratch folder, on a 1920x1080 desktop.
headless::State& bench_show(const std::string& config) {
    headless::reset();
    headless::State& s = headless::state();
    s.primary_w = s.virtual_w = 1920, s.primary_h = s.virtual_h = 1080, s.monitors = {{0, 0, 1920, 1080}};
    std::filesystem::current_path(std::filesystem::temp_directory_path() / "parallaxon-bench");
    write_file("config.txt", config);
    return s;
}

// Three slides of the camera-size pairs, "bmp" or "jpg".
std::string camera_pairs(const std::string& settings, const char* kind) {
    std::string config = settings;
    for (int n = 1; n <= 3; ++n)
        config += "Left image: c" + std::to_string(n) + "l." + kind + "\nRight image: c" + std::to_string(n) +
                  "r." + kind + "\n";
    return config;
}

// Esc at frame `frames`; the wall-clock time of each frame, from one buffer swap to the next.
std::vector<double> show_frame_times(const std::string& config, int frames) {
    headless::State& s = bench_show(config);
    std::vector<double> times;
    auto last = std::chrono::steady_clock::now();
    s.on_swap = [&](int) {
        const auto now = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double>(now - last).count());
        last = now;
    };
    s.on_pump = [frames](int pump) {
        if (pump == frames) headless::state().keys[VK_KEY_ESCAPE] = 0x80;
    };
    app_main(0, nullptr, nullptr);
    headless::reset();
    times.erase(times.begin());  // start-up, first slide included
    return times;
}

void Frame1920x1080(benchmark::State& state) {
    const std::string mode = std::to_string(state.range(0));
    std::vector<double> all;
    for (auto _ : state) {
        std::vector<double> t = show_frame_times("Left image: l.bmp\nRight image: r.bmp\nSlide time: 100\n"
                                                 "Stereo mode: " + mode + "\n", 30);
        all.insert(all.end(), t.begin(), t.end());
    }
    std::sort(all.begin(), all.end());
    state.counters["median_ms"] = all[all.size() / 2] * 1000;
}

// Slides of two 12-megapixel pictures changing every 2 s at 60 frames a
// second: the worst frame against the median.
void ShowOfCameraPairs(benchmark::State& state) {
    const std::string config = camera_pairs("Stereo mode: 2\nSlide time: 2\nSlide pause before zoom: 0.5\n",
                                            state.range(0) ? "jpg" : "bmp");
    std::vector<double> all;
    for (auto _ : state) {
        std::vector<double> t = show_frame_times(config, 480);
        all.insert(all.end(), t.begin(), t.end());
    }
    std::sort(all.begin(), all.end());
    const double median = all[all.size() / 2], worst = all.back();
    state.counters["median_ms"] = median * 1000;
    state.counters["worst_ms"] = worst * 1000;
    state.counters["worst_x_median"] = worst / median;
}

// Timings of one show of camera-size pairs from its start, in wall-clock
// seconds: the first frame, the frame where the whole first picture replaces
// its preview (the middle of the window changes while the slide stands
// still), and the end of the show after an Esc tap at `tap_at` (or once the
// whole picture is up, with tap_at < 0).
struct StartTimes {
    double first = -1, whole = -1, tapped = -1, ended = -1;
};
StartTimes time_start(const std::string& config, double tap_at) {
    headless::State& s = bench_show(config);
    StartTimes times;
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    std::vector<uint8_t> middle(64 * 64 * 3), shown;
    s.on_swap = [&](int k) {
        glReadPixels(928, 508, 64, 64, GL_RGB, GL_UNSIGNED_BYTE, middle.data());
        if (k == 0) times.first = elapsed();
        if (k > 0 && times.whole < 0 && middle != shown) times.whole = elapsed();
        shown = middle;
    };
    const auto maybe_tap = [&] {
        const bool due = tap_at >= 0 ? elapsed() >= tap_at : times.whole >= 0;
        if (due && times.tapped < 0) headless::state().presses[VK_KEY_ESCAPE] = 1, times.tapped = elapsed();
    };
    s.on_pump = [&](int) { maybe_tap(); };
    s.on_wait = [&](int) { maybe_tap(); };
    app_main(0, nullptr, nullptr);
    times.ended = elapsed();
    headless::reset();
    return times;
}

// A show of 12-megapixel pairs: the first picture, the whole one, and the
// end after an Esc tapped 200 ms after the start.
void StartOfShow(benchmark::State& state) {
    const std::string config = camera_pairs("Stereo mode: 2\nSlide time: 100\nSlide pause before zoom: 100\n",
                                            state.range(0) ? "jpg" : "bmp");
    std::vector<double> first, whole, exit_after_tap;
    for (auto _ : state) {
        const StartTimes shown = time_start(config, -1);
        first.push_back(shown.first), whole.push_back(shown.whole);
        const StartTimes tapped = time_start(config, 0.2);
        exit_after_tap.push_back(tapped.ended - tapped.tapped);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2] * 1000;
    };
    state.counters["first_ms"] = median(first);
    state.counters["whole_ms"] = median(whole);
    state.counters["exit_after_tap_ms"] = median(exit_after_tap);
}

void write_pictures() {
    const auto folder = std::filesystem::temp_directory_path() / "parallaxon-bench";
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    write_file("l.bmp", bmp24(1600, 1200, camera_pixel));
    write_file("r.bmp", bmp24(1600, 1200, camera_pixel));
    for (int n = 1; n <= 3; ++n)
        for (const char* eye : {"l", "r"}) {
            const std::string name = "c" + std::to_string(n) + eye;
            write_file(name + ".bmp", bmp24(4000, 3000, camera_pixel));
            write_file(name + ".jpg", jpeg(4000, 3000, camera_pixel));
        }
}

const bool pictures_written = (write_pictures(), true);

// Modes 0, 2 and 6 draw each eye once, 3 copies the frame back row by row,
// 10 and 11 draw the right eye through a stipple, 9 and 12 are split views.
BENCHMARK(Frame1920x1080)
    ->Arg(0)
    ->Arg(2)
    ->Arg(3)
    ->Arg(6)
    ->Arg(9)
    ->Arg(10)
    ->Arg(11)
    ->Arg(12)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ShowOfCameraPairs)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(StartOfShow)->Arg(0)->Arg(1)->Iterations(5)->Unit(benchmark::kSecond);

}  // namespace
