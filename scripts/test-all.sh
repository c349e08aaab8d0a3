#!/usr/bin/env bash
# Installs what the tests need, builds, and runs them all: the unit tests, the
# same under AddressSanitizer and UndefinedBehaviorSanitizer, the fuzzers for
# a short while, the Windows build under Wine, and the acceptance scenarios on
# the real program. Ends with the unit tests' own summary.
set -uo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS=${FUZZ_SECONDS:-30}
failed=()

phase() {
  local name=$1
  shift
  echo "=== $name"
  local start=$SECONDS
  if "$@"; then
    echo "=== $name: ok ($((SECONDS - start)) s)"
  else
    echo "=== $name: FAILED ($((SECONDS - start)) s)"
    failed+=("$name")
  fi
}

build_linux() {
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
    cmake --build build -j2
}

sanitized_tests() {
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPARALLAXON_SANITIZE=ON -DPARALLAXON_SDL=OFF >/dev/null &&
    cmake --build build-asan -j2 --target parallaxon_tests &&
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      ctest --test-dir build-asan -j2 --output-on-failure --timeout 600 | tail -n 3 &&
    test "${PIPESTATUS[0]}" -eq 0
}

fuzzers() {
  CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARALLAXON_FUZZ=ON \
    -DPARALLAXON_SANITIZE=ON -DPARALLAXON_SDL=OFF -DPARALLAXON_TESTS=OFF >/dev/null &&
    cmake --build build-fuzz -j2 || return 1
  local target corpus
  for target in build-fuzz/fuzz_*; do
    [[ -x $target ]] || continue
    corpus="fuzz/corpus_${target##*/fuzz_}"
    mkdir -p "build-fuzz/work_${target##*/}"
    echo "--- ${target##*/} for ${FUZZ_SECONDS} s"
    "$target" -max_total_time="$FUZZ_SECONDS" -print_final_stats=1 -artifact_prefix=build-fuzz/ "build-fuzz/work_${target##*/}" \
      $([[ -d $corpus ]] && echo "$corpus") 2>&1 | grep -E '^(stat::number_of_executed_units|==|SUMMARY|#[0-9]+ +DONE)' || true
    test "${PIPESTATUS[0]}" -eq 0 || return 1
  done
}

bash scripts/install-deps.sh build test fuzz windows monitors || exit 1

phase "build" build_linux
phase "unit tests under sanitizers" sanitized_tests
phase "fuzzers" fuzzers
[[ -f scripts/test-windows.sh ]] &&
  PARALLAXON_SDL_PROGRAM=$PWD/build/parallaxon phase "windows build under wine" bash scripts/test-windows.sh
[[ -f scripts/acceptance.sh ]] && phase "acceptance" bash scripts/acceptance.sh build/parallaxon
phase "unit tests" ctest --test-dir build -j2 --output-on-failure --timeout 600

if ((${#failed[@]})); then
  echo "failed phases: ${failed[*]}"
  exit 1
fi
