#!/usr/bin/env bash
# Input goes where the user means it, on the real program under Xvfb, judged by screenshots:
# every action is compared region by region with the same state reached another way.
# Usage: input-routing.sh PATH/TO/pathlark.bin PATH/TO/close-window
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/e2e-lib.sh"
program=$(realpath "$1")
close_window=$(realpath "$2")
e2e_init
e2e_start_xvfb 1280x800x24
export SDL_VIDEODRIVER=x11
unset SDL_RENDER_DRIVER

mkdir "$E2E_TMP/run"
cd "$E2E_TMP/run"
cp "$here/../data/e2e/three.gpx" "$here/../data/e2e/three.osm" .  # a map beside the tracks: no download


e2e_start "$program" three.gpx
e2e_wait_window 'Pathlark'  # the title may name the track file first
main=$E2E_WINDOW
e2e_focus "$main"

map=$(e2e_window_geometry "$main" 520 522 340 42)
graph=$(e2e_window_geometry "$main" 520 130 340 564)
top=$(e2e_window_geometry "$main" 714 556 146 8)  # track list and map together
shot() { printf '%s/%s.png' "$E2E_TMP" "$1"; }
click() { e2e_click "$main" "$1" "$2"; }
rest() { e2e_move "$main" 700 20; }
changed() { rest; e2e_wait_region_changed "${!1}" "$(shot "$2")" "$(shot "$3")"; }
same() { rest; e2e_wait_region_same "${!1}" "$(shot "$2")" "$(shot "$3")"; }
reset() { click 583 21; }
tracks() { click 430 21; click 122 21; }  # next, then previous: a new selection clears the markers
angle_x() { click 912 164; }
map_click() { click 600 303; }

e2e_region_stable "$map" "$(shot start-map)"
e2e_region_stable "$graph" "$(shot height-graph)"

click 980 467  # Statistics
click 980 511  # its second row, "Speed"
changed graph height-graph speed-graph
angle_x
e2e_key ctrl+a
e2e_type 45
e2e_key Return
changed map start-map typed-45
reset
same map start-map after-reset
for _ in 1 2 3 4 5 6 7 8 9; do click 922 190; done
same map typed-45 rotated-45
e2e_log "ok: typing works after a pick from a list"

click 430 21
changed top rotated-45 second-track
click 122 21
changed top second-track first-track
click 250 21  # open the track list
click 380 65  # its second row, where the map lies beneath
same top second-track picked-over-map
e2e_log "ok: a row picked over the map selects the track"

reset
rest
e2e_region_stable "$map" "$(shot reset)"
click 481 21
changed map reset zoom-button
reset
same map reset reset-again
e2e_key shift+equal
same map zoom-button zoom-key
e2e_log "ok: Shift+= zooms in"

tracks
map_click
click 904 218  # marker A button
changed map reset-again marker-by-button
tracks
changed map marker-by-button markers-cleared
angle_x
map_click
e2e_key a
same map marker-by-button marker-by-key
e2e_log "ok: a map click, then \"a\", sets marker A"

e2e_focus "$main"
e2e_key ctrl+o
e2e_wait_window '^Open GPX$'
dialog=$E2E_WINDOW
xprop -id "$dialog" WM_TRANSIENT_FOR | grep -qi "$(printf '# 0x%x$' "$main")" \
    || e2e_fail "the file dialog is not kept above the main window"
e2e_focus "$main"
e2e_key ctrl+o
name_field=$(e2e_window_geometry "$dialog" 540 22 10 395)
e2e_region_stable "$name_field" "$(shot name-empty)"
e2e_focus "$dialog"
e2e_click "$dialog" 200 406
e2e_type x
e2e_wait_region_changed "$name_field" "$(shot name-empty)" "$(shot name-typed)"
[ "$(e2e_window_count '^Open GPX$')" -eq 1 ] || e2e_fail "a second file dialog opened"
e2e_log "ok: Ctrl+O while a dialog is open opens no second one"

"$close_window" "$dialog"
e2e_wait "the dialog to close" e2e_no_window '^Open GPX$'
e2e_running && e2e_has_window 'Pathlark' || e2e_fail "the program ended with its dialog"
e2e_region_stable "$map" "$(shot before-zoom)"
e2e_focus "$main"
e2e_key KP_Add
e2e_wait_region_changed "$map" "$(shot before-zoom)" "$(shot after-zoom)"
"$close_window" "$main"
e2e_wait_exit
[ "$E2E_STATUS" -eq 0 ] || e2e_fail "the program ended with status $E2E_STATUS"
! grep -q "OSM download" "$E2E_TMP/program.err" || e2e_fail "a map was downloaded: $(cat "$E2E_TMP/program.err")"
e2e_log "ok: all checks passed"
