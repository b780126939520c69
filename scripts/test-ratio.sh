#!/usr/bin/env bash
# Prints the lines of test code against the lines of product code (C++ sources and headers, test
# scripts), the share the project keeps between a quarter and a third.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.sh' -o -name '*.py' \) -print0 |
  xargs -0 cat | wc -l; }
code=$(count src)
tests=$(count tests)
echo "code: $code lines, tests: $tests lines, tests/code: $(awk -v t="$tests" -v c="$code" 'BEGIN{printf "%.2f", t/c}')," \
  "tests/(code+tests): $(awk -v t="$tests" -v c="$code" 'BEGIN{printf "%.2f", t/(t+c)}')"
