# Sourced by the tour's tests (ROOT set, the launcher exe of the build under
# test as $1): runs the README's run command for that build's flavour on a
# private display with a private copy of the prepared Wine prefix (the run
# command ends every Wine process of its prefix, and the other tests' shared
# wineserver must live on), then offers checks over what it left: $out/run
# holds the screenshots, portal.log, app/ and exit-code; $bin is the build's
# program folder.
if [ -z "${1:-}" ] || [ ! -f "$1" ]; then
    echo "usage: $0 path/to/Quillmoor.exe" >&2
    exit 2
fi
bin="$(cd "$(dirname "$1")" && pwd)"
case "$(file -b "$1")" in
    PE32+*) export QM_RUN_ARCH=64 ;;
    *) export QM_RUN_ARCH=32 ;;
esac
source "$ROOT/scripts/wine-env.sh"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mkdir -p "$out/wine"
cp -a "$QM_WINE_ROOT/prefix" "$out/wine/prefix" || exit 1
export QM_WINE_ROOT="$out/wine"
prefix="$QM_WINE_ROOT/prefix"
log="$out/run/portal.log"
fail=0

# run_tour [VAR=value...]: the run command with the extra environment given.
run_tour() {
    env -u DISPLAY QM_RUN_NO_BUILD=1 QM_RUN_OUT="$out/run" "$@" timeout 240 "$ROOT/scripts/run.sh"
}

# check DESCRIPTION CONDITION: evaluates the condition, notes a failure.
check() {
    if ! eval "$2"; then
        echo "FAIL: $1"
        fail=1
    fi
}

# "pid name" of every process whose environment holds the line $1: the run
# command's own (Xvfb, compositor, servers, Wine) carry QM_RUN_OUT, Wine's
# carry WINEPREFIX. Other tests' processes running meanwhile carry neither.
processes_with() {
    local environ pid
    for environ in /proc/[0-9]*/environ; do
        if tr '\0' '\n' 2>/dev/null <"$environ" | grep -qxF "$1"; then
            pid=${environ#/proc/}
            pid=${pid%/environ}
            echo "$pid $(cat "/proc/$pid/comm" 2>/dev/null)"
        fi
    done
}
left_over() {
    processes_with "QM_RUN_OUT=$out/run"
    processes_with "WINEPREFIX=$prefix"
}

# The checks every tour ends with: four screenshots, the login page and the
# game page requested as the flow goes, exit code 0 recorded by the
# launcher, and nothing of the run left running.
check_whole_flow() {
    local stage
    for stage in 01-update-splash 02-login 03-game 04-exit-confirmation; do
        check "screenshot $stage" '[ -s "$out/run/$stage.png" ]'
    done
    check "the login page came from the game site" \
        'grep -q "\"site\": \"game\", \"method\": \"GET\", \"path\": \"/client\"" "$log"'
    check "the game page was requested once, by the game window" \
        '[ "$(grep -c "/login.php?user=moonwalker" "$log")" -eq 1 ]'
    check "every request came over TLS" '! grep -q "\"tls\": false" "$log" && grep -q "\"tls\": true" "$log"'
    check "the launcher wrote exit code 0" '[ "$(cat "$out/run/exit-code" 2>/dev/null)" = 0 ]'
    # Killed processes take a moment to go.
    for _ in $(seq 1 50); do [ -z "$(left_over)" ] && break; sleep 0.1; done
    check "no Wine process, Xvfb or server of the run is left: $(left_over | tr '\n' ' ')" \
        '[ -z "$(left_over)" ]'
}
