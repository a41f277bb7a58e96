#!/usr/bin/env bash
# Start-up time, memory and size of the launcher under Wine, each against a
# floor: a Win32 program that only shows a window (bench/floor_window.cpp).
#
#   bench/startup-bench.sh [--build DIR] [--runs N] [--version-delay S] [--settle-ms MS]
#
#   --build DIR          the 64-bit build measured (default build/win64-release,
#                        built as the shipped exe is: size-optimised, LTO, and
#                        run stripped); the demo portal serves the hosts
#                        compiled into it, read from its CMakeCache.txt (they
#                        must be https://localhost:port, over TLS, or
#                        127.0.0.1:port)
#   --runs N             timed runs of each program (default 5), after one
#                        warm-up run that is not counted
#   --version-delay S    the demo portal holds the version page's answer this
#                        long (default 0.5), so the splash stays up for a while;
#                        figure 2 is timed from the answer and does not include it
#   --settle-ms MS       pause between a window appearing and reading the
#                        working set (default 1000)
#
# Figures: 1. start -> update splash visible and 2. version page answered ->
# login window visible, both with the real Quillmoor.exe; 3. the floor's start ->
# window visible; 4. working sets (VmRSS of the Wine process) of the floor with
# its window, the launcher at the login window, and in game (the tour driver,
# tools/tour, which enters the game as no page can be clicked under Wine); 5.
# stripped sizes of the 32-bit Quillmoor.exe (build/win32, brought up to date)
# and the 32-bit floor (build/bench-win32).
#
# Runs on its own Xvfb display with its own Wine prefix (QM_WINE_ROOT, default
# build/bench-wine) and one persistent wineserver for all runs; raw records
# stay in DIR/startup-bench. Stops everything it started.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build/win64-release
RUNS=5
VERSION_DELAY=0.5
SETTLE_MS=1000
usage() { sed -n '2,/^set -u/p' "$0" | sed '$d' >&2; }
while [ $# -gt 0 ]; do
    case "$1" in
    --build | --runs | --version-delay | --settle-ms) ;;
    *) usage; exit 2 ;;
    esac
    [ $# -ge 2 ] || { echo "startup-bench: $1 needs a value" >&2; exit 2; }
    case "$1" in
    --build) BUILD=$(realpath -m "$2") ;;
    --runs) RUNS=$2 ;;
    --version-delay) VERSION_DELAY=$2 ;;
    --settle-ms) SETTLE_MS=$2 ;;
    esac
    shift 2
done
die() {
    echo "startup-bench: $*" >&2
    exit 1
}
case "$RUNS$SETTLE_MS" in *[!0-9]*) die "--runs and --settle-ms take whole numbers" ;; esac
[ "$RUNS" -ge 1 ] || die "--runs must be at least 1"

# --- builds --------------------------------------------------------------
configure() { # DIR PRESET
    # Always through the preset, so a folder configured before the preset
    # changed (its build type, say) is measured as the preset builds today.
    (cd "$ROOT" && cmake --preset "$2" -B "$1" >/dev/null)
}
W32=$ROOT/build/win32
FLOOR32=$ROOT/build/bench-win32
echo "building (64-bit in $BUILD, 32-bit in $W32 and $FLOOR32) ..."
{ configure "$BUILD" win64-release &&
    cmake --build "$BUILD" -j2 --target Quillmoor quillmoor_tour startup_probe floor_window; } \
    >"$ROOT/build/startup-bench-build.log" 2>&1 || die "64-bit build failed (build/startup-bench-build.log)"
# Built every time (it is quick when up to date), so the size is never a stale exe's.
{ configure "$W32" win32 && cmake --build "$W32" -j2 --target Quillmoor; } \
    >>"$ROOT/build/startup-bench-build.log" 2>&1 || die "32-bit build failed"
{ configure "$FLOOR32" win32 && cmake --build "$FLOOR32" -j2 --target floor_window; } \
    >>"$ROOT/build/startup-bench-build.log" 2>&1 || die "32-bit floor build failed"

stripped_size() {
    local copy code
    copy=$(mktemp)
    i686-w64-mingw32-strip -o "$copy" "$1" && stat -c %s "$copy"
    code=$?
    rm -f "$copy"
    return $code
}
size32=$(stripped_size "$W32/bin/Quillmoor.exe") || die "cannot strip $W32/bin/Quillmoor.exe"
floor32=$(stripped_size "$FLOOR32/bin/floor_window.exe") || die "cannot strip the 32-bit floor"

# The programs run stripped, as the shipped exe is: under Wine an image's
# debug sections are read into memory with the rest and would count in its
# working set (7.7 MiB of the launcher's) and its start.
work=$BUILD/startup-bench
rm -rf "$work"
mkdir -p "$work/bin" "$work/updates"
for program in Quillmoor quillmoor_tour floor_window; do
    x86_64-w64-mingw32-strip -o "$work/bin/$program.exe" "$BUILD/bin/$program.exe" ||
        die "cannot strip $BUILD/bin/$program.exe"
done

# --- the hosts compiled into the measured build --------------------------
ports=""
secure=0 # how many of the four are https
for var in QM_UPDATE_HOST QM_GAME_HOST QM_PAY_HOST QM_PORTAL_HOST; do
    host=$(sed -n "s/^$var:[A-Z]*=//p" "$BUILD/CMakeCache.txt")
    case "$host" in
    https://localhost:[0-9]*) ports=${ports:+$ports,}${host#https://localhost:} secure=$((secure + 1)) ;;
    127.0.0.1:[0-9]* | http://127.0.0.1:[0-9]*) ports=${ports:+$ports,}${host##*127.0.0.1:} ;;
    *) die "$var is '$host' in $BUILD; the bench serves https://localhost:port or 127.0.0.1:port" ;;
    esac
done
[ "$secure" = 0 ] || [ "$secure" = 4 ] ||
    die "the hosts of $BUILD mix https and http; the demo portal serves one of them"

# --- display, Wine, demo portal ------------------------------------------
: "${QM_WINE_ROOT:=$ROOT/build/bench-wine}"
export QM_WINE_ROOT
unset DISPLAY # always a private display: nothing else draws on it
source "$ROOT/scripts/wine-env.sh"
portal_pid=""
cleanup() {
    qm_wine_stop
    if [ -n "$portal_pid" ]; then
        kill "$portal_pid" 2>/dev/null
        wait "$portal_pid" 2>/dev/null
    fi
    qm_stop_xvfb
}
trap cleanup EXIT

qm_start_xvfb || die "no Xvfb"
qm_wine_prepare || die "no Wine prefix"
qm_wine_stop
# One server for every run, so each program starts warm, as a second start does.
qm_wineserver -p || die "no wineserver"

# Nothing is published in the update folder, so no update runs.
tls=()
[ "$secure" = 4 ] && tls=(--tls-cert "$QM_TLS_DIR/localhost.pem")
python3 "$ROOT/tools/demo-portal/demo_portal.py" --ports "$ports" --update-root "$work/updates" \
    --log "$work/portal.jsonl" --ready-file "$work/ready" --version-delay "$VERSION_DELAY" \
    --max-seconds 1800 "${tls[@]}" >/dev/null 2>&1 &
portal_pid=$!
for _ in $(seq 1 100); do
    [ -f "$work/ready" ] && break
    sleep 0.1
done
[ -f "$work/ready" ] || die "the demo portal did not start (ports $ports busy?)"

# --- runs ----------------------------------------------------------------
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
probe() { # RECORD PROGRAM STEP...
    local record=$work/$1.txt
    shift
    qm_wine 120 "$BUILD/bin/startup_probe.exe" --timeout-ms 30000 "$(winpath "$work/bin/$1")" "${@:2}" \
        2>>"$work/wine.log" | tr -d '\r' >"$record"
    local code=${PIPESTATUS[0]}
    [ "$code" -eq 0 ] || die "$(basename "$record"): probe exit $code: $(grep -h '^error=' "$record")"
    sleep 0.5 # let the ended program's Wine process go before the next start
}
floor_run() {
    probe "$1" floor_window.exe wait:window:any "sleep:$SETTLE_MS" memory:window
}
launcher_run() {
    probe "$1" Quillmoor.exe wait:splash:411x184 wait:login:1194x685 "sleep:$SETTLE_MS" \
        memory:login
}
tour_run() {
    local enter=$work/enter-$1
    export QM_TOUR_ENTER_FILE
    QM_TOUR_ENTER_FILE=$(winpath "$enter")
    probe "$1" quillmoor_tour.exe \
        wait:login:1194x685 "sleep:$SETTLE_MS" memory:login "touch:$(winpath "$enter")" \
        wait:game:workarea "sleep:$SETTLE_MS" memory:game
}

echo "measuring on $DISPLAY: $RUNS runs of the floor, Quillmoor.exe and the tour ..."
floor_run warmup-floor
launcher_run warmup-launcher
tour_run warmup-tour
for i in $(seq 1 "$RUNS"); do
    floor_run "floor-$i"
    launcher_run "launcher-$i"
    tour_run "tour-$i"
done

echo
echo "Quillmoor start-up, $(date -u '+%Y-%m-%d %H:%M UTC'); $(wine --version 2>/dev/null)," \
    "Xvfb 1600x900, no window manager, $(nproc) cores"
python3 "$ROOT/bench/startup_figures.py" "$work" "$RUNS" "$floor32" "$size32" ||
    die "no figures; raw records in $work"
