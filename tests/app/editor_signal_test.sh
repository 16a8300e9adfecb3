#!/usr/bin/env bash
# A real kestrow-editor (offscreen) whose autosave folder is read-only closes
# its window; while the save-failure prompt waits, SIGTERM (then SIGINT in a
# second run, then SIGTERM with a writable folder on a "full disk", files
# limited to 1 KiB) must end the run: the saved set unchanged, the failure on
# stderr, each failing file named once, exit status 1.
#   editor_signal_test.sh BUILD_BIN_DIR
set -uo pipefail
bin="$1"
work="$(mktemp -d)"
pid=""
cleanup() {
    if [ -n "$pid" ]; then kill -9 "$pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The program's own folder holds the factory set; it is not writable for the
# user the editor runs as, so the autosave set lives in XDG_DATA_HOME.
chmod 755 "$work"
mkdir -p "$work/prog" "$work/data/kestrow-editor" "$work/home"
cp "$bin/kestrow-editor" "$bin"/FactoryPresets.* "$work/prog/"
for e in MID CFG NTS; do cp "$bin/FactoryPresets.$e" "$work/data/kestrow-editor/Config.$e"; done
chmod 555 "$work/data/kestrow-editor"
chmod 777 "$work/home"
run_as=()
if [ "$(id -u)" = 0 ]; then
    # Root writes into any folder: the editor runs as nobody.
    run_as=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
else
    chmod 555 "$work/prog"
fi
before="$(cd "$work/data/kestrow-editor" && ls -A && md5sum Config.*)"

for case in TERM INT TERM:full; do
    signal="${case%%:*}"
    limit=unlimited
    if [ "$case" = TERM:full ]; then
        chmod 777 "$work/data/kestrow-editor"
        limit=1
    fi
    # A sanitized build checks this run for undefined behaviour, not for leaks
    # at exit, which are not what it is about.
    env -i PATH="$PATH" HOME="$work/home" XDG_DATA_HOME="$work/data" \
        UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
        XDG_RUNTIME_DIR="$work/home" QT_QPA_PLATFORM=offscreen JACK_NO_START_SERVER=1 \
        KESTROW_MIDIDRV="$bin/libmididrv.so" KESTROW_FIRST_PAINT=close \
        bash -c 'ulimit -f "$0"; exec "$@"' "$limit" \
        "${run_as[@]}" "$work/prog/kestrow-editor" >"$work/out" 2>"$work/err" &
    pid=$!
    for _ in $(seq 100); do
        grep -q '^first-paint' "$work/out" 2>/dev/null && break
        sleep 0.1
    done
    sleep 1 # the close path saves, fails and asks
    if ! kill -0 "$pid" 2>/dev/null; then
        fail "$case: the editor ended before its save-failure prompt"
        pid=""
        continue
    fi
    kill -s "$signal" "$pid"
    ended=no
    for _ in $(seq 50); do
        if ! kill -0 "$pid" 2>/dev/null; then ended=yes; break; fi
        sleep 0.1
    done
    if [ "$ended" = no ]; then
        fail "$case: still running 5 s after the signal, waiting in its prompt"
        kill -9 "$pid"
    fi
    wait "$pid"
    status=$?
    pid=""
    [ "$ended" = yes ] && [ "$status" -eq 1 ] || fail "$case: exit status $status, not 1"
    grep -q 'could not be saved' "$work/err" || fail "$case: no failure on stderr"
    named="$(grep -o 'Config\.[A-Z]*' "$work/err" | sort | uniq -d)"
    [ -z "$named" ] || fail "$case: named more than once: $named"
    after="$(cd "$work/data/kestrow-editor" && ls -A && md5sum Config.*)"
    [ "$after" = "$before" ] || fail "$case: the autosave folder changed"
    sed 's/^/    /' "$work/err"
done
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
