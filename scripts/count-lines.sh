#!/usr/bin/env bash
# Non-blank lines of code and of tests, and the tests' share of the code.
# Code: src/ without generated data, tools/, and the scripts users run.
# Tests: tests/, fuzz/ without its seeds, and the scripts that only test.
cd "$(dirname "$0")/.."
count() { cat "$@" 2>/dev/null | grep -cv '^[[:space:]]*$'; }
is_test='^(tests/|fuzz/|scripts/(test-|acceptance))'
code=$(count $(git ls-files src tools scripts | grep -Ev "$is_test|^src/text/font_data\.cpp$|\.conf$"))
tests=$(count $(git ls-files tests fuzz scripts | grep -E "$is_test" | grep -Ev '/corpus|\.supp$|\.md$'))
echo "code: $code lines, tests: $tests lines, tests/code: $((100 * tests / code)) %"
