#!/usr/bin/env bash
# Sets up a fresh machine and runs every test: the optimised build that the run command and
# the benchmarks use, a clang build that runs each fuzz target briefly, and last the unit and
# end-to-end tests under AddressSanitizer and UBSan (g++).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh

cmake --preset release
cmake --build --preset release

cmake --preset fuzz
cmake --build --preset fuzz
ctest --preset fuzz -L fuzz

cmake --preset debug
cmake --build --preset debug
ctest --preset debug
