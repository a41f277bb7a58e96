#!/usr/bin/env bash
# The README's run command with an update published (QM_RUN_UPDATE=1), on a
# machine without a display: the launcher (1.0.0.8) reads the version page,
# fetches the signature, downloads 1.0.0.9 once (photographed on the way), keeps itself as quillmoor_tour.exe1.0.0.8, starts
# the new exe and ends with exit code 0; the new exe confirms its start and,
# while the old one still holds the update lock, makes no check of its own (no
# second update), and goes through login, game and exit box to exit code 0.
# Nothing is left running.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$ROOT/tests/e2e/lib/tour_run.sh"

run_tour QM_RUN_UPDATE=1
rc=$?
app="$out/run/app"
count() { grep -c "$1" "$log"; }
check "the run command succeeded (exit $rc)" '[ $rc -eq 0 ]'
check "the version page was read once, by the old launcher" \
    '[ "$(count "\"site\": \"update\", \"method\": \"GET\", \"path\": \"/clientkv3/portHatch/qlm_Orbo.html?[0-9]")" -eq 1 ]'
check "the signature was fetched once, before the executable" \
    '[ "$(count "qlm_Orbo.exe.sig?version=1.0.0.9")" -eq 1 ] &&
     [ "$(grep -n "qlm_Orbo.exe.sig?" "$log" | cut -d: -f1)" -lt "$(grep -n "qlm_Orbo.exe?" "$log" | cut -d: -f1)" ]'
check "the new exe was downloaded exactly once" '[ "$(count "qlm_Orbo.exe?")" -eq 1 ]'
check "the download asked for version 1.0.0.9" \
    'grep -q "\"site\": \"update\", \"method\": \"GET\", \"path\": \"/clientkv3/portHatch/qlm_Orbo.exe?version=1.0.0.9\"" "$log"'
check "the old exe was kept as quillmoor_tour.exe1.0.0.8, unchanged" \
    'cmp -s "$app/quillmoor_tour.exe1.0.0.8" "$bin/quillmoor_tour.exe"'
check "the new exe is in place" 'cmp -s "$app/quillmoor_tour.exe" "$bin/quillmoor_tour_next.exe"'
check "the new exe did not update itself again" '[ ! -e "$app/quillmoor_tour.exe1.0.0.9" ]'
check "no download is left over" '[ ! -e "$app/quillmoor_tour.exe.tmp" ]'
# The splash sits centred on the 1600x900 display; its bar's middle row
# shows the gilded filling (red high, blue low) while the download runs.
check "the download's screenshot shows the bar filling" \
    '[ "$(convert "$out/run/01b-update-download.png" -crop 240x3+680+467 -depth 8 txt:- |
          awk -F"[(),]" "NR > 1 && \$3 >= 195 && \$5 <= 92 { n++ } END { print n + 0 }")" -gt 0 ]'
check_whole_flow
[ $fail -eq 0 ] && echo "PASS"
exit $fail
