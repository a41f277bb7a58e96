#!/usr/bin/env bash
# The README's run command on screens scaled to 150 % and 200 % (the Wine
# prefix's LogPixels at 144 and 192, on a display as large at that scale as
# the 1600x900 one at 100 %): the splash, the login window (round(1194 s) x
# round(685 s)) and the exit box come up at their scaled sizes, and real
# clicks at the scaled places of the game window's restore and close
# buttons, of the exit box's confirm button and of the login window's close
# button do what they do at 100 %; a drag of the scaled title strip moves
# the game window. The screenshots are kept as screenshots/dpi<N>-*.png.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$ROOT/tests/e2e/lib/tour_run.sh"
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
    px() { echo $((($1 * dpi + 48) / 96)); }
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

    run_tour QM_RUN_DPI=$dpi QM_RUN_CLOSE_LOGIN=1
    rc=$?
    check "at $dpi DPI the login window's close button ended the launcher (exit $rc)" \
        '[ $rc -eq 0 ]'
done
[ $fail -eq 0 ] && echo "PASS ($SHOTS/dpi144-*.png, $SHOTS/dpi192-*.png)"
exit $fail
