#!/bin/sh
# Regenerates data/images/*.png, gui/resources/button_default.png and the
# application icons in dist/icons/ from scripts/make-icons.cpp. Needs a C++ compiler and cairo's development files.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
${CXX:-c++} -std=c++20 -O1 -o "$tmp/make-icons" "$root/scripts/make-icons.cpp" $(pkg-config --cflags --libs cairo)
mkdir -p "$root/data/images" "$root/gui/resources" "$root/dist/icons"
"$tmp/make-icons" "$root/data/images" "$root/gui/resources" "$root/dist/icons"
