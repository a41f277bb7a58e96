#!/usr/bin/env bash
# Builds the launcher and shows its whole flow under Wine against the bundled
# local demo servers (its compiled-in default hosts): update splash, login
# window, game window, exit confirmation, and the end through the exit box,
# with real clicks. Uses $DISPLAY when set, otherwise a private Xvfb with a
# compositor; saves a numbered screenshot of each stage to a folder it names,
# then ends the launcher and everything it started.
#
# Under Wine no page is rendered, so nobody can click inside the login page:
# the tour driver (tools/tour) stands in for that one action by navigating
# the login page's browser to the game-entry address. Everything else is the
# launcher's own behaviour.
#   QM_RUN_OUT       screenshot folder (build/run)
#   QM_RUN_NO_BUILD  set to 1 to use the existing build
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

if [ "${QM_RUN_NO_BUILD:-0}" != 1 ]; then
    "$ROOT/scripts/install-deps.sh" || exit 1
    # 64-bit, because only 64-bit Wine can be installed here; the shipped
    # 32-bit build is the same code.
    { cmake --preset win64 && cmake --build --preset win64 -j2 --target Quillmoor quillmoor_tour; } \
        >/dev/null || { echo "build failed" >&2; exit 1; }
fi

source "$ROOT/scripts/wine-env.sh"
out="${QM_RUN_OUT:-$ROOT/build/run}"
mkdir -p "$out"
rm -f "$out"/*.png "$out/enter" "$out/portal.log" "$out/ready"
mkdir -p "$out/updates"
tour="$ROOT/build/win64/bin/quillmoor_tour.exe"

portal_pid=""
launcher_pid=""
compositor_pid=""
cleanup() {
    [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null
    qm_wine_stop
    [ -n "$portal_pid" ] && kill "$portal_pid" 2>/dev/null
    [ -n "$compositor_pid" ] && kill "$compositor_pid" 2>/dev/null
    qm_stop_xvfb
    wait 2>/dev/null
}
trap cleanup EXIT
fail() {
    echo "run: $*" >&2
    import -window root "$out/failed.png" 2>/dev/null
    exit 1
}

# The id of a viewable top-level window of exactly WxH, or nothing.
find_window() {
    local id
    for id in $(xwininfo -root -children 2>/dev/null |
        awk -v g="$1" '{ for (i = 2; i <= NF; i++) if (index($i, g "+") == 1) print $1 }'); do
        if xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable"; then
            echo "$id"
            return 0
        fi
    done
    return 1
}
# Waits (at most $2 seconds) for a viewable window of size $1.
wait_window() {
    local i
    for i in $(seq 1 $(($2 * 10))); do
        find_window "$1" && return 0
        sleep 0.1
    done
    return 1
}
window_origin() {
    xwininfo -id "$1" | sed -n 's/.*Absolute upper-left \([XY]\): *\(-*[0-9]*\)/\2/p' | tr '\n' ' '
}
shot() {
    import -window root "$out/$1.png" && echo "  $out/$1.png"
}

qm_start_xvfb || exit 1
if [ -n "${QM_XVFB_PID:-}" ]; then
    # Per-pixel alpha shows only with a compositor.
    xcompmgr >/dev/null 2>&1 &
    compositor_pid=$!
fi
qm_wine_prepare || exit 1
qm_wine_stop # a fresh wineserver for this display

# The demo servers; the update folder publishes nothing, so no update runs.
# The version page is answered after a pause so the splash can be seen.
python3 "$ROOT/tools/demo-portal/demo_portal.py" --update-root "$out/updates" \
    --log "$out/portal.log" --ready-file "$out/ready" --version-delay 3 --max-seconds 600 \
    >/dev/null 2>&1 &
portal_pid=$!
for _ in $(seq 1 100); do [ -f "$out/ready" ] && break; sleep 0.1; done
[ -f "$out/ready" ] || fail "the demo servers did not start (ports 18701-18704 busy?)"

echo "Starting the launcher on $DISPLAY; screenshots go to $out"
QM_TOUR_ENTER_FILE="$(winepath -w "$out/enter" 2>/dev/null)" \
    qm_wine 600 "$tour" >"$out/launcher.log" 2>&1 &
launcher_pid=$!

wait_window 411x184 20 || fail "no update splash appeared"
sleep 1
shot 01-update-splash

wait_window 1194x685 20 || fail "no login window appeared"
sleep 2
shot 02-login

touch "$out/enter"
screen=$(xwininfo -root | sed -n 's/.*-geometry \([0-9]*x[0-9]*\).*/\1/p')
game=$(wait_window "$screen" 20) || fail "the game window did not appear maximised"
sleep 2
shot 03-game

read -r gx gy < <(window_origin "$game")
width=${screen%x*}
# The close button sits 35 pixels from the right edge, 3 from the top.
xdotool mousemove $((gx + width - 35 + 11)) $((gy + 3 + 11)) click 1
box=$(wait_window 226x104 10) || fail "the exit confirmation did not appear"
sleep 1
shot 04-exit-confirmation

read -r bx by < <(window_origin "$box")
# The confirm button: 30..99 by 64..91 inside the box.
xdotool mousemove $((bx + 65)) $((by + 77)) click 1
for _ in $(seq 1 100); do
    kill -0 "$launcher_pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$launcher_pid" 2>/dev/null; then
    fail "the launcher did not end after the exit was confirmed"
fi
wait "$launcher_pid"
code=$?
launcher_pid=""
[ "$code" -eq 0 ] || fail "the launcher ended with exit code $code"
echo "The launcher ended with exit code 0. Screenshots saved in $out"
