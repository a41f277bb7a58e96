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
# In the 503 row a real click on Retry asks for the page at once.
# Uses the demo portal's fixed ports: run under flock /tmp/qm-fixed-ports.lock.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$ROOT/tests/e2e/lib/compositor_screen.sh" "${1:-}" Quillmoor.exe
source "$ROOT/tests/e2e/lib/page_panel.sh"
launcher=$program
launcher_pid=""
stop_test_programs() {
    [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null
    stop_portal
}

# Cause | the panel's first line. A row for a certificate for another name
# joins once the demo portal serves the game site over HTTPS.
TABLE="closed|Cannot reach the game's servers.
no-answer|Cannot reach the game's servers.
503|The game's server answered with an error \\(HTTP 503\\)."

status=0
fail() {
    echo "FAIL: $kind: $*"
    status=1
}

# The panel's place on the login picture at 100 %: the page's, 650 x 330 at
# (385,232); its flat middle colour; the Retry face, centred, 112 x 32.
panel_fill="16 30 56"
retry_x=$((385 + (650 - 112) / 2 + 56))
retry_y=$((232 + (330 - 100) / 2 + 24 + 6 + 20 + 18 + 16))

while IFS='|' read -r kind cause; do
    start_portal "$kind" || exit 1
    qm_wine 120 "$launcher" >"$work/launcher-$kind.log" 2>&1 &
    launcher_pid=$!
    if ! wait_panel "^shown $cause \| Trying again in [0-9]+ s$" 40; then
        fail "no panel saying '$cause' (it says: $(panel_text))"
        stop_test_programs
        launcher_pid=""
        continue
    fi
    read -r lx ly < <(login_origin 1194x685)
    shot="$SHOTS/page-failure-$kind.png"
    import -window root "$shot"
    failures=()
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

    # The site comes back while the panel counts down from $left seconds.
    left=""
    for _ in $(seq 1 40); do
        left=$(countdown)
        [ -n "$left" ] && break
        sleep 0.25
    done
    rm -f "$down_file"
    back=$(date +%s.%N)
    served=""
    while [ "$(echo "$(date +%s.%N) - $back < ${left:-0} + 1" | bc)" = 1 ]; do
        [ "$(served_logins)" -gt 0 ] && { served=$(date +%s.%N); break; }
        sleep 0.1
    done
    if [ -z "$served" ]; then
        fail "the login page was not asked for again within the ${left:-?} s the panel showed"
    else
        echo "$kind: back with ${left} s on the countdown, served after $(echo "$served - $back" | bc | cut -c1-4) s"
    fi
    wait_panel "^hidden" 10 || fail "the panel stayed after the page came ($(panel_text))"
    sleep 0.5
    import -window root "$SHOTS/page-failure-$kind-back.png"

    # The login window's own close button still ends the launcher.
    xdotool mousemove $((lx + 1020)) $((ly + 138)) click 1
    code=""
    for _ in $(seq 1 100); do
        kill -0 "$launcher_pid" 2>/dev/null || { wait "$launcher_pid"; code=$?; break; }
        sleep 0.1
    done
    [ "$code" = 0 ] || fail "the close button ended the launcher with '${code:-still running}', not 0"
    stop_test_programs
    launcher_pid=""
done <<<"$TABLE"

[ $status -eq 0 ] && echo "PASS ($SHOTS/page-failure-*.png)"
exit $status
