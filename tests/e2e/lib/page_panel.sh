# Sourced by the end-to-end tests of the page panel (after
# compositor_screen.sh or tour_run.sh, with ROOT, work, bin and the Wine
# harness set): the demo portal with its game site down, and what the
# launcher's panel says. The demo portal's fixed ports 18701-18704 are the
# launcher's compiled-in hosts: run these tests under
# `flock /tmp/qm-fixed-ports.lock`. A launcher built with other hosts on
# 127.0.0.1 runs against the portal on its ports: QM_PORTAL_PORTS=U,G,P,S.
portal_pid=""
portal_log=""
down_file=""

# start_portal KIND: the demo portal, over TLS as the launcher's hosts are,
# its game site down as KIND (closed, no-answer, 503, or wrong-name: a
# certificate for another name) until the file $down_file goes.
start_portal() {
    local ready="$work/portal-$1.ready"
    portal_log="$work/portal-$1.log"
    down_file="$work/game-down-$1"
    touch "$down_file"
    rm -f "$ready" "$portal_log"
    python3 "$ROOT/tools/demo-portal/demo_portal.py" --log "$portal_log" --ready-file "$ready" \
        --max-seconds 300 --ports "${QM_PORTAL_PORTS:-18701,18702,18703,18704}" \
        --tls-cert "$QM_TLS_DIR/localhost.pem" --game-outage "$1" --game-outage-file "$down_file" \
        --game-outage-cert "$QM_TLS_DIR/other-name.pem" >/dev/null 2>&1 &
    portal_pid=$!
    for _ in $(seq 1 100); do [ -f "$ready" ] && return 0; sleep 0.1; done
    echo "FAIL: the demo portal did not start (ports 18701-18704 busy?)"
    return 1
}
stop_portal() {
    [ -n "$portal_pid" ] && kill "$portal_pid" 2>/dev/null && wait "$portal_pid" 2>/dev/null
    portal_pid=""
}

# panel_text: "shown CAUSE | COUNTDOWN" (or "hidden ...") of the page panel;
# of the one shown when the login window's and the game window's are there.
panel_text() {
    qm_wine 20 "$bin/window_text.exe" QmPagePanel 2>/dev/null | tr -d '\r' | sort -r | head -n1
}
# wait_panel PATTERN SECONDS: until the panel's text matches (grep -E).
wait_panel() {
    local i
    for i in $(seq 1 $(($2 * 4))); do
        panel_text | grep -qE "$1" && return 0
        sleep 0.25
    done
    return 1
}
# countdown: the seconds the panel's second line counts down from now.
countdown() {
    panel_text | sed -n 's/.*Trying again in \([0-9]*\) s$/\1/p'
}
# served_logins [PATH]: how many times the game site answered the login page
# (or PATH) outside an outage.
served_logins() {
    grep "\"path\": \"${1:-/client}\"" "$portal_log" 2>/dev/null | grep -vc '"outage"'
}
all_logins() {
    grep -c '"path": "/client"' "$portal_log" 2>/dev/null
}
# origin_of ID: "x y" of a window that is shown; fails for one that is not.
origin_of() {
    xwininfo -id "$1" 2>/dev/null | awk '/IsViewable/ { v = 1 } /Absolute upper-left X/ { x = $4 }
        /Absolute upper-left Y/ { y = $4 } END { if (v) print x, y; exit !v }'
}
# window_origin WxH: "x y" of the launcher's window of that size that is shown.
window_origin() {
    local id
    for id in $(xwininfo -root -children | awk -v g=" $1+" 'index($0, g) { print $1 }'); do
        origin_of "$id" && return 0
    done
    return 1
}

# answer_security_warnings FILE: until killed, clicks "No" in each "Security
# Warning" dialog, with which Wine's browser asks the player about a
# certificate that does not hold, on every try; one line in FILE for each.
# The first is photographed (page-failure-wrong-name-warning.png).
answer_security_warnings() {
    local id x y
    while sleep 0.2; do
        for id in $(xdotool search --name '^Security Warning$' 2>/dev/null); do
            read -r x y < <(origin_of "$id") || continue
            [ -s "$1" ] || { sleep 1; import -window root "$SHOTS/page-failure-wrong-name-warning.png"; }
            # "No": 177..275 by 130..151 in the 444x165 dialog at 100 %.
            xdotool mousemove $((x + 226)) $((y + 140)) click 1
            for _ in $(seq 1 20); do
                origin_of "$id" >/dev/null || { date +%s.%N >>"$1"; break; }
                sleep 0.1
            done
        done
    done
}
