#!/bin/sh
# Runs the Windows build under Wine, in a Wine virtual desktop inside an Xvfb of its own,
# with a PulseAudio server of its own whose null sink plays in real time:
#   - the audio library's checks (tests/wine/bass_check.exe on tones made here);
#   - ulvo.exe with the default data/: the title fills the 320x200 mode, Escape ends it with 0;
#   - ulvo.exe with a picture missing: the message box shows, and the exit code is 1.
# Skips, with a line that says why, where Wine or PulseAudio cannot be installed.
#   tests/wine/check.sh MINGW_BUILD NATIVE_BUILD
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
mingw=$(cd "$1" && pwd)
native=$(cd "$2" && pwd)
out=$mingw/wine # the prefix (made once, then reused), screenshots, logs

skip() {
    echo "wine check: SKIPPED: $*"
    exit 0
}
fail() {
    echo "wine check: FAILED: $*"
    exit 1
}

"$root/tools/install-deps" wine || skip "the packages wine64, pulseaudio and pulseaudio-utils cannot be installed"
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[ -x "$wine" ] || skip "no wine64 program"

bass_check=$mingw/tests/wine/bass_check.exe
ulvo=$mingw/show/ulvo.exe
for f in "$bass_check" "$native/tests/make_tone"; do
    [ -f "$f" ] || fail "$f is not built"
done

# Only DLLs that Windows ships: no C++ runtime, no ddraw.dll (loaded at run time).
for exe in "$bass_check" "$ulvo"; do
    [ -f "$exe" ] || continue
    dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' |
        tr '[:upper:]' '[:lower:]' | sort | tr '\n' ' ')
    echo "$(basename "$exe") imports: $dlls"
    for dll in $dlls; do
        case $dll in
        kernel32.dll | user32.dll | gdi32.dll | ole32.dll | oleaut32.dll | winmm.dll | msacm32.dll | msvcrt.dll | advapi32.dll) ;;
        *) fail "$(basename "$exe") needs $dll" ;;
        esac
    done
done

mkdir -p "$out"
run=$(mktemp -d /tmp/ulvo-wine.XXXXXX) # short: the PulseAudio socket path has a length limit
pids=""
wineserver=${wine%64}server64
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$run"
}
trap cleanup EXIT INT TERM

export WINEPREFIX="$out/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export XDG_RUNTIME_DIR="$run/xdg" HOME="$run/home" PULSE_SERVER="unix:$run/xdg/pulse/native"
mkdir -p "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"

start=$(date +%s)
# Xvfb picks a free display itself and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$run/display" >"$out/xvfb.log" 2>&1 &
pids="$pids $!"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    -L module-null-sink -L module-native-protocol-unix >"$out/pulse.log" 2>&1 &
pids="$pids $!"
for _ in $(seq 100); do
    [ -s "$run/display" ] && pactl info >/dev/null 2>&1 && break
    sleep 0.1
done
[ -s "$run/display" ] || fail "Xvfb did not start (see $out/xvfb.log)"
pactl info >/dev/null 2>&1 || fail "PulseAudio did not start (see $out/pulse.log)"
DISPLAY=":$(cat "$run/display")"
export DISPLAY

# The prefix: made once in the build folder, with a virtual desktop and PulseAudio output.
if [ ! -f "$WINEPREFIX/.ulvo-ready" ]; then
    echo "making the Wine prefix (once)"
    rm -rf "$WINEPREFIX"
    {
        "$wine" wineboot -i
        "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d ulvo /f
        "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v ulvo /d 640x480 /f
        # PulseAudio only: an ALSA null device would race the clock.
        "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d pulse /f
        "$wineserver" -w
    } >"$out/wineboot.log" 2>&1 || fail "could not make the Wine prefix (see $out/wineboot.log)"
    touch "$WINEPREFIX/.ulvo-ready"
fi
echo "Xvfb, PulseAudio and the Wine prefix ready after $(($(date +%s) - start)) s"

echo "== the audio library on waveOut"
tones=$run/tones
mkdir -p "$tones"
"$native/tests/make_tone" "$tones/stereo.mp3" 44100 2 4
"$native/tests/make_tone" "$tones/mono.mp3" 22050 1 4
"$native/tests/make_tone" "$tones/short.mp3" 48000 2 1
(cd "$tones" && "$wine" "$bass_check" errors) || fail "bass_check errors"
(cd "$tones" && "$wine" "$bass_check" rate stereo.mp3 3) || fail "bass_check rate, 44100 Hz stereo"
(cd "$tones" && "$wine" "$bass_check" rate mono.mp3 3) || fail "bass_check rate, 22050 Hz mono"
(cd "$tones" && "$wine" "$bass_check" end short.mp3 1) || fail "bass_check end, 48000 Hz"

if [ ! -f "$ulvo" ]; then
    echo "wine check: the show's part SKIPPED: this tree builds no ulvo.exe yet (no show or display library)"
    echo "wine check: passed in $(($(date +%s) - start)) s"
    exit 0
fi

now_ms() { echo $(($(date +%s%N) / 1000000)); }
tenths() { echo "$(($1 / 1000)).$(($1 % 1000 / 100))"; } # milliseconds as seconds

# The virtual desktop's X window, and a screenshot of it.
desktop_window() { xdotool search --name 'Wine desktop' 2>/dev/null | head -n 1; }
shoot() {
    window=$(desktop_window)
    [ -n "$window" ] && xwd -silent -id "$window" 2>/dev/null | convert xwd:- "$1" 2>/dev/null
}
size_of() { identify -format '%wx%h' "$1" 2>/dev/null; }
# Pixels of $1 that differ from $2 by more than a few per cent.
differing() { compare -metric AE -fuzz 6% "$1" "$2" null: 2>&1 || true; }
# Waits up to $2 seconds for the process $1 to end; its exit code then is in $rc.
wait_exit() {
    for _ in $(seq $(($2 * 10))); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$1" 2>/dev/null; then
        kill "$1" 2>/dev/null || true
        rc=timeout
    else
        rc=0
        wait "$1" || rc=$?
    fi
}

shots=$out/shots
rm -rf "$shots"
mkdir -p "$shots"
convert "$root/data/ulvo.gif[0]" -alpha off "$shots/title-expected.png"

echo "== ulvo.exe with the default data/"
launched=$(now_ms)
(cd "$root" && exec "$wine" "$ulvo") >"$out/ulvo.log" 2>&1 &
show=$!
found=""
for i in $(seq 60); do
    if shoot "$shots/now.png" && [ "$(size_of "$shots/now.png")" = 320x200 ] &&
        [ "$(differing "$shots/now.png" "$shots/title-expected.png")" -lt 640 ]; then
        found=$i
        mv "$shots/now.png" "$shots/title.png"
        break
    fi
    sleep 0.5
done
[ -n "$found" ] || fail "the title picture never filled the 320x200 desktop (last screenshot: $shots/now.png)"
titled=$(now_ms)
echo "the title fills the 320x200 desktop $(tenths $((titled - launched))) s after launch, $(differing "$shots/title.png" "$shots/title-expected.png") pixels off ulvo.gif ($shots/title.png)"
pactl list short sink-inputs | grep -q . || fail "no sound stream reached PulseAudio"
echo "the music plays: $(pactl list short sink-inputs | wc -l) stream(s) on the null sink"
# Past 15 s of music the pictures fade under noise: neither early (a clock that races)
# nor late (one that stalls).
changed=""
while [ $(($(now_ms) - titled)) -lt 25000 ]; do
    shot=$(now_ms)
    shoot "$shots/fade.png" && [ "$(differing "$shots/fade.png" "$shots/title-expected.png")" -gt 6400 ] && {
        changed=$((shot - titled))
        break
    }
    sleep 0.2
done
[ -n "$changed" ] || fail "the title is still on screen 25 s after it appeared ($shots/fade.png)"
echo "the fades begin $(tenths "$changed") s after the title appeared ($shots/fade.png)"
changed=$((changed / 1000))
if [ "$changed" -lt 13 ] || [ "$changed" -gt 21 ]; then fail "the title should last about 15 s"; fi
xdotool windowfocus --sync "$(desktop_window)" 2>/dev/null || true
xdotool key Escape
wait_exit "$show" 15
[ "$rc" = 0 ] || fail "Escape: exit code $rc, expected 0 (see $out/ulvo.log)"
echo "Escape ends it with exit code 0"

echo "== ulvo.exe with 17.jpg missing"
missing=$run/missing
mkdir -p "$missing/data"
for f in "$root"/data/*; do ln -s "$f" "$missing/data/"; done
rm "$missing/data/17.jpg"
(cd "$missing" && exec "$wine" "$ulvo") >"$out/ulvo-missing.log" 2>&1 &
show=$!
box=""
for _ in $(seq 60); do
    box=$(xdotool search --name '^Error$' 2>/dev/null | head -n 1)
    [ -n "$box" ] && break
    kill -0 "$show" 2>/dev/null || break
    sleep 0.5
done
[ -n "$box" ] || fail "no message box (see $out/ulvo-missing.log)"
sleep 0.5
shoot "$shots/message.png" || fail "no screenshot of the message box"
[ "$(size_of "$shots/message.png")" = 320x200 ] || fail "the message box came without the 320x200 mode"
echo "the message box \"Error\" is up while the 320x200 mode is in force ($shots/message.png)"
# Whether it can be seen: Wine keeps the exclusive full-screen window above it.
lit=$(convert "$shots/message.png" -colorspace gray -threshold 50% -format '%[fx:int(mean*w*h)]' info:)
if [ "$lit" -gt 2000 ]; then
    echo "it shows on screen ($lit light pixels)"
else
    echo "note: it is hidden behind the full-screen window ($lit light pixels), as Wine stacks them"
fi
kill -0 "$show" 2>/dev/null || fail "ulvo.exe ended before its message box was answered"
# The box has the keyboard focus inside the desktop: Return presses its OK button.
for _ in 1 2 3 4 5; do
    xdotool key Return
    sleep 1
    kill -0 "$show" 2>/dev/null || break
done
wait_exit "$show" 10
[ "$rc" = 1 ] || fail "missing picture: exit code $rc, expected 1 (see $out/ulvo-missing.log)"
echo "answering it ends the program with exit code 1"
echo "wine check: passed in $(($(date +%s) - start)) s"
