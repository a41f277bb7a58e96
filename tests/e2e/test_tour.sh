#!/usr/bin/env bash
# The README's run command, end to end, on a machine without a display: the
# splash appears, the login page is requested from the game site, entering
# shows the game window maximised with the game page requested, the exit box
# ends the launcher with exit code 0, and nothing is left running.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# A copy of the prepared prefix: the run command ends every Wine process of
# its prefix, and the other tests' shared wineserver must live on.
source "$ROOT/scripts/wine-env.sh"
mkdir -p "$out/wine"
cp -a "$QM_WINE_ROOT/prefix" "$out/wine/prefix" || exit 1
export QM_WINE_ROOT="$out/wine"

before_xvfb=$(pgrep -x Xvfb | sort)
env -u DISPLAY QM_RUN_NO_BUILD=1 QM_RUN_OUT="$out/run" timeout 240 "$ROOT/scripts/run.sh"
rc=$?
fail=0
check() {
    if ! eval "$2"; then
        echo "FAIL: $1"
        fail=1
    fi
}
check "the run command succeeded (exit $rc)" '[ $rc -eq 0 ]'
for stage in 01-update-splash 02-login 03-game 04-exit-confirmation; do
    check "screenshot $stage" '[ -s "$out/run/$stage.png" ]'
done
log="$out/run/portal.log"
check "the version page was read" \
    'grep -q "\"site\": \"update\".*qlm_Orbo.html?[0-9]" "$log"'
check "no executable was downloaded" '! grep -q "qlm_Orbo.exe" "$log"'
check "the login page came from the game site" \
    'grep -q "\"site\": \"game\", \"method\": \"GET\", \"path\": \"/client\"" "$log"'
check "the game page was requested once, by the game window" \
    '[ "$(grep -c "/login.php?user=moonwalker" "$log")" -eq 1 ]'
sleep 1
check "no launcher process is left" '! pgrep -x quillmoor_tour. >/dev/null'
check "no Xvfb is left" '[ "$before_xvfb" = "$(pgrep -x Xvfb | sort)" ]'
[ $fail -eq 0 ] && echo "PASS"
exit $fail
