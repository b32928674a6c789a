#!/bin/sh
# Processor use of the real program running full screen, next to the bare SDL program
# (bench/bare_sdl.cpp) as its baseline: on an Xvfb server of their own, at 1280x720 and
# 1920x1080, with SDL's opengl and software renderers, SDL's dummy audio driver and no
# sound server. The two run in turns on the same server; each one's own process time
# (utime + stime of all its threads, from /proc/PID/stat; not the X server's) is read over
# the same span after the same warm-up. Prints one line per size and renderer:
#   size renderer ulvo% bare% ratio
#   bench/ulvo_cpu.sh path/to/ulvo path/to/bare_sdl [seconds [warm-up [folder holding data/]]]
#   (defaults: 20, 5, the repository root)
set -eu
ulvo=$(realpath "$1")
bare=$(realpath "$2")
span=${3:-20}
warmup=${4:-5}
folder=$(realpath "${5:-$(dirname "$0")/..}")
[ -d "$folder/data" ] || { echo "no data/ in $folder" >&2; exit 1; }
hz=$(getconf CLK_TCK)
xvfb=""
trap '[ -n "$xvfb" ] && kill $xvfb 2>/dev/null' EXIT

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Runs a program on the server for warm-up + span seconds; prints its % of one core.
measure() { # display renderer program...
    display=$1
    renderer=$2
    shift 2
    (cd "$folder" && DISPLAY=":$display" SDL_AUDIODRIVER=dummy SDL_RENDER_DRIVER=$renderer \
        exec "$@" >/dev/null 2>&1) &
    pid=$!
    sleep "$warmup"
    start=$(ticks $pid)
    sleep "$span"
    end=$(ticks $pid)
    kill $pid
    wait $pid 2>/dev/null || true
    awk -v t=$((end - start)) -v hz="$hz" -v s="$span" 'BEGIN { printf "%.1f", t * 100 / hz / s }'
}

echo "size renderer ulvo% bare% ratio"
for size in 1280x720 1920x1080; do
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$fifo" 2>/dev/null &
    xvfb=$!
    read -r number <"$fifo"
    rm -f "$fifo"
    for renderer in opengl software; do
        u=$(measure "$number" $renderer "$ulvo")
        b=$(measure "$number" $renderer "$bare")
        awk -v size=$size -v r=$renderer -v u="$u" -v b="$b" \
            'BEGIN { printf "%s %s %s %s %.2f\n", size, r, u, b, (b > 0 ? u / b : 0) }'
    done
    kill $xvfb
    wait $xvfb 2>/dev/null || true
    xvfb=""
done
