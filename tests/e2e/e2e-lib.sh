# End-to-end helpers: a private Xvfb, the program on it, windows by title, screenshot regions compared.
E2E_TIMEOUT=${E2E_TIMEOUT:-20}
E2E_FUZZ=${E2E_FUZZ:-2%}
E2E_TMP="" E2E_PID="" E2E_XVFB_PID="" E2E_WINDOW="" E2E_STATUS=""

e2e_log() { printf 'e2e: %s\n' "$*" >&2; }
e2e_fail() { e2e_log "FAIL: $*"; exit 1; }
e2e_require() { for tool in "$@"; do command -v "$tool" >/dev/null 2>&1 || { e2e_log "skipped: $tool is not installed"; exit 77; }; done; }

e2e_cleanup()  # a failure (or E2E_KEEP=1) keeps the screenshots and output
{
    local status=$?
    [ -n "$E2E_PID" ] && kill "$E2E_PID" 2>/dev/null && wait "$E2E_PID" 2>/dev/null
    [ -n "$E2E_XVFB_PID" ] && kill "$E2E_XVFB_PID" 2>/dev/null && wait "$E2E_XVFB_PID" 2>/dev/null
    if [ -n "${E2E_KEEP:-}" ] || { [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; }; then
        [ -n "$E2E_TMP" ] && e2e_log "screenshots and output kept in $E2E_TMP"
    else rm -rf "$E2E_TMP"; fi
    exit "$status"
}

e2e_init()
{
    e2e_require Xvfb xdotool xwininfo import convert compare
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/e2e.XXXXXX")
    trap e2e_cleanup EXIT
    trap 'exit 130' INT TERM
}

e2e_wait()
{
    local what=$1 deadline=$((SECONDS + E2E_TIMEOUT)); shift
    until "$@"; do
        [ "$SECONDS" -ge "$deadline" ] && e2e_fail "timed out waiting for $what"
        sleep 0.05
    done
}

e2e_start_xvfb()  # -displayfd: parallel runs never race for a display number
{
    : >"$E2E_TMP/xvfb.display"
    Xvfb -displayfd 9 -screen 0 "${1:-1280x800x24}" -nolisten tcp -noreset 9>"$E2E_TMP/xvfb.display" \
        2>"$E2E_TMP/xvfb.err" &
    E2E_XVFB_PID=$!
    e2e_wait "Xvfb to pick a display" test -s "$E2E_TMP/xvfb.display"
    export DISPLAY=":$(tr -d '[:space:]' <"$E2E_TMP/xvfb.display")"
    unset WAYLAND_DISPLAY
    e2e_wait "the X server to answer" xdotool getmouselocation >/dev/null
    ! command -v setxkbmap >/dev/null 2>&1 || setxkbmap -layout us -model pc105 || e2e_fail "could not set the US keyboard layout"
}

e2e_start() { "$@" >"$E2E_TMP/program.out" 2>"$E2E_TMP/program.err" & E2E_PID=$!; }

_e2e_ended() { [[ "$(sed 's/.*) //' "/proc/$E2E_PID/stat" 2>/dev/null | cut -d ' ' -f 1)" =~ ^Z?$ ]]; }  # a zombie until waited for
e2e_running() { [ -n "$E2E_PID" ] && ! _e2e_ended; }
e2e_wait_exit()
{
    e2e_wait "the program to end" _e2e_ended
    E2E_STATUS=0; wait "$E2E_PID" || E2E_STATUS=$?; E2E_PID=""
}

e2e_windows()  # viewable top-level windows by title ERE (xwininfo reads UTF-8 titles)
{
    xwininfo -root -children 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) "\(.*\)": (.*/\1 \2/p' |
        while read -r id title; do
            printf '%s\n' "$title" | grep -Eq -- "$1" && xwininfo -id "$id" 2>/dev/null |
                grep -q 'Map State: IsViewable' && printf '%d\n' "$id"
        done
    return 0
}
e2e_window_count() { e2e_windows "$1" | wc -l; }
e2e_has_window() { [ "$(e2e_window_count "$1")" -ge 1 ]; }
e2e_no_window() { [ "$(e2e_window_count "$1")" -eq 0 ]; }
e2e_wait_window() { e2e_wait "a window named '$1'" e2e_has_window "$1" && E2E_WINDOW=$(e2e_windows "$1" | head -n 1); }

e2e_window_geometry()
{
    local info
    info=$(xwininfo -id "$1") || e2e_fail "no window $1"
    printf '%dx%d+%d+%d\n' "$2" "$3" $(($(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info") + $4)) \
        $(($(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info") + $5))
}

e2e_focus() { e2e_wait "window $1 to get the keyboard" _e2e_take_focus "$1"; }  # no window manager focuses on a click; not xdotool --sync, which can hang
_e2e_take_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] || { xdotool windowfocus "$1" 2>/dev/null; false; }; }

e2e_move() { xdotool mousemove --window "$1" "$2" "$3"; }  # no --sync: a move to where the pointer is has no motion to wait for
e2e_click() { xdotool mousemove --window "$1" "$2" "$3" click "${4:-1}"; }
e2e_key() { xdotool key --clearmodifiers "$@"; }
e2e_type() { xdotool type --delay 30 "$1"; }

e2e_screenshot() { import -window root "$1"; }
e2e_crop() { convert "$1" -crop "$2" +repage "$3"; }
e2e_region() { e2e_screenshot "$E2E_TMP/.whole.png" && e2e_crop "$E2E_TMP/.whole.png" "$1" "$2"; }

e2e_diff()
{
    local count
    count=$(compare -metric AE -fuzz "${3:-$E2E_FUZZ}" "$1" "$2" null: 2>&1) || true
    case "$count" in '' | *[!0-9.e+]*) e2e_fail "cannot compare $1 with $2: $count" ;; esac
    awk -v n="$count" 'BEGIN { printf "%d\n", n }'
}
e2e_same() { local count; count=$(e2e_diff "$1" "$2") || exit 1; [ "$count" -le "${3:-0}" ]; }

e2e_region_stable()  # shoots until two shots agree; the last is left in OUT
{
    local previous="$E2E_TMP/.previous.png" deadline=$((SECONDS + E2E_TIMEOUT))
    e2e_region "$1" "$previous"
    while e2e_region "$1" "$2" && ! e2e_same "$previous" "$2"; do
        [ "$SECONDS" -ge "$deadline" ] && e2e_fail "region $1 never settled"
        cp "$2" "$previous"
    done
}

_e2e_region_is() { e2e_region "$1" "$3" && e2e_same "$2" "$3" "${4:-0}"; }
_e2e_region_is_not() { e2e_region "$1" "$3" && ! e2e_same "$2" "$3" "${4:-0}"; }
e2e_wait_region_same() { e2e_wait "region $1 to look like $(basename "$2")" _e2e_region_is "$@"; }
e2e_wait_region_changed() { e2e_wait "region $1 to change from $(basename "$2")" _e2e_region_is_not "$@" && e2e_region_stable "$1" "$3"; }
