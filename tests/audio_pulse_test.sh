#!/bin/sh
# Runs a program against a PulseAudio server of its own: a null sink (whose monitor the
# program records), a socket in a directory of its own, no autospawn, no modules but those
# two; stopped at the end. Skipped (exit 77) only where pulseaudio is not installed.
# Usage: audio_pulse_test.sh OUTPUT_DIR PROGRAM [ARGS...]
set -eu
out=$1
shift
if ! command -v pulseaudio >/dev/null 2>&1; then
    echo "SKIPPED: pulseaudio is not installed (tools/install-deps test installs it)"
    exit 77
fi
rm -rf "$out"
mkdir -p "$out/runtime" "$out/home"
chmod 700 "$out/runtime"
out=$(cd "$out" && pwd)
echo "autospawn = no" >"$out/client.conf"

# Our clients and the server see only this directory: no user's server, no user's config.
export XDG_RUNTIME_DIR="$out/runtime" HOME="$out/home" PULSE_CLIENTCONFIG="$out/client.conf"
export PULSE_SERVER="unix:$out/native"
unset PULSE_LATENCY_MSEC SDL_AUDIODRIVER
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    -L "module-null-sink sink_name=ulvo_null rate=44100 channels=2" \
    -L "module-native-protocol-unix socket=$out/native auth-anonymous=1" \
    >"$out/pulseaudio.log" 2>&1 &
server=$!
cleanup() {
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
}
trap cleanup EXIT

i=0
until pactl info >/dev/null 2>&1; do
    i=$((i + 1))
    if [ $i -gt 100 ] || ! kill -0 "$server" 2>/dev/null; then
        echo "the PulseAudio server did not start:"
        cat "$out/pulseaudio.log"
        exit 1
    fi
    sleep 0.1
done

"$@"
