#!/usr/bin/env bash
# Sets up a fresh machine, builds the release configuration and runs the main job: the host
# program opens the demo site plan and lists its xrefs.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
cmake --preset release >/dev/null
cmake --build --preset release

prefix="$PWD/build/demo-prefix"
rm -rf "$prefix"
echo "run: built the release configuration (build/release)."
echo "run: starting cadhost in a fresh prefix ($prefix) on examples/site.dxf with the"
echo "run: script examples/list-xrefs.scr, which lists every xref (-XREF ? *) and quits:"
echo
build/release/cadhost/cadhost --prefix "$prefix" -b examples/list-xrefs.scr examples/site.dxf
echo
echo "run: done. The demo drawings are made by examples/make_demo.py (ezdxf); PARKING is"
echo "run: missing on purpose, FURNITURE is nested in BUILDING, OLDPLAN is not inserted."
