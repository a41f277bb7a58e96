#!/usr/bin/env bash
# The README's run command, end to end, on a machine without a display: the
# splash appears, the version page is read and nothing downloaded, the login
# page is requested from the game site, entering shows the game window
# maximised with the game page requested, the exit box ends the launcher
# with exit code 0 (as the tour driver records it), and nothing is left
# running.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$ROOT/tests/e2e/lib/tour_run.sh"

run_tour
rc=$?
check "the run command succeeded (exit $rc)" '[ $rc -eq 0 ]'
check "the version page was read" \
    'grep -q "\"site\": \"update\".*qlm_Orbo.html?[0-9]" "$log"'
check "no executable was downloaded" '! grep -q "qlm_Orbo.exe" "$log"'
check_whole_flow
[ $fail -eq 0 ] && echo "PASS"
exit $fail
