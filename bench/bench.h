// A tiny benchmark registry: each bench file registers named cases, the
// bench program runs them all (or those whose name contains argv[1]) and
// prints a figure per case.
#pragma once

#include <chrono>
#include <cstdio>

struct BenchCase {
    const char* name;
    void (*run)();
    BenchCase* next;
};

struct BenchRegistrar {
    BenchRegistrar(const char* name, void (*run)());
};

#define BENCH(name)                                              \
    static void bench_##name();                                  \
    static BenchRegistrar bench_registrar_##name(#name, bench_##name); \
    static void bench_##name()

// Runs body repeatedly for about a quarter of a second and prints the mean
// time per run, with the given unit count (bytes, pixels...) per run.
template <typename Body>
void bench_measure(const char* what, double units_per_run, const char* unit, Body body) {
    using clock = std::chrono::steady_clock;
    body();  // warm up
    long runs = 0;
    auto start = clock::now();
    double elapsed = 0;
    do {
        body();
        ++runs;
        elapsed = std::chrono::duration<double>(clock::now() - start).count();
    } while (elapsed < 0.25);
    double per_run = elapsed / runs;
    if (units_per_run > 0)
        std::printf("%-40s %12.3f us/run %12.1f M%s/s\n", what, per_run * 1e6, units_per_run / per_run / 1e6, unit);
    else
        std::printf("%-40s %12.3f us/run\n", what, per_run * 1e6);
}
