#!/bin/sh
# The heard sound against the reported position over 20 s, on a PulseAudio null sink that
# this script starts (through tests/audio_pulse_test.sh): with libpulse's default latency,
# with the show's stream at 200 ms (PULSE_LATENCY_MSEC, as Bluetooth headphones make it),
# and, for comparison, through SDL's own PulseAudio driver (the fallback output, which can
# only count its buffer).
# Usage: bench/audio_heard.sh BUILD_DIR
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)
bench=$build/bench/audio_heard_bench
run() { # what, then the environment and the arguments
    what=$1
    shift
    printf '%-34s ' "$what"
    sh "$here/../tests/audio_pulse_test.sh" "$build/bench/audio_heard" env "$@"
}
run "libpulse, default latency" "$bench" ulvo_null.monitor
run "libpulse, 200 ms" "$bench" ulvo_null.monitor 200
run "SDL's driver, default latency" SDL_AUDIODRIVER=pulseaudio "$bench" ulvo_null.monitor
