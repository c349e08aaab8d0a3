// Benchmarks with Google Benchmark. Each figure that moves bytes is also
// given as a ratio to a memcpy of the same number of bytes in the same run
// ("x_memcpy"), which holds across machines better than seconds do.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

// Seconds for the fastest of a few memcpy calls of `bytes`, into a warm buffer.
inline double memcpy_seconds(size_t bytes) {
    std::vector<char> from(bytes, 1), to(bytes, 0);
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// Reports the time of one iteration against a memcpy of `bytes`.
inline void report_against_memcpy(benchmark::State& state, size_t bytes, double seconds_per_iteration) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["x_memcpy"] = seconds_per_iteration / memcpy_seconds(bytes);
}
