#!/usr/bin/env bash
# Captures the progress window that VelaRefresh shows with /d: runs the window test of the Wine
# tests with the window held on screen for a few seconds and grabs the X screen meanwhile.
# Usage: screenshot-progress-window.sh <windows build dir> <output.png>
# Needs DISPLAY (an X server, e.g. Xvfb) and ImageMagick's import; uses the tree's Wine prefix.
set -eu
build=$(cd "${1:?windows build dir}" && pwd)
out=${2:?output png}
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
: "${DISPLAY:?DISPLAY must name an X server}"

VELA_REFRESH_HOLD_MS=6000 wine "$build/refresher/refresher_wine_tests.exe" \
    --gtest_filter='*SlashDShowsTheWindow*' >"$out.log" 2>&1 &
test_pid=$!
# Wine needs a few seconds to start both processes: grab until the screen is no longer empty.
for _ in $(seq 30); do
    sleep 0.5
    import -window root "$out"
    [ "$(convert "$out" -format '%[fx:mean>0]' info:)" = 1 ] && break
done
wait "$test_pid" && echo "test passed; screenshot in $out" || { cat "$out.log"; exit 1; }
