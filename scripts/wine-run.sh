#!/usr/bin/env bash
# Runs one Windows program under Wine with the project's harness:
#   scripts/wine-run.sh program.exe [args...]
# The exit code is the program's (124 when it ran out of time). QM_WINE_TIMEOUT
# bounds the run (seconds, default 300).
set -u
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

if [ $# -lt 1 ]; then
    echo "usage: $0 program.exe [args...]" >&2
    exit 2
fi

qm_start_xvfb || exit 1
# A private display goes away with this run, and so does every Wine process
# that was shown on it.
trap '[ -n "${QM_XVFB_PID:-}" ] && qm_wine_stop; qm_stop_xvfb' EXIT
qm_wine_prepare || exit 1
qm_wine "${QM_WINE_TIMEOUT:-300}" "$@"
