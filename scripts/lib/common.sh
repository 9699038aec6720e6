# Sourced by the scripts in scripts/ for what several of them do alike: a step that may skip
# (status 77), a Wine prefix's boot, the wait for the server's ready line, and the end-to-end
# modules CTest labels for a run. Defines functions only; the caller has `set -euo pipefail`.
# shellcheck shell=bash

# Runs COMMAND [ARG...]. Status 77 means the command skipped its work and said why on standard
# error: that is no failure, and sets skipped=yes (else skipped=no). Any other failure ends the
# calling script with the command's status.
# shellcheck disable=SC2034  # skipped is for the caller
run_or_skip() {
    local status=0
    "$@" || status=$?
    skipped=no
    if [ "$status" -eq 77 ]; then
        skipped=yes
        return 0
    fi
    [ "$status" -eq 0 ] || exit "$status"
}

# Stops the Wine server of $WINEPREFIX, if one runs, and with it every program under it.
wine_stop() {
    wineserver -k >/dev/null 2>&1 || true
}

# Starts a fresh Wine server for $WINEPREFIX that stays up between programs (instead of one per
# program) and boots the prefix, making it when it is new. Wine's services and desktop process
# start here, away from the programs under test: started by a program instead, they would hold
# its output pipes open after it ends.
wine_boot() {
    : "${WINEPREFIX:?WINEPREFIX names the Wine prefix to boot}"
    wine_stop
    wineserver -p >/dev/null 2>&1
    timeout 120 wineboot -i >/dev/null 2>&1
}

# Waits until the server with process id PID has printed its ready line into LOG, for at most
# SECONDS. Fails when the server ended first or the time ran out.
wait_for_ready() {
    local log="$1" pid="$2" seconds="$3" tries
    for ((tries = seconds * 10; tries > 0; tries--)); do
        grep -q "Server is ready" "$log" && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# Prints the end-to-end modules (test_NAME, one a line) of the CTest tests e2e_NAME that carry
# LABEL in the build folder BUILD, in the order tests/e2e/CMakeLists.txt adds them. Fails when
# there is none. Reads tests/e2e's own CTest file only, so no other test is listed or discovered.
e2e_modules() {
    local build="$1" label="$2" modules
    modules="$(ctest --test-dir "$build/tests/e2e" -N -L "^$label\$" |
        sed -n 's/^ *Test *#[0-9]*: e2e_/test_/p')"
    if [ -z "$modules" ]; then
        echo "no end-to-end test labelled $label in $build" >&2
        return 1
    fi
    echo "$modules"
}
