#!/usr/bin/env bash
# Sets up a fresh machine, builds the release configuration and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
cmake --preset release >/dev/null
cmake --build --preset release

prefix="$PWD/build/demo-prefix"
echo "run: built the platform layer (build/release); the host program that opens the"
echo "run: demo drawings is not there yet. Exercising the platform layer in $prefix:"
build/release/platform/regtool --prefix "$prefix" export HKEY_LOCAL_MACHINE
