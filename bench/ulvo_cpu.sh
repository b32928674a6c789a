#!/bin/sh
# Processor use of the real program running full screen: ulvo on its own Xvfb server
# (a 60 Hz display as far as the show can tell), with SDL's dummy audio driver, measured
# from /proc/<pid>/stat over 10 seconds.
#   bench/ulvo_cpu.sh path/to/ulvo [folder holding data/ [seconds before measuring]]
#   (defaults: the repository root, 5)
set -eu
ulvo=$(realpath "$1")
folder=$(realpath "${2:-$(dirname "$0")/..}")
[ -d "$folder/data" ] || { echo "no data/ in $folder" >&2; exit 1; }

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
xvfb=$!
read -r number <"$fifo"
rm -f "$fifo"
trap 'kill $xvfb 2>/dev/null' EXIT

cd "$folder"
DISPLAY=":$number" SDL_AUDIODRIVER=dummy "$ulvo" &
show=$!
sleep "${3:-5}"
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
start=$(ticks $show)
sleep 10
end=$(ticks $show)
hz=$(getconf CLK_TCK)
kill $show
wait $show 2>/dev/null || true
awk -v t=$((end - start)) -v hz="$hz" \
    'BEGIN { printf "ulvo: %.1f%% of one core over 10 s (%d ticks at %d Hz)\n", t * 100 / hz / 10, t, hz }'
