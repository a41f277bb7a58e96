#!/usr/bin/env bash
# The login window as a player sees and handles it, on a display with a
# compositor. The login driver (built beside the launcher, whose exe is $1)
# runs the start-up as far as the login window. Then, with real X input:
#   - the picture, its buttons and the page browser are checked on screen
#     (pixels predicted from the pictures and the blending rules) and
#     saved to <build>/screenshots/login-window.png;
#   - Enter and Escape leave both windows up;
#   - dragging by a point where the picture shows through the layer moves
#     both windows together (login-window-dragged.png);
#   - a click on the close button ends the process with exit code 0.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$ROOT/tests/e2e/lib/compositor_screen.sh" "${1:-}" login_driver.exe
driver=$program

PNG="$ROOT/res/png"
driver_pid=""
stop_test_programs() { [ -n "$driver_pid" ] && kill "$driver_pid" 2>/dev/null; }

failures=()
shot=""
lx=0
ly=0
bg="0 0 0"

# blended LABEL PX PY: pixel (PX,PY) of the login picture, premultiplied,
# over the screen's background: colour + background * (1 - alpha).
blended() {
    local -a c=($(rgba "$PNG/140.png" "$2" "$3")) b=($bg)
    local a=${c[3]} want="" i v
    for i in 0 1 2; do
        v=$((c[i] * a / 255 + b[i] * (255 - a) / 255))
        want+="$v "
    done
    expect_near "$1" "$want" "$(rgba "$shot" $((lx + $2)) $((ly + $3)))"
}

# face LABEL X Y PICTURE PX PY: a button face's pixel drawn through its
# mask at (X,Y) of the login window: premultiplied and opaque.
face() {
    local -a c=($(rgba "$PNG/$4.png" "$5" "$6"))
    local want="$((c[0] * c[3] / 255)) $((c[1] * c[3] / 255)) $((c[2] * c[3] / 255))"
    expect_near "$1" "$want" "$(rgba "$shot" $((lx + $2)) $((ly + $3)))" 2
}

# not_picture LABEL PX PY: something covers the picture there.
not_picture() {
    local -a c=($(rgba "$PNG/140.png" "$2" "$3"))
    local got
    got=$(rgba "$shot" $((lx + $2)) $((ly + $3)))
    local -a g=($got)
    if [ "${c[0]} ${c[1]} ${c[2]}" = "${g[0]} ${g[1]} ${g[2]}" ]; then
        failures+=("$1: the picture shows at ($2,$3), nothing covers it")
    fi
}

check_login() {
    bg=$(rgba "$shot" 2 2)
    blended "transparent corner shows what is behind" 2 2
    blended "transparent far corner" 1192 680
    blended "half-transparent glow of the moon" 207 36
    blended "the moon, seen through the layer's key colour" 210 150
    blended "the hills left of the page" 300 500
    blended "the frame below the page" 600 650
    face "minimise button" 970 138 148 20 18
    face "close button" 1020 138 145 20 18
    face "official-site button" 526 208 185 71 18
    face "forum button" 946 208 181 71 18
    not_picture "page browser's top left" 390 240
    not_picture "page browser's middle" 700 400
    not_picture "page browser's bottom right" 1030 556
}

# Screenshots until the checks pass or time runs out (the compositor shows
# windows a moment after they are drawn).
shoot() {
    shot="$SHOTS/$1.png"
    local i
    for i in $(seq 1 40); do
        failures=()
        import -window root "$shot" 2>/dev/null && check_login
        [ ${#failures[@]} -eq 0 ] && return 0
        sleep 0.25
    done
    printf 'FAIL: %s: %s\n' "$1" "${failures[@]}"
    return 1
}

# "x y" of the login window (the top-level X window named Quillmoor of the
# picture's size) and of its layer (the nameless one of the same size).
login_place() {
    xwininfo -root -children | grep '"Quillmoor"' | grep -o '1194x685+[-0-9]*+[-0-9]*' |
        head -n1 | sed 's/1194x685+\([-0-9]*\)+\([-0-9]*\)/\1 \2/'
}
layer_place() {
    xwininfo -root -children | grep '(has no name)' | grep 'login_driver' |
        grep -o '1194x685+[-0-9]*+[-0-9]*' | head -n1 |
        sed 's/1194x685+\([-0-9]*\)+\([-0-9]*\)/\1 \2/'
}

status=0
ready="$work/ready"
qm_wine 120 "$driver" "$(winpath "$ready")" >"$work/driver.log" 2>&1 &
driver_pid=$!
for i in $(seq 1 600); do
    [ -f "$ready" ] || ! kill -0 "$driver_pid" 2>/dev/null && break
    sleep 0.1
done
if [ ! -f "$ready" ]; then
    wait "$driver_pid"
    echo "FAIL: the login window did not come up (exit code $?)"
    driver_pid=""
    exit 1
fi

read -r lx ly < <(login_place)
if [ -z "$lx" ]; then
    echo "FAIL: no login window on the display"
    exit 1
fi
shoot login-window || status=1
echo "login window at ($lx,$ly), layer at ($(layer_place | tr ' ' ','))"
[ "$(layer_place)" = "$lx $ly" ] || {
    echo "FAIL: the layer is not on the login window"
    status=1
}

# Enter and Escape reach the focused window (the page in the layer).
xdotool key Return Escape Return
# Drag by the hills left of the page, where the picture shows through the
# layer's key colour.
from_x=$((lx + 300))
from_y=$((ly + 500))
xdotool mousemove "$from_x" "$from_y" mousedown 1
for step in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $((from_x + 10 * step)) $((from_y + 5 * step))
    sleep 0.05
done
xdotool mouseup 1
sleep 0.3
old_x=$lx
old_y=$ly
read -r lx ly < <(login_place)
if [ -z "$lx" ]; then
    echo "FAIL: the login window is gone after Enter, Escape and a drag"
    status=1
else
    if [ "$lx" -ne $((old_x + 80)) ] || [ "$ly" -ne $((old_y + 40)) ]; then
        echo "FAIL: dragging moved the login window from ($old_x,$old_y) to ($lx,$ly), not by (80,40)"
        status=1
    fi
    [ "$(layer_place)" = "$lx $ly" ] || {
        echo "FAIL: the layer ($(layer_place)) did not follow the login window ($lx $ly)"
        status=1
    }
    shoot login-window-dragged || status=1
fi

# The close button ends the launcher.
xdotool mousemove $((lx + 1020)) $((ly + 138)) click 1
code=""
for i in $(seq 1 300); do
    if ! kill -0 "$driver_pid" 2>/dev/null; then
        wait "$driver_pid"
        code=$?
        break
    fi
    sleep 0.1
done
driver_pid_ended=$driver_pid
driver_pid=""
if [ "$code" != 0 ]; then
    echo "FAIL: after the close button the process ended with '${code:-still running}', not 0"
    kill "$driver_pid_ended" 2>/dev/null
    status=1
fi

[ $status -eq 0 ] && echo "PASS ($SHOTS/login-window.png, $SHOTS/login-window-dragged.png)"
exit $status
