#include "bench.h"

#include <cstring>

static BenchCase* bench_cases = nullptr;

BenchRegistrar::BenchRegistrar(const char* name, void (*run)()) {
    static BenchCase storage[64];
    static int used = 0;
    if (used == 64) return;
    storage[used] = {name, run, bench_cases};
    bench_cases = &storage[used++];
}

int main(int argc, char** argv) {
    const char* filter = argc > 1 ? argv[1] : "";
    for (BenchCase* c = bench_cases; c; c = c->next)
        if (std::strstr(c->name, filter)) c->run();
    return 0;
}
