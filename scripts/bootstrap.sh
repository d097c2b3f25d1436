#!/usr/bin/env bash
# Installs the Debian packages that building, testing and benchmarking need.
# Idempotent: only missing packages are installed, and `apt-get update` runs only then.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev  # compilers, libFuzzer and sanitizer runtimes
    clang-format
    libgtest-dev googletest libbenchmark-dev
    libicu-dev                                     # collation
    libedit-dev                                    # line editing at a terminal (BSD licence)
    python3-ezdxf openscad-testing-data            # independent DXF reader/writer, DXF corpus
    qt6-base-dev fonts-dejavu-core                 # dialogs (tests run them offscreen)
    qt6-svg-dev                                    # SVG bitmaps and icons of the plug-in
    mscompress                                     # SZDD-compressed test fixtures
    xvfb xdotool                                   # end-to-end test: real windows, typed keys
)

# The DWG reader runs on Node (Debian's nodejs, unless a Node is there already) and installs its
# npm package with npm.
command -v node >/dev/null || command -v nodejs >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)

# Installs the DWG reader's npm package (GPL-3.0; the host runs it only in a separate process)
# exactly as package-lock.json gives it, into cadhost/dwg/node_modules; again only when the lock
# file changed since.
install_dwg_reader() {
    local dir
    dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/cadhost/dwg"
    if cmp -s "$dir/package-lock.json" "$dir/node_modules/.installed-lock.json"; then
        echo "bootstrap: DWG reader package present"
        return
    fi
    echo "bootstrap: installing the DWG reader package (npm ci in $dir)"
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
    cp "$dir/package-lock.json" "$dir/node_modules/.installed-lock.json"
}

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "bootstrap: all ${#packages[@]} packages present"
    install_dwg_reader
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "bootstrap: installing ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
echo "bootstrap: installed ${missing[*]}"
install_dwg_reader
