#!/usr/bin/env bash
# Start-up time, memory and size of the shipped 32-bit launcher under Wine
# (WoW64), each against a floor: a Win32 program of the same build that only
# shows a window (bench/floor_window.cpp).
#
#   bench/startup-bench.sh [--runs N] [--version-delay S] [--settle-ms MS] [--with-64]
#
#   --runs N             timed runs of each program (default 5), after one
#                        warm-up run that is not counted
#   --version-delay S    the demo portal holds the version page's answer this
#                        long (default 0.5), so the splash stays up for a while;
#                        figure 2 is timed from the answer and does not include it
#   --settle-ms MS       pause between a window appearing and reading the
#                        working set (default 1000)
#   --with-64            also measure the 64-bit twin of the shipped build
#                        (build/win64-release: size-optimised, LTO) against a
#                        64-bit floor, in the same run, as a second table
#
# The 32-bit programs come from build/win32 (the win32 preset, as shipped:
# size-optimised, LTO) and run stripped, as players run the exe. The demo
# portal serves the hosts compiled into the builds, read from their
# CMakeCache.txt (they must be loopback hosts with a port).
#
# Figures: 1. start -> update splash visible and 2. version page answered ->
# login window visible, both with the real Quillmoor.exe; 3. the floor's start ->
# window visible; 4. working sets (VmRSS of the Wine process) of the floor with
# its window, the launcher at the login window, and in game (the tour driver,
# tools/tour, which enters the game as no page can be clicked under Wine); 5.
# stripped sizes of Quillmoor.exe and the floor.
#
# Runs on its own Xvfb display with its own Wine prefix (QM_WINE_ROOT, default
# build/bench-wine) and one persistent wineserver for all runs; raw records
# stay in <build>/startup-bench. Stops everything it started.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RUNS=5
VERSION_DELAY=0.5
SETTLE_MS=1000
WITH64=0
usage() { sed -n '2,/^set -u/p' "$0" | sed '$d' >&2; }
while [ $# -gt 0 ]; do
    case "$1" in
    --with-64) WITH64=1; shift; continue ;;
    --runs | --version-delay | --settle-ms) ;;
    *) usage; exit 2 ;;
    esac
    [ $# -ge 2 ] || { echo "startup-bench: $1 needs a value" >&2; exit 2; }
    case "$1" in
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
B32=$ROOT/build/win32
B64=$ROOT/build/win64-release
builds=("$B32")
[ "$WITH64" = 1 ] && builds+=("$B64")
log=$ROOT/build/startup-bench-build.log
: >"$log"
for build in "${builds[@]}"; do
    preset=win32
    [ "$build" = "$B64" ] && preset=win64-release
    echo "building $preset in $build ..."
    # Always through the preset, so a folder configured before the preset
    # changed (its build type, say) is measured as the preset builds today;
    # built every time (quick when up to date), so no figure is a stale exe's.
    { (cd "$ROOT" && cmake --preset "$preset" -B "$build") &&
        cmake --build "$build" -j2 --target Quillmoor quillmoor_tour startup_probe floor_window; } \
        >>"$log" 2>&1 || die "the $preset build failed ($log)"
done

# The programs run stripped, as the shipped exe is: under Wine an image's
# debug sections are read into memory with the rest and would count in its
# working set (7.7 MiB of the launcher's) and its start.
strip_programs() { # BUILD STRIP
    local work=$1/startup-bench program
    rm -rf "$work"
    mkdir -p "$work/bin" "$work/updates"
    for program in Quillmoor quillmoor_tour floor_window; do
        "$2" -o "$work/bin/$program.exe" "$1/bin/$program.exe" || die "cannot strip $1/bin/$program.exe"
    done
}
strip_programs "$B32" i686-w64-mingw32-strip
[ "$WITH64" = 1 ] && strip_programs "$B64" x86_64-w64-mingw32-strip

# --- the hosts compiled into the measured builds -------------------------
# The ports of a build's four hosts, comma-separated, and whether they are
# https (all four) or http (all four): the demo portal serves one of them.
hosts_of() { # BUILD
    local var host ports="" secure=0
    for var in QM_UPDATE_HOST QM_GAME_HOST QM_PAY_HOST QM_PORTAL_HOST; do
        host=$(sed -n "s/^$var:[A-Z]*=//p" "$1/CMakeCache.txt")
        case "$host" in
        https://localhost:[0-9]*) ports=${ports:+$ports,}${host#https://localhost:} secure=$((secure + 1)) ;;
        127.0.0.1:[0-9]* | http://127.0.0.1:[0-9]*) ports=${ports:+$ports,}${host##*127.0.0.1:} ;;
        *) die "$var is '$host' in $1; the bench serves https://localhost:port or 127.0.0.1:port" ;;
        esac
    done
    [ "$secure" = 0 ] || [ "$secure" = 4 ] ||
        die "the hosts of $1 mix https and http; the demo portal serves one of them"
    echo "$ports $secure"
}
read -r ports secure < <(hosts_of "$B32")
[ -n "$ports" ] || exit 1 # hosts_of said why
[ "$WITH64" = 1 ] && [ "$(hosts_of "$B64")" != "$ports $secure" ] &&
    die "the 32-bit and 64-bit builds name other hosts"

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
portal_dir=$B32/startup-bench
tls=()
[ "$secure" = 4 ] && tls=(--tls-cert "$QM_TLS_DIR/localhost.pem")
python3 "$ROOT/tools/demo-portal/demo_portal.py" --ports "$ports" --update-root "$portal_dir/updates" \
    --log "$portal_dir/portal.jsonl" --ready-file "$portal_dir/ready" --version-delay "$VERSION_DELAY" \
    --max-seconds 3600 "${tls[@]}" >/dev/null 2>&1 &
portal_pid=$!
for _ in $(seq 1 100); do
    [ -f "$portal_dir/ready" ] && break
    sleep 0.1
done
[ -f "$portal_dir/ready" ] || die "the demo portal did not start (ports $ports busy?)"

# --- runs ----------------------------------------------------------------
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
BUILD=""
work=""
probe() { # RECORD PROGRAM STEP...
    local record=$work/$1.txt
    shift
    qm_wine 120 "$BUILD/bin/startup_probe.exe" --timeout-ms 60000 "$(winpath "$work/bin/$1")" "${@:2}" \
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
stripped_size() { stat -c %s "$work/bin/$1.exe"; }

# measure BUILD FLAVOUR SIZE_TARGET: the runs of one build, and its table.
measure() {
    BUILD=$1
    work=$1/startup-bench
    echo "measuring the $2 build on $DISPLAY: $RUNS runs of the floor, Quillmoor.exe and the tour ..."
    floor_run warmup-floor
    launcher_run warmup-launcher
    tour_run warmup-tour
    for i in $(seq 1 "$RUNS"); do
        floor_run "floor-$i"
        launcher_run "launcher-$i"
        tour_run "tour-$i"
    done
    cp "$portal_dir/portal.jsonl" "$work/portal.jsonl" 2>/dev/null || true
    echo
    echo "Quillmoor start-up, $2 build, $(date -u '+%Y-%m-%d %H:%M UTC'); $(qm_wine 30 --version 2>/dev/null)," \
        "Xvfb 1600x900, no window manager, $(nproc) cores"
    python3 "$ROOT/bench/startup_figures.py" "$work" "$RUNS" "$(stripped_size floor_window)" \
        "$(stripped_size Quillmoor)" "$2" "$3" || die "no figures; raw records in $work"
    echo
}
measure "$B32" 32-bit "<= 700 KiB"
[ "$WITH64" = 1 ] && measure "$B64" 64-bit ""
exit 0
