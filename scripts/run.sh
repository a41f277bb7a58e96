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
#
# The launcher runs from a copy in a fresh folder (<out>/app), since an
# update renames the running exe in place. With QM_RUN_UPDATE=1 the update
# site first publishes the same launcher as version 1.0.0.9: the launcher
# downloads it, keeps itself as quillmoor_tour.exe1.0.0.8, starts the new exe
# and ends, and the new one goes through the whole flow.
#
# In the game window the tour restores the window with its restore button,
# drags it by its title strip, and leaves through the close button and the
# exit box; every click lands where the skin puts the button at the screen's
# scale.
#   QM_RUN_ARCH      32 (the default: the shipped 32-bit launcher) or 64
#   QM_RUN_OUT       screenshot folder (build/run)
#   QM_RUN_NO_BUILD  set to 1 to use the existing build
#   QM_RUN_UPDATE    set to 1 to publish an update first
#   QM_RUN_DPI       the screen's DPI in the Wine prefix (96, the default,
#                    is 100 %; 144 is 150 %, 192 is 200 %)
#   QM_RUN_CLOSE_LOGIN  set to 1 to end the tour with the login window's
#                    close button instead of entering the game
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT" || exit 1

arch=${QM_RUN_ARCH:-32}
case "$arch" in 32 | 64) ;; *) echo "run: QM_RUN_ARCH must be 32 or 64" >&2; exit 2 ;; esac
if [ "${QM_RUN_NO_BUILD:-0}" != 1 ]; then
    "$ROOT/scripts/install-deps.sh" || exit 1
    { cmake --preset "win$arch" &&
        cmake --build --preset "win$arch" -j2 --target Quillmoor quillmoor_tour quillmoor_tour_next; } \
        >/dev/null || { echo "build failed" >&2; exit 1; }
fi

source "$ROOT/scripts/wine-env.sh"
out="${QM_RUN_OUT:-$ROOT/build/run}"
mkdir -p "$out"
rm -f "$out"/*.png "$out"/*.window "$out/enter" "$out/exit-code" "$out/portal.log" "$out/ready"
bin="$ROOT/build/win$arch/bin"
update=0
[ "${QM_RUN_UPDATE:-0}" = 1 ] && update=1
dpi=${QM_RUN_DPI:-96}
case "$dpi" in '' | *[!0-9]*) echo "run: QM_RUN_DPI must be a number" >&2; exit 2 ;; esac
source "$ROOT/tests/e2e/lib/scaled_length.sh"

# A fresh copy of the tour exe: an update renames it in place.
rm -rf "$out/app" "$out/updates"
mkdir -p "$out/app" "$out/updates"
tour="$out/app/quillmoor_tour.exe"
cp "$bin/quillmoor_tour.exe" "$tour" || { echo "run: no $bin/quillmoor_tour.exe" >&2; exit 1; }
if [ "$update" = 1 ]; then
    "$ROOT/tools/publish-update/publish-update" --key "$ROOT/tests/keys/update-test.pem" \
        "$bin/quillmoor_tour_next.exe" 1.0.0.9 \
        "$out/updates" || { echo "run: publishing the update failed" >&2; exit 1; }
fi

portal_pid=""
launcher_pid=""
compositor_pid=""
dpi_root=""
cleanup() {
    [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null
    qm_wine_stop
    [ -n "$portal_pid" ] && kill "$portal_pid" 2>/dev/null
    [ -n "$compositor_pid" ] && kill "$compositor_pid" 2>/dev/null
    qm_stop_xvfb
    wait 2>/dev/null
    [ -n "$dpi_root" ] && rm -rf "$dpi_root"
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
    for _ in $(seq 1 $(($2 * 10))); do
        find_window "$1" && return 0
        sleep 0.1
    done
    return 1
}
# The process id that Wine's X11 driver gives a window (_NET_WM_PID).
window_pid() {
    xprop -id "$1" _NET_WM_PID 2>/dev/null | sed -n 's/.* = *\([0-9]*\)$/\1/p'
}
# Like wait_window, for a window of another process than $2. Window ids do
# not tell processes apart: X gives a new client the id range of one that
# left.
wait_window_not_of() {
    local id pid
    for _ in $(seq 1 $(($3 * 10))); do
        if id=$(find_window "$1"); then
            pid=$(window_pid "$id")
            [ -n "$pid" ] && [ "$pid" != "$2" ] && return 0
        fi
        sleep 0.1
    done
    return 1
}
# Waits (at most $1 seconds) for the launcher this script started to end;
# sets launcher_code to its exit code.
launcher_code=""
wait_for_launcher() {
    for _ in $(seq 1 $(($1 * 10))); do
        kill -0 "$launcher_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$launcher_pid" 2>/dev/null && return 1
    wait "$launcher_pid"
    launcher_code=$?
    launcher_pid=""
}
# Waits (at most $1 seconds) until no Wine process of the prefix is left.
wait_wine_end() {
    HOME="$QM_WINE_ROOT/home" timeout "$1" wineserver -w
}
window_origin() {
    xwininfo -id "$1" | sed -n 's/.*Absolute upper-left \([XY]\): *\(-*[0-9]*\)/\2/p' | tr '\n' ' '
}
shot() {
    import -window root "$out/$1.png" && echo "  $out/$1.png"
}

# A private display is as large, at the screen's scale, as the 1600x900 one
# the tour has at 100 %.
export QM_XVFB_SIZE="$(px 1600)x$(px 900)"
qm_start_xvfb || exit 1
if [ -n "${QM_XVFB_PID:-}" ]; then
    # Per-pixel alpha shows only with a compositor.
    xcompmgr >/dev/null 2>&1 &
    compositor_pid=$!
fi
qm_wine_prepare || exit 1
if [ "$dpi" != 96 ]; then
    # Another scale goes into a copy of the prefix: the one the tests share
    # stays at 100 %.
    dpi_root="$out/wine-$dpi"
    rm -rf "$dpi_root"
    mkdir -p "$dpi_root/home"
    cp -a "$QM_WINE_ROOT/prefix" "$dpi_root/prefix" || fail "the Wine prefix could not be copied"
    export QM_WINE_ROOT="$dpi_root" WINEPREFIX="$dpi_root/prefix"
    qm_wine_set_dpi "$dpi" || fail "the prefix's DPI could not be set"
fi
qm_wine_stop # a fresh wineserver for this display

# The demo servers; the update folder publishes nothing unless QM_RUN_UPDATE=1.
# The version page is answered after a pause so the splash can be seen, and
# an update is sent over about four seconds, whatever its size, so its
# download can be. They speak TLS with the demo CA's certificate for
# localhost (build/tls), which the prepared Wine prefix trusts, as the
# embedded default hosts ask.
# They listen on the ports compiled into the build (the 64-bit build's are
# others, so its tests can run beside the 32-bit build's).
update_rate=$(($(stat -c %s "$bin/quillmoor_tour_next.exe") / 4 + 1))
ports=""
for var in QM_UPDATE_HOST QM_GAME_HOST QM_PAY_HOST QM_PORTAL_HOST; do
    host=$(sed -n "s/^$var:[A-Z]*=//p" "$(dirname "$bin")/CMakeCache.txt")
    case "$host" in
    https://localhost:[0-9]*) ports=${ports:+$ports,}${host##*:} ;;
    *) fail "$var is '$host'; the tour serves the demo sites on https://localhost:<port>" ;;
    esac
done
python3 "$ROOT/tools/demo-portal/demo_portal.py" --update-root "$out/updates" --ports "$ports" \
    --log "$out/portal.log" --ready-file "$out/ready" --version-delay 3 --max-seconds 600 \
    --update-rate "$update_rate" --tls-cert "$QM_TLS_DIR/localhost.pem" \
    >/dev/null 2>&1 &
portal_pid=$!
for _ in $(seq 1 100); do [ -f "$out/ready" ] && break; sleep 0.1; done
[ -f "$out/ready" ] || fail "the demo servers did not start (ports $ports busy?)"

echo "Starting the launcher on $DISPLAY; screenshots go to $out"
QM_TOUR_ENTER_FILE="$(qm_winepath "$out/enter")" \
    QM_TOUR_EXIT_FILE="$(qm_winepath "$out/exit-code")" \
    qm_wine 600 "$tour" >"$out/launcher.log" 2>&1 &
launcher_pid=$!

splash_size="$(px 411)x$(px 184)"
login_size="$(px 1194)x$(px 685)"
splash=$(wait_window "$splash_size" 20) || fail "no update splash of $splash_size appeared"
splash_pid=$(window_pid "$splash")
sleep 1
shot 01-update-splash

if [ "$update" = 1 ]; then
    for _ in $(seq 1 100); do
        grep -q 'qlm_Orbo.exe?version' "$out/portal.log" 2>/dev/null && break
        sleep 0.1
    done
    sleep 1
    shot 01b-update-download
    # The old launcher downloads the update, swaps the files, starts the new
    # exe detached and ends; the new one shows its own splash.
    wait_for_launcher 30 || fail "the launcher did not end after the update"
    [ "$launcher_code" -eq 0 ] || fail "the old launcher ended with exit code $launcher_code"
    [ -f "${tour}1.0.0.8" ] || fail "the old launcher was not kept as ${tour}1.0.0.8"
    rm -f "$out/exit-code" # from here on, only the new launcher's
    echo "The launcher updated itself to 1.0.0.9 and started the new exe."
    [ -n "$splash_pid" ] || fail "the splash window names no process"
    # The new launcher's splash confirms its start and, as the old one holds
    # the install's update lock until that confirmation, makes no check of its
    # own: it may show for a moment only. Its login window shows it is up.
    wait_window_not_of "$login_size" "$splash_pid" 30 || fail "the new launcher showed no login window"
fi

login=$(wait_window "$login_size" 20) || fail "no login window of $login_size appeared"
sleep 2
shot 02-login
# Where the screenshot shows it, for those who check the pictures.
echo "$(window_origin "$login")$login_size" >"$out/02-login.window"

if [ "${QM_RUN_CLOSE_LOGIN:-0}" = 1 ]; then
    read -r lx ly < <(window_origin "$login")
    # The close button: 1000..1040 by 120..156 on the login picture.
    xdotool mousemove $((lx + $(px 1020))) $((ly + $(px 138))) click 1
    wait_for_launcher 10 || fail "the launcher did not end after the login window's close button"
    [ "$launcher_code" -eq 0 ] || fail "the launcher ended with exit code $launcher_code"
    echo "The login window's close button ended the launcher with exit code 0."
    exit 0
fi

touch "$out/enter"
screen=$(xwininfo -root | sed -n 's/.*-geometry \([0-9]*x[0-9]*\).*/\1/p')
game=$(wait_window "$screen" 20) || fail "the game window did not appear maximised"
sleep 2
shot 03-game

# window_size ID: "WxH" of a window.
window_size() {
    xwininfo -id "$1" | awk '/^ *Width:/ { w = $2 } /^ *Height:/ { h = $2 } END { print w "x" h }'
}
# The restore button sits 65 pixels from the right edge, 3 from the top.
read -r gx gy < <(window_origin "$game")
width=${screen%x*}
xdotool mousemove $((gx + width - $(px 65) + $(px 11))) $((gy + $(px 3) + $(px 11))) click 1
for _ in $(seq 1 50); do
    [ "$(window_size "$game")" != "$screen" ] && break
    sleep 0.1
done
[ "$(window_size "$game")" != "$screen" ] || fail "the restore button left the game window maximised"
# Dragged by the title strip, left of its buttons, the window follows.
read -r gx gy < <(window_origin "$game")
from_x=$((gx + $(px 300)))
from_y=$((gy + $(px 12)))
xdotool mousemove "$from_x" "$from_y" mousedown 1
for step in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $((from_x - 5 * step)) $((from_y + 5 * step))
    sleep 0.05
done
xdotool mouseup 1
sleep 0.3
read -r nx ny < <(window_origin "$game")
[ "$nx" -eq $((gx - 40)) ] && [ "$ny" -eq $((gy + 40)) ] ||
    fail "dragging the title strip moved the game window from ($gx,$gy) to ($nx,$ny), not by (-40,40)"
echo "The restore button restored the game window; its title strip dragged it by (-40,40)."

# The close button sits 35 pixels from the right edge, 3 from the top.
read -r gx gy < <(window_origin "$game")
width=$(window_size "$game")
width=${width%x*}
xdotool mousemove $((gx + width - $(px 35) + $(px 11))) $((gy + $(px 3) + $(px 11))) click 1
box_size="$(px 226)x$(px 104)"
box=$(wait_window "$box_size" 10) || fail "no exit confirmation of $box_size appeared"
sleep 1
shot 04-exit-confirmation

read -r bx by < <(window_origin "$box")
# The confirm button: 30..99 by 64..91 inside the box.
xdotool mousemove $((bx + $(px 65))) $((by + $(px 77))) click 1
if [ "$update" = 1 ]; then
    # The new launcher is no child of this script: its end shows in the exit
    # file and in the end of every Wine process of the prefix.
    for _ in $(seq 1 100); do
        [ -f "$out/exit-code" ] && break
        sleep 0.1
    done
    wait_wine_end 20 || fail "Wine processes were still running after the exit"
else
    wait_for_launcher 10 || fail "the launcher did not end after the exit was confirmed"
    [ "$launcher_code" -eq 0 ] || fail "the launcher ended with exit code $launcher_code"
fi
[ -f "$out/exit-code" ] || fail "the launcher wrote no exit code"
code=$(tr -d '[:space:]' <"$out/exit-code")
[ "$code" = 0 ] || fail "the launcher ended with exit code $code"
if [ "$update" = 1 ]; then
    echo "The new launcher ended with exit code 0. Screenshots saved in $out"
else
    echo "The launcher ended with exit code 0. Screenshots saved in $out"
fi
