#!/bin/sh
# The display on the real SDL host: under an X server of its own, the probe shows its four
# coloured quarters full screen and then in a window; screenshots of the X screen must show
# them where they belong, and Escape must end the probe with exit code 0. In full screen,
# the focus goes to another window and back, after which the probe must draw again; and a
# message box shows over the full screen, captioned "Error", and OK answers it.
# Usage: fb_real_window_test.sh PROBE OUTPUT_DIR
set -eu
probe=$1
out=$2
mkdir -p "$out"
rm -f "$out"/*.png "$out"/display "$out"/*.log

# Xvfb picks a free display number itself and writes it to descriptor 3.
Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3>"$out/display" 2>"$out/xvfb.log" &
xvfb=$!
probe_pid=""
other_pid=""
cleanup() {
    [ -n "$probe_pid" ] && kill "$probe_pid" 2>/dev/null || true
    [ -n "$other_pid" ] && kill "$other_pid" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT

i=0
while [ ! -s "$out/display" ]; do
    i=$((i + 1))
    if [ $i -gt 300 ]; then
        echo "Xvfb did not start"; cat "$out/xvfb.log"; exit 1
    fi
    sleep 0.1
done
DISPLAY=:$(head -n 1 "$out/display")
export DISPLAY
export SDL_AUDIODRIVER=dummy
# Under the sanitizers, the probes on a real X display are checked for memory errors but not
# for leaks: LeakSanitizer's tracer has been seen to crash (signal 11) at the exit of these
# many-threaded SDL processes, failing runs whose code was sound. Leaks of our own code are
# checked by the headless tests, which run the same library code.
ASAN_OPTIONS="detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export ASAN_OPTIONS

failures=0
pixel() {
    convert "$1" -format "%[hex:u.p{$2,$3}]" info:
}
expect() { # image x y colour what
    got=$(pixel "$1" "$2" "$3")
    if [ "$got" != "$4" ]; then
        echo "FAIL $5: pixel ($2,$3) of $(basename "$1") is $got, expected $4"
        failures=$((failures + 1))
    fi
}

wait_for_line() { # mode line
    i=0
    while ! grep -qx "$2" "$out/probe-$1.log"; do
        i=$((i + 1))
        if [ $i -gt 300 ] || ! kill -0 "$probe_pid" 2>/dev/null; then
            echo "the probe ($1) did not say \"$2\""; cat "$out/probe-$1.log"; exit 1
        fi
        sleep 0.1
    done
}

start_probe() { # mode [environment assignment]
    env ${2:-} "$probe" "$1" >"$out/probe-$1.log" 2>&1 &
    probe_pid=$!
    wait_for_line "$1" ready
    sleep 0.5
}

window_id() { # name
    xwininfo -name "$1" | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p'
}

screenshot() { # name
    xwd -root -silent | convert xwd:- "png:$out/$1.png"
}

stop_probe() { # mode x y (a point in the window, for the focus)
    xdotool mousemove "$2" "$3"
    xdotool key Escape
    rc=0
    wait "$probe_pid" || rc=$?
    probe_pid=""
    if [ "$rc" -ne 0 ]; then
        echo "FAIL $1: the probe ended with exit code $rc after Escape"
        cat "$out/probe-$1.log"
        failures=$((failures + 1))
    fi
}

# Another application's window, in a corner, to take the focus away.
xlogo -geometry 60x60+1210+650 >"$out/xlogo.log" 2>&1 &
other_pid=$!
i=0
until xwininfo -name xlogo >/dev/null 2>&1; do
    i=$((i + 1))
    if [ $i -gt 300 ]; then
        echo "xlogo did not start"; cat "$out/xlogo.log"; exit 1
    fi
    sleep 0.1
done

# Full screen on 1280x720: a 4:3 picture 960x720 at x 160, black on both sides. Across, the
# 3x nearest-neighbour picture is not scaled further, so the quarters meet exactly.
start_probe full
screenshot full
f=$out/full.png
expect "$f" 150 360 000000 "full screen, left border"
expect "$f" 1130 360 000000 "full screen, right border"
expect "$f" 160 0 FF0000 "full screen, top left corner"
expect "$f" 1119 719 FFFFFF "full screen, bottom right corner"
expect "$f" 400 180 FF0000 "full screen, red quarter"
expect "$f" 639 180 FF0000 "full screen, red quarter's edge"
expect "$f" 640 180 00FF00 "full screen, green quarter's edge"
expect "$f" 880 180 00FF00 "full screen, green quarter"
expect "$f" 400 540 0000FF "full screen, blue quarter"
expect "$f" 880 540 FFFFFF "full screen, white quarter"
# Away and back: the surfaces are restored and the frame drawn after it is shown.
xdotool windowfocus "$(window_id xlogo)"
wait_for_line full "active 0"
xdotool windowfocus "$(window_id fb_window_probe)"
wait_for_line full "active 1"
sleep 0.5
screenshot refocused
f=$out/refocused.png
expect "$f" 400 180 00FF00 "full screen after the focus came back, left top quarter"
expect "$f" 880 180 FF0000 "full screen after the focus came back, right top quarter"
expect "$f" 400 540 FFFFFF "full screen after the focus came back, left bottom quarter"
expect "$f" 880 540 0000FF "full screen after the focus came back, right bottom quarter"
stop_probe full 640 360

# Windowed: the client area is exactly 320x200; without a window manager it sits where the
# window was placed, inside the frame that AdjustWindowRect allowed for (8, 31).
start_probe window
screenshot window
f=$out/window.png
expect "$f" 7 31 000000 "window, left of the client area"
expect "$f" 8 31 FF0000 "window, client top left"
expect "$f" 327 230 FFFFFF "window, client bottom right"
expect "$f" 328 231 000000 "window, beyond the client area"
expect "$f" 88 81 FF0000 "window, red quarter"
expect "$f" 248 81 00FF00 "window, green quarter"
expect "$f" 88 181 0000FF "window, blue quarter"
expect "$f" 248 181 FFFFFF "window, white quarter"
# The viewer resizes it: the frame stretches over the new client area.
xdotool windowsize --sync "$(window_id fb_window_probe)" 640 400 >/dev/null 2>&1 ||
    xdotool windowsize "$(window_id fb_window_probe)" 640 400
sleep 0.5
screenshot resized
f=$out/resized.png
expect "$f" 168 131 FF0000 "resized window, red quarter"
expect "$f" 488 131 00FF00 "resized window, green quarter"
expect "$f" 168 331 0000FF "resized window, blue quarter"
expect "$f" 647 430 FFFFFF "resized window, client bottom right"
expect "$f" 648 431 000000 "resized window, beyond the client area"
stop_probe window 100 100

# The message box of a fatal error, over the full screen.
start_probe box
# Windows are found with xwininfo: xdotool's search does not see SDL's box.
i=0
until xwininfo -name Error >"$out/box-window.txt" 2>/dev/null; do
    i=$((i + 1))
    if [ $i -gt 300 ]; then
        echo "FAIL box: no window captioned Error"; cat "$out/probe-box.log"; exit 1
    fi
    sleep 0.1
done
sleep 0.5
screenshot box
xwininfo -name Error >"$out/box-window.txt"
if ! grep -q "IsViewable" "$out/box-window.txt"; then
    echo "FAIL box: the box is not shown"
    failures=$((failures + 1))
fi
box=$(window_id Error)
# A point inside the box, near its top left corner, shows the box, not the frame.
box_x=$(sed -n 's/.*Absolute upper-left X: *//p' "$out/box-window.txt")
box_y=$(sed -n 's/.*Absolute upper-left Y: *//p' "$out/box-window.txt")
got=$(pixel "$out/box.png" $((box_x + 3)) $((box_y + 3)))
case $got in
FF0000 | 00FF00 | 0000FF | FFFFFF | 000000)
    echo "FAIL box: the box's pixel is $got, a colour of the frame beneath it"
    failures=$((failures + 1))
    ;;
esac
xdotool windowfocus "$box"
xdotool key Return
rc=0
wait "$probe_pid" || rc=$?
probe_pid=""
if [ "$rc" -ne 0 ] || ! grep -qx "answer 1" "$out/probe-box.log"; then
    echo "FAIL box: OK did not answer the box with IDOK (exit code $rc)"
    cat "$out/probe-box.log"
    failures=$((failures + 1))
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures checks failed; screenshots in $out"
    exit 1
fi
echo "all checks passed; screenshots in $out"
