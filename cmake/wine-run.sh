#!/usr/bin/env bash
# Runs a Windows program under wine64, in the Wine prefix PREFIX:
#   wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...]
# The emulator of the x86_64 build, through which ctest runs the tests.
#
# The first Windows program of a session starts the Wine server and Wine's
# background programs, which inherit its standard output and error and keep
# them open until the server ends. A test runner reading that output through
# a pipe would then wait seconds for every test. So the server is started
# first, kept for 30 seconds after its last program, and its background
# programs started with their output going nowhere (and without the lock
# that keeps two tests from doing that at once).
#
# Now and then (about one start in 5,000 while ctest runs two tests at once)
# Wine ends a program it was starting with status 1 within milliseconds,
# before the program has run, and prints nothing. None of our programs ends
# with status 1 in silence: the command line says why, a test binary prints
# its failures. So a run that ends so is started once or twice more, and
# noted in the prefix's launch-retries.log, which scripts/windows.sh shows.
# The language server is the exception: its caller talks to it through a
# pipe and may signal it, so it is the emulator's process itself.
set -eu
export WINEPREFIX="$1"
shift
export WINEDEBUG="${WINEDEBUG:--all}"
# Without an ALSA sequencer Wine's ALSA driver has no MIDI port to offer and
# only prints ALSA's complaints into the program's standard error.
if [ ! -e /dev/snd/seq ] && [ -z "${WINEDLLOVERRIDES:-}" ]; then
    export WINEDLLOVERRIDES="winealsa.drv=d"
fi
bin=/usr/lib/wine
[ -x "$bin/wine64" ] || bin=$(dirname "$(command -v wine64)")

mkdir -p "$WINEPREFIX"
(
    flock 9
    # wineserver exits at once, with a status other than 0, when a server
    # for this prefix is running already.
    if "$bin/wineserver" -p30 </dev/null >/dev/null 2>&1 9>&-; then
        "$bin/wine64" cmd.exe /c exit </dev/null >/dev/null 2>&1 9>&- || true
    fi
) 9>"$WINEPREFIX/.start-lock"
case " $* " in
    *" --lsp "*) exec "$bin/wine64" "$@" ;;
esac

out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2 3; do
    status=0
    "$bin/wine64" "$@" >"$out" 2>"$err" || status=$?
    if [ "$status" -ne 1 ] || [ -s "$out" ] || [ -s "$err" ] || [ "$attempt" -eq 3 ]; then
        cat "$out"
        cat "$err" >&2
        exit "$status"
    fi
    echo "$(date '+%F %T') status 1 and no output, started again: $*" >>"$WINEPREFIX/launch-retries.log"
done
