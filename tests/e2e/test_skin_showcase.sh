#!/usr/bin/env bash
# The skin as people see it. The showcase driver (built beside the launcher,
# whose exe is $1) shows the login picture, the update splash and the image
# buttons on a display with a compositor, over a checkerboard backdrop. The
# screenshots are saved to <build>/screenshots/skin-*.png, and sampled pixels
# are checked against what the pictures and the blending rules predict.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$ROOT/tests/e2e/lib/compositor_screen.sh" "${1:-}" skin_showcase.exe
showcase=$program

PNG="$ROOT/res/png"
showcase_pid=""
stop_test_programs() { [ -n "$showcase_pid" ] && kill "$showcase_pid" 2>/dev/null; }

# The backdrop's grey at screen position (x, y): 16-pixel squares.
backdrop() { echo $(((($1 / 16 + $2 / 16) % 2) ? 180 : 236)); }

failures=()
shot=""

# blended LABEL SX SY PICTURE PX PY premultiplied|straight: the picture's
# pixel (PX,PY) shown with per-pixel alpha at screen (SX,SY) over the
# backdrop: colour (premultiplied first when asked) + backdrop * (1 - alpha).
blended() {
    local label=$1 sx=$2 sy=$3 pic=$4 px=$5 py=$6 mode=$7
    local -a c=($(rgba "$PNG/$pic.png" "$px" "$py"))
    local bg a=${c[3]} want="" i v
    bg=$(backdrop "$sx" "$sy")
    for i in 0 1 2; do
        v=${c[i]}
        [ "$mode" = premultiplied ] && v=$((v * a / 255))
        v=$((v + bg * (255 - a) / 255))
        [ $v -gt 255 ] && v=255
        want+="$v "
    done
    expect_near "$label" "$want" "$(rgba "$shot" "$sx" "$sy")"
}

# face LABEL SX SY PICTURE PX PY: a button face's pixel drawn through its
# mask: premultiplied and opaque.
face() {
    local label=$1 sx=$2 sy=$3 pic=$4 px=$5 py=$6
    local -a c=($(rgba "$PNG/$pic.png" "$px" "$py"))
    local want="$((c[0] * c[3] / 255)) $((c[1] * c[3] / 255)) $((c[2] * c[3] / 255))"
    expect_near "$label" "$want" "$(rgba "$shot" "$sx" "$sy")" 2
}

# opaque LABEL SX SY PICTURE PX PY: an opaque picture pixel, unchanged.
opaque() {
    local label=$1 sx=$2 sy=$3 pic=$4 px=$5 py=$6
    local -a c=($(rgba "$PNG/$pic.png" "$px" "$py"))
    if [ "${c[3]}" != 255 ]; then
        failures+=("$label: picture $pic ($px,$py) is not opaque; choose another sample")
        return
    fi
    expect_near "$label" "${c[0]} ${c[1]} ${c[2]}" "$(rgba "$shot" "$sx" "$sy")" 2
}

# Login picture at (100,60); its buttons on the colour-keyed layer above it.
check_login() {
    blended "login: transparent corner shows the backdrop" 102 62 140 2 2 premultiplied
    blended "login: transparent right edge" 1292 740 140 1192 680 premultiplied
    opaque "login: inside the frame, through the keyed layer" 700 400 140 600 340
    opaque "login: the moon" 310 210 140 210 150
    blended "login: half-transparent glow" 307 96 140 207 36 premultiplied
    blended "login: faint shadow" 700 732 140 600 672 premultiplied
    face "login: close button" 1120 198 145 20 18
    face "login: minimise button" 1070 198 148 20 18
    opaque "login: close button's transparent corner" 1100 180 140 1000 120
    face "login: forum button" 1046 268 181 71 18
}

# Splash at (594,358), shown without premultiplication.
check_splash() {
    blended "splash: transparent corner" 594 358 109 0 0 straight
    opaque "splash: the scroll's text area" 799 450 109 205 92
    blended "splash: half-transparent roller, colour not premultiplied" 622 361 109 28 3 straight
}

# Login buttons: strips at (40, 40 + 150 i), showing the login picture from
# (440,110); close button at (560,10) in the strip. Title bars at
# (700, 40 + 80 i), 860 wide; exit boxes at (700 + 280 i, 240).
check_buttons() {
    local i
    local -a close=(145 144 146) state=(normal hover pressed)
    for i in 0 1 2; do
        face "buttons: login close ${state[i]}" 620 $((40 + 150 * i + 28)) "${close[i]}" 20 18
        opaque "buttons: login close ${state[i]}, transparent corner" 600 $((40 + 150 * i + 10)) \
            140 1000 120
    done
    local -a titleClose=(166 165) confirm=(171 170)
    for i in 0 1; do
        face "buttons: title close ${state[i]}" 1536 $((40 + 80 * i + 14)) "${titleClose[i]}" 11 11
        face "buttons: exit confirm ${state[i]}" $((700 + 280 * i + 65)) 318 "${confirm[i]}" 35 14
    done
}

# Runs the showcase on one scene, screenshots it until the checks pass or
# time runs out, then lets the showcase end.
run_scene() {
    local scene=$1 check=$2
    local ready="$work/ready-$scene" done="$work/done-$scene"
    shot="$SHOTS/skin-$scene.png"
    rm -f "$shot"
    qm_wine 120 "$showcase" "$scene" "$(winpath "$ready")" "$(winpath "$done")" \
        >"$work/$scene.log" 2>&1 &
    showcase_pid=$!
    local i
    for i in $(seq 1 600); do
        [ -f "$ready" ] || ! kill -0 "$showcase_pid" 2>/dev/null && break
        sleep 0.1
    done
    if [ ! -f "$ready" ]; then
        wait "$showcase_pid"
        echo "FAIL: $scene: the showcase did not get ready (exit code $?)"
        showcase_pid=""
        return 1
    fi
    # The compositor shows the windows a moment after they are drawn.
    for i in $(seq 1 40); do
        failures=()
        import -window root "$shot" 2>/dev/null && $check
        [ ${#failures[@]} -eq 0 ] && break
        sleep 0.25
    done
    touch "$done"
    wait "$showcase_pid"
    local rc=$?
    showcase_pid=""
    if [ $rc -ne 0 ]; then
        failures+=("the showcase ended with exit code $rc")
    fi
    if [ ${#failures[@]} -ne 0 ]; then
        printf 'FAIL: %s\n' "${failures[@]}"
        return 1
    fi
    echo "ok: $scene ($shot)"
}

status=0
run_scene login check_login || status=1
run_scene splash check_splash || status=1
run_scene buttons check_buttons || status=1
[ $status -eq 0 ] && echo "PASS"
exit $status
