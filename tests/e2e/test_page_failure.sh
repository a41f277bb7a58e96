#!/usr/bin/env bash
# The login page that cannot be reached, with the real launcher exe ($1)
# against the demo portal, one row of the table per cause: the game site is
# down from the start, then back. For each row, on a display with a
# compositor:
#   - the login window shows the panel in the page's place, with the cause
#     (screenshots/page-failure-<cause>.png) and a countdown;
#   - once the site is back, the login page is asked for again before the
#     countdown the panel showed has run out, and the panel is gone
#     (page-failure-<cause>-back.png);
#   - the login window's close button still ends the launcher with 0.
# In the 503 row a real click on Retry asks for the page at once. In the
# wrong-name row (the game site shows a certificate for another name) Wine's
# browser asks the player first, on every try, in its own "Security Warning"
# dialog: it is answered No for real each time, and no request reaches the
# game site over that certificate.
# Then the game window (page-failure-game.png), with the tour driver: the
# site serves the login page and goes down before the game is entered; the
# window opens maximised with the panel, F9 hides and shows it, the entry
# address is asked for again within the countdown, and the close button and
# the exit box end the driver with 0.
# Uses the demo portal's fixed ports: run under flock /tmp/qm-fixed-ports.lock.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$ROOT/tests/e2e/lib/compositor_screen.sh" "${1:-}" Quillmoor.exe
source "$ROOT/tests/e2e/lib/page_panel.sh"
launcher=$program
launcher_pid=""
answerer_pid=""
stop_test_programs() {
    [ -n "$answerer_pid" ] && kill "$answerer_pid" 2>/dev/null
    [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null
    stop_portal
    answerer_pid="" launcher_pid=""
}

# Cause | the panel's first line.
TABLE="closed|Cannot reach the game's servers.
no-answer|Cannot reach the game's servers.
503|The game's server answered with an error \\(HTTP 503\\).
wrong-name|The secure connection to the game's server failed\\."

status=0
fail() {
    echo "FAIL: $kind: $*"
    status=1
}

# expect_back PATH: the site comes back while the panel counts down from at
# least 3 s (so no try is under way); PATH is asked for again before the
# countdown has run out, and the panel goes.
expect_back() {
    local left="" back served=""
    for _ in $(seq 1 60); do
        left=$(countdown)
        [ "${left:-0}" -ge 3 ] && break
        sleep 0.25
    done
    rm -f "$down_file"
    back=$(date +%s.%N)
    while [ "$(echo "$(date +%s.%N) - $back < ${left:-0} + 1" | bc)" = 1 ]; do
        [ "$(served_logins "$1")" -gt 0 ] && { served=$(date +%s.%N); break; }
        sleep 0.1
    done
    if [ -z "$served" ]; then
        fail "$1 was not asked for again within the ${left:-?} s the panel showed"
    else
        echo "$kind: back with ${left} s on the countdown, served after $(echo "$served - $back" | bc | cut -c1-4) s"
    fi
    wait_panel "^hidden" 10 || fail "the panel stayed after the page came ($(panel_text))"
}

# The panel's place on the login picture at 100 %: the page's, 650 x 330 at
# (385,232); its flat middle colour; the Retry face, centred, 112 x 32.
panel_fill="16 30 56"
retry_x=$((385 + (650 - 112) / 2 + 56))
retry_y=$((232 + (330 - 100) / 2 + 24 + 6 + 20 + 18 + 16))
retry_face=$(rgba "$ROOT/res/png/202.png" 56 6 | cut -d' ' -f1-3)
retry_pixel() { rgba "$1" $((lx + retry_x)) $((ly + retry_y - 10)) | cut -d' ' -f1-3; }

while IFS='|' read -r kind cause; do
    start_portal "$kind" || exit 1
    qm_wine 120 "$launcher" >"$work/launcher-$kind.log" 2>&1 &
    launcher_pid=$!
    if [ "$kind" = wrong-name ]; then
        answer_security_warnings "$work/answered" &
        answerer_pid=$!
    fi
    if ! wait_panel "^shown $cause \| Trying again in [0-9]+ s$" 40; then
        fail "no panel saying '$cause' (it says: $(panel_text))"
        stop_test_programs
        continue
    fi
    # The login picture and the Retry face can come a moment after the panel.
    shot="$SHOTS/page-failure-$kind.png"
    for _ in $(seq 1 40); do
        read -r lx ly < <(window_origin 1194x685) && import -window root "$shot" &&
            [ "$(rgba "$shot" $((lx + 600)) $((ly + 650)))" != "$(rgba "$shot" 0 0)" ] &&
            [ "$(retry_pixel "$shot")" = "$retry_face" ] && break
        sleep 0.25
    done
    failures=()
    [ "$(rgba "$shot" $((lx + 600)) $((ly + 650)))" != "$(rgba "$shot" 0 0)" ] ||
        failures+=("no login picture around the panel")
    expect_near "the Retry face" "$retry_face" "$(retry_pixel "$shot")"
    expect_near "the panel's middle in the page's place" "$panel_fill" \
        "$(rgba "$shot" $((lx + 385 + 40)) $((ly + 232 + 60)))"
    expect_near "the panel's middle by the page's bottom right corner" "$panel_fill" \
        "$(rgba "$shot" $((lx + 385 + 610)) $((ly + 232 + 300)))"
    [ ${#failures[@]} -eq 0 ] || fail "${failures[@]}"

    if [ "$kind" = 503 ]; then
        # Retry, clicked for real while the countdown has time to go.
        for _ in $(seq 1 40); do [ "$(countdown)" -ge 2 ] 2>/dev/null && break; sleep 0.25; done
        before=$(all_logins)
        xdotool mousemove $((lx + retry_x)) $((ly + retry_y)) click 1
        asked=""
        for _ in $(seq 1 15); do
            [ "$(all_logins)" -gt "$before" ] && { asked=1; break; }
            sleep 0.1
        done
        [ -n "$asked" ] || fail "a click on Retry did not ask for the login page within 1.5 s"
        wait_panel "Trying again in [0-9]+ s$" 10 || fail "after Retry failed, no new countdown"
    fi

    expect_back /client
    sleep 0.5
    import -window root "$SHOTS/page-failure-$kind-back.png"
    if [ "$kind" = wrong-name ]; then
        # The log has a line for each connection shown the other certificate.
        shown=$(grep -c '"connection": "outage certificate"' "$portal_log")
        past=$(grep '"outage": "wrong-name"' "$portal_log" | grep -vc '"requests": 0}')
        [ "$shown" -gt 0 ] || fail "no connection was shown the other name's certificate"
        [ "$past" = 0 ] || fail "$past lines show requests over the other name's certificate"
        echo "$kind: $(wc -l <"$work/answered") Security Warning dialogs answered No;" \
            "$shown connections shown the other certificate, $past requests over them"
    fi

    # The login window's own close button still ends the launcher.
    xdotool mousemove $((lx + 1020)) $((ly + 138)) click 1
    code=""
    for _ in $(seq 1 100); do
        kill -0 "$launcher_pid" 2>/dev/null || { wait "$launcher_pid"; code=$?; break; }
        sleep 0.1
    done
    [ "$code" = 0 ] || fail "the close button ended the launcher with '${code:-still running}', not 0"
    stop_test_programs
done <<<"$TABLE"

# The game window, with the tour driver's player entering the game. Under
# Wine a loaded page cannot be refreshed (Refresh throws, and no page is
# rendered), so the site going down after entry is shown by the entry's own
# navigation failing: the site serves the login page and answers 503 from
# just before the entry on.
kind=game
entry=/login.php?user=moonwalker
start_portal 503 || exit 1
rm -f "$down_file"
QM_TOUR_ENTER_FILE="$(winpath "$work/enter")" QM_TOUR_EXIT_FILE="$(winpath "$work/exit-code")" \
    qm_wine 120 "$bin/quillmoor_tour.exe" >"$work/tour.log" 2>&1 &
launcher_pid=$!
for _ in $(seq 1 200); do [ "$(served_logins)" -gt 0 ] && break; sleep 0.2; done
touch "$down_file" "$work/enter"
screen=$(xwininfo -root | sed -n 's/.*-geometry \([0-9]*x[0-9]*\).*/\1/p')
wait_panel "^shown The game's server answered with an error \(HTTP 503\)\. \| Trying again in [0-9]+ s$" 40 ||
    fail "no panel in the game window (it says: $(panel_text))"
read -r gx gy < <(window_origin "$screen")
[ -n "$gx" ] || fail "the game window is not maximised to $screen"
shot="$SHOTS/page-failure-game.png"
import -window root "$shot"
failures=()
expect_near "the panel's middle in the game page's place" "$panel_fill" \
    "$(rgba "$shot" $((${gx:-0} + 200)) $((${gy:-0} + 300)))"
[ ${#failures[@]} -eq 0 ] || fail "${failures[@]}"
# F9 hides the game window and shows it again while the panel is up.
game_shown() { [ -n "$(xdotool search --onlyvisible --name '^Quillmoor$' 2>/dev/null)" ]; }
hid="" showed=""
xdotool key F9
for _ in $(seq 1 30); do game_shown || { hid=1; break; }; sleep 0.1; done
xdotool key F9
for _ in $(seq 1 30); do game_shown && { showed=1; break; }; sleep 0.1; done
[ -n "$hid" ] && [ -n "$showed" ] ||
    fail "F9 twice: the game window hid: ${hid:-no}, showed again: ${showed:-no}"
expect_back "$entry"
# The close button, 35 pixels from the right edge, and the exit box's confirm.
xdotool mousemove $((${gx:-0} + ${screen%x*} - 24)) $((${gy:-0} + 14)) click 1
for _ in $(seq 1 50); do read -r bx by < <(window_origin 226x104) && break; sleep 0.2; done
[ -n "${bx:-}" ] || fail "no exit box after the game window's close button"
xdotool mousemove $((${bx:-0} + 65)) $((${by:-0} + 77)) click 1
for _ in $(seq 1 100); do [ -s "$work/exit-code" ] && break; sleep 0.1; done
[ "$(tr -d '[:space:]' <"$work/exit-code" 2>/dev/null)" = 0 ] ||
    fail "the tour driver wrote exit code '$(cat "$work/exit-code" 2>/dev/null)', not 0"
stop_test_programs

[ $status -eq 0 ] && echo "PASS ($SHOTS/page-failure-*.png)"
exit $status
