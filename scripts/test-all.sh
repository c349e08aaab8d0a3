#!/usr/bin/env bash
# Installs what the tests need, builds in build-all/ (clang, AddressSanitizer and UndefinedBehaviorSanitizer)
# the unit tests, the fuzzers and the SDL program, and runs every test through ctest. Arguments go to ctest:
# -L unit|fuzz|e2e|wine runs one part.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh build test fuzz windows monitors
CXX=clang++ cmake -S . -B build-all -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARALLAXON_SANITIZE=ON -DPARALLAXON_FUZZ=ON >/dev/null
cmake --build build-all -j2
ctest --test-dir build-all -j2 --output-on-failure "$@"
