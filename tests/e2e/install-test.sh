#!/usr/bin/env bash
# The installed program (DESTDIR, started through its link from an empty directory) looks like
# the build, speaks German and English, keeps stdout quiet and goes away with the uninstall script;
# the bare binary without data shows the compared regions depend on the data. Usage: install-test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=$(cd "${1:?usage: install-test.sh BUILD_DIR}" && pwd)
: "${E2E_TIMEOUT:=60}"  # four programs on a machine that may be busy building
. "$here/e2e-lib.sh"
e2e_init
e2e_require desktop-file-validate appstreamcli groff
e2e_start_xvfb 1280x800x24

root=$E2E_TMP/root
manifest=$build/install_manifest.txt
[ -f "$manifest" ] && cp "$manifest" "$E2E_TMP/manifest.saved"
DESTDIR=$root cmake --install "$build" >"$E2E_TMP/install.log"
mv "$manifest" "$E2E_TMP/manifest.test"
[ -f "$E2E_TMP/manifest.saved" ] && mv "$E2E_TMP/manifest.saved" "$manifest"

prefix=$root$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
for f in bin/pathlark.bin bin/pathlark share/pathlark/images/logo.png share/pathlark/data.osm \
    share/pathlark/locale/de/LC_MESSAGES/pathlark.mo share/pathlark/locale/en/LC_MESSAGES/framewerk.mo \
    share/applications/pathlark.desktop share/icons/hicolor/48x48/apps/pathlark.png \
    share/icons/hicolor/scalable/apps/pathlark.svg share/man/man1/pathlark.bin.1 share/man/man1/pathlark.1; do
    [ -e "$prefix/$f" ] || e2e_fail "not installed: $f"
done
desktop-file-validate "$prefix/share/applications/pathlark.desktop" || e2e_fail "desktop entry"
appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml >"$E2E_TMP/appstream.log" ||
    e2e_fail "AppStream file: $(cat "$E2E_TMP/appstream.log")"
warnings=$(groff -man -ww -z -K utf8 "$prefix/share/man/man1/pathlark.bin.1" 2>&1)
[ -z "$warnings" ] || e2e_fail "manual page: $warnings"

elsewhere=$E2E_TMP/elsewhere
mkdir -p "$elsewhere" "$E2E_TMP/bare"
cp "$build/pathlark.bin" "$E2E_TMP/bare/"
main_title='^sample\.gpx — Pathlark 0\.0\.0$'
dialog_title='^(Open GPX|GPX öffnen)$'
declare -A regions=(
    [logo]=190x47+15+48 [icons]=216x30+870+82 [flags]=142x24+870+206
    [map]=520x522+340+42 [maplabel]=220x38+870+554 [openbutton]=90x26+8+8
)

run_from()
{
    local dir=$1
    shift
    cd "$dir"
    e2e_start env -u LC_ALL -u LC_MESSAGES -u LANGUAGE -u SDL_VIDEODRIVER -u SDL_RENDER_DRIVER "$@"
    cd - >/dev/null
    e2e_wait_window "$main_title"
    xdotool mousemove 0 0  # no hover effects or tooltips in the shots
    e2e_wait "the first frame" drawn "$E2E_WINDOW" openbutton
}

stop_program()
{
    kill "$E2E_PID" 2>/dev/null && wait "$E2E_PID" 2>/dev/null || true
    E2E_PID=""
    e2e_wait "the window to close" e2e_no_window "$main_title"
}
at()
{
    local size=${2%%+*} offset=${2#*+}
    e2e_window_geometry "$1" "${size%x*}" "${size#*x}" "${offset%%+*}" "${offset#*+}"
}
drawn() { e2e_region "$(at "$1" "${regions[$2]}")" "$E2E_TMP/.p.png" && [ "$(convert "$E2E_TMP/.p.png" -format %k info:)" -gt 1 ]; }

shoot()
{
    [ -n "${2:-}" ] || e2e_region_stable "$(at "$E2E_WINDOW" 1100x720+0+0)" "$E2E_TMP/$1.png"
    local r
    for r in "${!regions[@]}"; do e2e_crop "$E2E_TMP/$1.png" "${regions[$r]}" "$E2E_TMP/$1-$r.png"; done
}
open_dialog_and_shoot()
{
    e2e_click "$E2E_WINDOW" 50 20
    e2e_wait_window "$dialog_title"
    e2e_region_stable "$(at "$E2E_WINDOW" 210x27+341+424)" "$E2E_TMP/$1-dialogbuttons.png"
}

run_from "$source_dir" LANG=C "$build/pathlark.bin"
shoot ref
open_dialog_and_shoot ref
stop_program

run_from "$elsewhere" LANG=C "$prefix/bin/pathlark"
e2e_wait_region_same "$(at "$E2E_WINDOW" 1100x720+0+0)" "$E2E_TMP/ref.png" "$E2E_TMP/installed.png"
shoot installed taken
e2e_click "$E2E_WINDOW" 878 334
e2e_click "$E2E_WINDOW" 481 21
e2e_click "$E2E_WINDOW" 912 164
e2e_focus "$E2E_WINDOW"
e2e_type 45
e2e_key Return
open_dialog_and_shoot installed
e2e_same "$E2E_TMP/ref-dialogbuttons.png" "$E2E_TMP/installed-dialogbuttons.png" ||
    e2e_fail "the installed toolkit is not in English"
stop_program
[ ! -s "$E2E_TMP/program.out" ] || e2e_fail "standard output: $(head -c 300 "$E2E_TMP/program.out")"

run_from "$elsewhere" LANG=C.UTF-8 LANGUAGE=de "$prefix/bin/pathlark"
shoot german
open_dialog_and_shoot german
stop_program
e2e_same "$E2E_TMP/installed-openbutton.png" "$E2E_TMP/german-openbutton.png" && e2e_fail "no German application texts"
e2e_same "$E2E_TMP/installed-dialogbuttons.png" "$E2E_TMP/german-dialogbuttons.png" && e2e_fail "no German toolkit texts"

run_from "$elsewhere" LANG=C FRAMEWERK_DEBUG=1 "$E2E_TMP/bare/pathlark.bin"
shoot bare
for r in logo icons flags map maplabel; do
    e2e_same "$E2E_TMP/installed-$r.png" "$E2E_TMP/bare-$r.png" && e2e_fail "region $r does not show the data"
done
e2e_click "$E2E_WINDOW" 481 21
e2e_wait "the debug lines" grep -q "BUTTON DOWN" "$E2E_TMP/program.out"
grep -q "^Charmap 0: " "$E2E_TMP/program.out" || e2e_fail "no debug lines of the text fields"
stop_program

DESTDIR=$root cmake -DMANIFEST="$E2E_TMP/manifest.test" -P "$source_dir/cmake/Uninstall.cmake" >/dev/null
left=$(find "$root" ! -type d)
[ -z "$left" ] || e2e_fail "left after uninstall: $left"
[ ! -e "$prefix/share/pathlark" ] || e2e_fail "share/pathlark left after uninstall"
e2e_log "installed program passed"
