#!/usr/bin/env bash
# Sets up a fresh machine, builds the release configuration, installs the plug-in from the
# built package into a fresh demo prefix the way the installer does, and starts the host on a
# copy of the demo site plan. With a display and a terminal the user types LKH and the
# plug-in's xref dialog opens; otherwise a script types LKH (the host loads the plug-in, which
# says it has no display) and lists the drawing's xrefs with the host's own -XREF ?.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
cmake --preset release >/dev/null
cmake --build --preset release

build="$PWD/build/release"
package="$build/package"
prefix="$PWD/build/demo-prefix"
regtool() { "$build/platform/regtool" --prefix "$prefix" "$@"; }
rm -rf "$prefix"

# What setup does on Install for the host product it finds (its wizard has no unattended
# mode): copy the files setup16.ini lists into the installation folder, then write the
# demand-load entries that name the module there.
folder="$prefix/drive_c/Program Files/Tarnwick/Linkhold16"
mkdir -p "$folder"
while IFS= read -r name || [ -n "$name" ]; do
    name="${name%$'\r'}"
    name="${name//\\//}"
    [ -n "$name" ] || continue
    mkdir -p "$(dirname "$folder/$name")"
    cp "$package/$name" "$folder/$name"
done <"$package/setup16.ini"
app='HKLM\Software\Autodesk\AutoCAD\R16.0\ACAD-201:409\Applications\Linkhold16'
regtool set "$app" LOADCTRLS dword 12
regtool set "$app" LOADER sz 'C:\Program Files\Tarnwick\Linkhold16\Linkhold16.arx'
regtool set "$app\\COMMANDS" Linkhold sz LKH
regtool set "$app\\COMMANDS" -Linkhold sz -LKH
regtool set "$app\\GROUPS" TWK sz TWK

# The demo is opened from a copy (C:\projects\mill-lane), so that what the dialog's OK stores
# in the drawing never touches the committed files.
project="$prefix/drive_c/projects/mill-lane"
mkdir -p "$project"
cp -r examples/site.dxf examples/xrefs "$project/"

echo
echo "run: built build/release; installed the package's $(tr -s '\r\n' ' ' <"$package/setup16.ini" | sed 's/ $//')"
echo "run: into C:\\Program Files\\Tarnwick\\Linkhold16 of the prefix $prefix,"
echo "run: registered for demand loading:"
regtool export "$app" | sed -n '/^\[/,$p' | sed 's/^./    &/'
echo

if [ -n "${DISPLAY:-}" ] && [ -t 0 ]; then
    echo "run: starting cadhost on C:\\projects\\mill-lane\\site.dxf. Type LKH: the host loads the"
    echo "run: plug-in from the installed folder and its xref dialog opens. QUIT ends."
    exec "$build/cadhost/cadhost" --prefix "$prefix" "$project/site.dxf"
fi

echo "run: no display (or no terminal), so the xref dialog cannot be shown. To see it, run"
echo "run: this again from a terminal with DISPLAY set (a desktop session, or ssh -X); README.md"
echo "run: shows it. Meanwhile a script types LKH, which loads the plug-in through its"
echo "run: demand-load entries, and then lists the xrefs with the plug-in's command-line form"
echo "run: -LINKHOLD (option ?), and cancels it:"
echo
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$build/cadhost/cadhost" --prefix "$prefix" \
    -b examples/lkh-then-list.scr "$project/site.dxf"
echo
echo "run: done. PARKING is missing on purpose (its drawing moved to xrefs\\archive), FURNITURE"
echo "run: is nested in BUILDING, TREES is an overlay and OLDPLAN is no longer inserted."
