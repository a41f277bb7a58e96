#!/usr/bin/env bash
# The README's run command on screens scaled to 150 % and 200 % (the Wine
# prefix's LogPixels at 144 and 192, on a display as large at that scale as
# the 1600x900 one at 100 %): the splash, the login window (round(1194 s) x
# round(685 s)) and the exit box come up at their scaled sizes, and real
# clicks at the scaled places of the game window's restore and close
# buttons, of the exit box's confirm button and (at 200 %) of the login window's close
# button do what they do at 100 %; a drag of the scaled title strip moves
# the game window. The screenshots are kept as screenshots/dpi<N>-*.png.
# At 150 % the login page's panel (the game site answering 503) and its
# Retry button are where the scaled skin puts them, and a real click on Retry
# asks for the page at once (dpi144-page-panel.png).
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$ROOT/tests/e2e/lib/tour_run.sh"
source "$ROOT/tests/e2e/lib/scaled_length.sh"
SHOTS="$(dirname "$bin")/screenshots"
mkdir -p "$SHOTS"

# pixel FILE X Y: "r g b" of one pixel of a screenshot.
pixel() {
    convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- | awk -F'[(),]' 'NR == 2 { print $2, $3, $4 }'
}
# key_coloured FILE: how many pixels show the login layer's key colour.
key_coloured() {
    convert "$1" -fill black +opaque '#ff00ff' -fill white -opaque '#ff00ff' -format '%[fx:mean*w*h]' info:
}

for dpi in 144 192; do
    run_tour QM_RUN_DPI=$dpi
    rc=$?
    check "at $dpi DPI the run command succeeded (exit $rc)" '[ $rc -eq 0 ]'
    check_whole_flow
    for shot in "$out"/run/0*.png; do
        cp "$shot" "$SHOTS/dpi$dpi-$(basename "$shot")"
    done
    # The login window's transparent corner shows the black desktop, with no halo, and the layer's key colour shows nowhere.
    login="$out/run/02-login.png"
    read -r lx ly _ <"$out/run/02-login.window" || lx=""
    check "at $dpi DPI the login window's place was recorded" '[ -n "$lx" ]'
    check "at $dpi DPI the login window's transparent corner shows the desktop" \
        '[ "$(pixel "$login" $((lx + $(px 2))) $((ly + $(px 2))))" = "$(pixel "$login" 0 0)" ]'
    check "at $dpi DPI the login window's frame below the page covers the desktop" \
        '[ "$(pixel "$login" $((lx + $(px 600))) $((ly + $(px 650))))" != "$(pixel "$login" 0 0)" ]'
    check "at $dpi DPI no pixel shows the layer's key colour" '[ "$(key_coloured "$login")" = 0 ]'

    # The login window's close button, once: at 150 % the panel's Retry below
    # is the login window's scaled click.
    [ "$dpi" = 192 ] || continue
    run_tour QM_RUN_DPI=$dpi QM_RUN_CLOSE_LOGIN=1
    rc=$?
    check "at $dpi DPI the login window's close button ended the launcher (exit $rc)" \
        '[ $rc -eq 0 ]'
done
# The page panel at 150 %, with the launcher exe the test was given.
panel_at_150() {
    local dpi=144 launcher="${1:-$bin/Quillmoor.exe}"
    # "r g b" of one pixel of a picture or screenshot.
    rgb_at() {
        local f="%[fx:int(255*p{$2,$3}"
        convert "$1" -format "$f.r+.5)] $f.g+.5)] $f.b+.5)]" info:
    }
    export QM_WINE_ROOT="$out/wine-panel" WINEPREFIX="$out/wine-panel/prefix" QM_XVFB_SIZE="$(px 1600)x$(px 900)"
    mkdir -p "$QM_WINE_ROOT/home" && cp -a "$prefix" "$WINEPREFIX" || return 1
    qm_wine_set_dpi $dpi || return 1
    unset DISPLAY
    qm_start_xvfb || return 1
    xcompmgr >/dev/null 2>&1 &
    local compositor=$!
    work="$out" bin="$(dirname "$launcher")"
    source "$ROOT/tests/e2e/lib/page_panel.sh"
    start_portal 503 || return 1
    qm_wine 120 "$launcher" >/dev/null 2>&1 &
    local launcher_pid=$!
    check "at 150 % the panel says the server answered 503" \
        'wait_panel "^shown .*HTTP 503.* \| Trying again in [0-9]+ s$" 40'
    read -r lx ly < <(window_origin "$(px 1194)x$(px 685)")
    # The page's place, the Retry face's size and the block's gaps, scaled.
    local pl=$(px 385) pt=$(px 232) bw=$(px 112) bh=$(px 32)
    local pw=$(($(px 1035) - pl)) ph=$(($(px 562) - pt))
    local above=$(($(px 24) + $(px 6) + $(px 20) + $(px 18)))
    local bx=$((lx + pl + (pw - bw) / 2)) by=$((ly + pt + (ph - above - bh) / 2 + above))
    xdotool mousemove 5 5
    sleep 1
    local shot="$SHOTS/dpi144-page-panel.png"
    import -window root "$shot"
    check "at 150 % the panel's flat middle fills the page's place" \
        '[ "$(rgb_at "$shot" $((lx + pl + $(px 40))) $((ly + pt + $(px 60))))" = "16 30 56" ]'
    local face
    face=$(rgb_at "$ROOT/res/png/202.png" 56 6)
    check "at 150 % the Retry face is drawn where the scaled layout puts it ($face)" \
        '[ "$(rgb_at "$shot" $((bx + $(px 56))) $((by + $(px 6))))" = "$face" ]'
    local before
    for _ in $(seq 1 40); do [ "$(countdown)" -ge 2 ] 2>/dev/null && break; sleep 0.25; done
    before=$(all_logins)
    xdotool mousemove $((bx + bw / 2)) $((by + bh / 2)) click 1
    check "at 150 % a click on Retry asks for the login page at once" \
        'for _ in $(seq 1 15); do [ "$(all_logins)" -gt "$before" ] && break; sleep 0.1; done; [ "$(all_logins)" -gt "$before" ]'
    kill "$launcher_pid" 2>/dev/null
    qm_wine_stop
    stop_portal
    kill "$compositor" 2>/dev/null
    qm_stop_xvfb
}
panel_at_150 "${1:-}"
[ $fail -eq 0 ] && echo "PASS ($SHOTS/dpi144-*.png, $SHOTS/dpi192-*.png)"
exit $fail
