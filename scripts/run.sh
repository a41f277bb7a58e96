#!/usr/bin/env bash
# Builds the launcher and runs it under Wine against the bundled local demo
# servers (its compiled-in default hosts). Uses $DISPLAY when set, otherwise a
# private Xvfb with a compositor; saves screenshots to a folder it names, then
# ends the launcher and everything it started.
#   QM_RUN_SECONDS   how long to let the launcher run before the screenshot (5)
#   QM_RUN_OUT       screenshot folder (build/run)
#   QM_RUN_NO_BUILD  set to 1 to use the existing build
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

if [ "${QM_RUN_NO_BUILD:-0}" != 1 ]; then
    "$ROOT/scripts/install-deps.sh" || exit 1
    # 64-bit, because only 64-bit Wine can be installed here; the shipped
    # 32-bit build is the same code.
    cmake --preset win64 >/dev/null && cmake --build --preset win64 -j2 --target Quillmoor \
        >/dev/null || { echo "build failed" >&2; exit 1; }
fi

source "$ROOT/scripts/wine-env.sh"
out="${QM_RUN_OUT:-$ROOT/build/run}"
mkdir -p "$out"
exe="$ROOT/build/win64/bin/Quillmoor.exe"

launcher_pid=""
compositor_pid=""
cleanup() {
    [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null
    qm_wine_stop
    [ -n "$compositor_pid" ] && kill "$compositor_pid" 2>/dev/null
    qm_stop_xvfb
    wait 2>/dev/null
}
trap cleanup EXIT

qm_start_xvfb || exit 1
if [ -n "${QM_XVFB_PID:-}" ]; then
    # Per-pixel alpha shows only with a compositor.
    xcompmgr >/dev/null 2>&1 &
    compositor_pid=$!
fi
qm_wine_prepare || exit 1
qm_wine_stop # a fresh wineserver for this display

echo "Starting the launcher on $DISPLAY"
qm_wine 600 "$exe" >"$out/launcher.log" 2>&1 &
launcher_pid=$!

sleep "${QM_RUN_SECONDS:-5}"
shot="$out/01-start.png"
import -window root "$shot"
if ! kill -0 "$launcher_pid" 2>/dev/null; then
    wait "$launcher_pid"
    echo "The launcher ended early with exit code $?" >&2
    launcher_pid=""
    exit 1
fi
echo "Screenshots saved in $out"
