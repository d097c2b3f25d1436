#!/usr/bin/env bash
# Sets up a fresh machine and runs every test: the unit and end-to-end tests under
# AddressSanitizer and UBSan (g++), then a clang build that runs each fuzz target briefly,
# then the optimised build that the run command and the benchmarks use.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh

cmake --preset debug
cmake --build --preset debug
ctest --preset debug

cmake --preset fuzz
cmake --build --preset fuzz
ctest --preset fuzz -L fuzz

cmake --preset release
cmake --build --preset release
