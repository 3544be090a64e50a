# End-to-end helpers for X11 programs: a private Xvfb with a US keyboard
# layout, a program started on it, its windows found by name, screenshots
# cropped to regions and compared with ImageMagick. Source it from bash:
#
#   . "$(dirname "$0")/e2e-lib.sh"
#   e2e_init
#   e2e_start_xvfb 1280x800x24
#   e2e_start ./program --flag
#   e2e_wait_window "Title"          # id in E2E_WINDOW
#   e2e_region 10x10+0+0 "$E2E_TMP/a.png"
#
# Nothing here sleeps a fixed time to let things settle: every wait polls a
# condition until it holds or E2E_TIMEOUT seconds pass. A script exits 77
# (ctest's "skipped") when a tool it needs is missing.

E2E_TIMEOUT=${E2E_TIMEOUT:-20}
E2E_FUZZ=${E2E_FUZZ:-2%}
E2E_TMP=""
E2E_PID=""
E2E_XVFB_PID=""
E2E_WINDOW=""
E2E_STATUS=""

# [SECTION] Set-up and clean-up

e2e_log() { printf 'e2e: %s\n' "$*" >&2; }

e2e_fail()
{
    e2e_log "FAIL: $*"
    exit 1
}

# Skips the whole script when one of the commands is missing.
e2e_require()
{
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            e2e_log "skipped: $tool is not installed"
            exit 77
        fi
    done
}

e2e_cleanup()
{
    local status=$?
    [ -n "$E2E_PID" ] && kill "$E2E_PID" 2>/dev/null && wait "$E2E_PID" 2>/dev/null
    [ -n "$E2E_XVFB_PID" ] && kill "$E2E_XVFB_PID" 2>/dev/null && wait "$E2E_XVFB_PID" 2>/dev/null
    if [ -n "$E2E_TMP" ]; then
        # A failure (or E2E_KEEP=1) keeps the screenshots and the program's output for a look.
        if [ -n "${E2E_KEEP:-}" ] || { [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; }; then
            e2e_log "screenshots and output kept in $E2E_TMP"
        else
            rm -rf "$E2E_TMP"
        fi
    fi
    exit "$status"
}

e2e_init()
{
    e2e_require Xvfb xdotool xwininfo import convert compare
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/e2e.XXXXXX")
    trap e2e_cleanup EXIT
    trap 'exit 130' INT TERM
}

# Polls a command until it succeeds; fails after E2E_TIMEOUT seconds.
# Usage: e2e_wait "what is awaited" command args...
e2e_wait()
{
    local what=$1
    shift
    local deadline=$((SECONDS + E2E_TIMEOUT))
    until "$@"; do
        [ "$SECONDS" -ge "$deadline" ] && e2e_fail "timed out waiting for $what"
        sleep 0.05
    done
}

# Starts Xvfb on a display it picks itself (-displayfd, so parallel runs
# never race for a number), exports DISPLAY and sets a US keyboard layout.
e2e_start_xvfb()
{
    local screen=${1:-1280x800x24}
    local fdfile="$E2E_TMP/xvfb.display"
    : >"$fdfile"
    Xvfb -displayfd 9 -screen 0 "$screen" -nolisten tcp -noreset 9>"$fdfile" 2>"$E2E_TMP/xvfb.err" &
    E2E_XVFB_PID=$!
    e2e_wait "Xvfb to pick a display" test -s "$fdfile"
    export DISPLAY=":$(tr -d '[:space:]' <"$fdfile")"
    unset WAYLAND_DISPLAY
    e2e_wait "the X server to answer" xdotool getmouselocation >/dev/null
    if command -v setxkbmap >/dev/null 2>&1; then
        setxkbmap -layout us -model pc105 || e2e_fail "could not set the US keyboard layout"
    fi
}

# Starts a program in the background; its output goes to $E2E_TMP/program.out
# and program.err, its process id to E2E_PID.
e2e_start()
{
    "$@" >"$E2E_TMP/program.out" 2>"$E2E_TMP/program.err" &
    E2E_PID=$!
}

e2e_running() { [ -n "$E2E_PID" ] && ! _e2e_ended; }

# A process that has ended stays a zombie until waited for.
_e2e_ended()
{
    local state
    state=$(sed 's/.*) //' "/proc/$E2E_PID/stat" 2>/dev/null | cut -d ' ' -f 1)
    [ -z "$state" ] || [ "$state" = Z ]
}

# Waits for the program to end; its exit status goes to E2E_STATUS.
e2e_wait_exit()
{
    e2e_wait "the program to end" _e2e_ended
    E2E_STATUS=0
    wait "$E2E_PID" || E2E_STATUS=$?
    E2E_PID=""
}

# [SECTION] Windows and input

# Ids of the shown top-level windows whose title matches the extended regular
# expression, one a line. xwininfo, because older xdotool cannot read UTF-8
# titles; only mapped windows count, as an unmapped one cannot take input.
e2e_windows()
{
    xwininfo -root -children 2>/dev/null |
        sed -n 's/^ *\(0x[0-9a-f]*\) "\(.*\)": (.*/\1 \2/p' |
        while read -r id title; do
            if printf '%s\n' "$title" | grep -Eq -- "$1" &&
                xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
                printf '%d\n' "$id"
            fi
        done
    return 0
}

e2e_window_count() { e2e_windows "$1" | wc -l; }
e2e_has_window() { [ "$(e2e_window_count "$1")" -ge 1 ]; }
e2e_no_window() { [ "$(e2e_window_count "$1")" -eq 0 ]; }

# Waits for a window with a matching title; its id goes to E2E_WINDOW.
e2e_wait_window()
{
    e2e_wait "a window named '$1'" e2e_has_window "$1"
    E2E_WINDOW=$(e2e_windows "$1" | head -n 1)
}

# Screen geometry (WxH+X+Y) of a rectangle given in a window's own coordinates.
# Usage: e2e_window_geometry WINDOW W H X Y
e2e_window_geometry()
{
    local info ox oy
    info=$(xwininfo -id "$1") || e2e_fail "no window $1"
    ox=$(printf '%s\n' "$info" | sed -n 's/.*Absolute upper-left X: *//p')
    oy=$(printf '%s\n' "$info" | sed -n 's/.*Absolute upper-left Y: *//p')
    printf '%dx%d+%d+%d\n' "$2" "$3" $((ox + $4)) $((oy + $5))
}

# Gives a window the keyboard (no window manager runs to do it on a click).
# Not xdotool's --sync, which waits for ever when the focus cannot be set.
e2e_focus() { e2e_wait "window $1 to get the keyboard" _e2e_take_focus "$1"; }

_e2e_take_focus()
{
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && return 0
    xdotool windowfocus "$1" 2>/dev/null
    return 1
}

# Window-relative pointer actions: e2e_click WINDOW X Y [BUTTON]. No --sync:
# it waits for motion, and a move to where the pointer already is has none
# (xdotool then gives up after seconds). The server handles one client's
# requests in order, so the click still lands after the move.
e2e_move() { xdotool mousemove --window "$1" "$2" "$3"; }
e2e_click() { xdotool mousemove --window "$1" "$2" "$3" click "${4:-1}"; }

# Keys and text go to the focused window through XTEST, as a keyboard's would.
e2e_key() { xdotool key --clearmodifiers "$@"; }
e2e_type() { xdotool type --delay 30 "$1"; }

# [SECTION] Screenshots and regions

e2e_screenshot() { import -window root "$1"; }

# Crops GEOMETRY (WxH+X+Y, screen pixels) out of a PNG.
e2e_crop() { convert "$1" -crop "$2" +repage "$3"; }

# Screenshot cropped to GEOMETRY in one go.
e2e_region()
{
    local whole="$E2E_TMP/.whole.png"
    e2e_screenshot "$whole" && e2e_crop "$whole" "$1" "$2"
}

# Number of pixels that differ by more than the fuzz (E2E_FUZZ by default).
e2e_diff()
{
    local count
    # compare exits 1 for images that differ; only its count matters here.
    count=$(compare -metric AE -fuzz "${3:-$E2E_FUZZ}" "$1" "$2" null: 2>&1) || true
    case "$count" in
        '' | *[!0-9.e+]*) e2e_fail "cannot compare $1 with $2: $count" ;;
    esac
    awk -v n="$count" 'BEGIN { printf "%d\n", n }'
}

# True when at most MAX (default 0) pixels differ.
e2e_same()
{
    local count
    count=$(e2e_diff "$1" "$2") || exit 1
    [ "$count" -le "${3:-0}" ]
}

# Takes the region until two shots in a row agree, so nothing is caught
# half-drawn, and leaves the last one in OUT.
e2e_region_stable()
{
    local geometry=$1 out=$2 previous="$E2E_TMP/.previous.png"
    local deadline=$((SECONDS + E2E_TIMEOUT))
    e2e_region "$geometry" "$previous"
    while :; do
        e2e_region "$geometry" "$out"
        e2e_same "$previous" "$out" && return 0
        [ "$SECONDS" -ge "$deadline" ] && e2e_fail "region $geometry never settled"
        cp "$out" "$previous"
    done
}

_e2e_region_is() { e2e_region "$1" "$3" && e2e_same "$2" "$3" "${4:-0}"; }
_e2e_region_is_not() { e2e_region "$1" "$3" && ! e2e_same "$2" "$3" "${4:-0}"; }

# Waits until the region matches REF (at most MAX pixels off); OUT keeps the last shot.
# Usage: e2e_wait_region_same GEOMETRY REF OUT [MAX]
e2e_wait_region_same() { e2e_wait "region $1 to look like $(basename "$2")" _e2e_region_is "$@"; }

# Waits until the region no longer matches REF, then until it settles.
e2e_wait_region_changed()
{
    e2e_wait "region $1 to change from $(basename "$2")" _e2e_region_is_not "$@"
    e2e_region_stable "$1" "$3"
}
