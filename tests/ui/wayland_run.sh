#!/usr/bin/env bash
# Runs the given Qt test programs on Wayland: a headless weston of their own,
# in a private runtime folder, so nothing of a desktop session leaks in.
# Exit 77 (skipped) where weston or Qt's Wayland plugin is missing.
set -u
command -v weston >/dev/null || { echo "weston is not installed"; exit 77; }

runtime=$(mktemp -d)
chmod 700 "$runtime"
weston_pid=
cleanup() {
    [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
    rm -rf "$runtime"
}
trap cleanup EXIT

XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --socket=kestrow-test \
    --idle-time=0 --shell=desktop-shell.so >"$runtime/weston.log" 2>&1 &
weston_pid=$!
# The socket appears once weston listens; capped, so a weston that cannot
# start fails the test instead of hanging it.
for _ in $(seq 100); do
    [ -S "$runtime/kestrow-test" ] && break
    kill -0 "$weston_pid" 2>/dev/null || break
    sleep 0.1
done
if [ ! -S "$runtime/kestrow-test" ]; then
    echo "weston did not start:"
    cat "$runtime/weston.log"
    exit 1
fi

# Qt's Wayland plugin leaves some of libwayland-client's records to the
# process's end; LeakSanitizer (in sanitizer builds) would fail every program.
printf '%s\n' "leak:libwayland-client.so" >"$runtime/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$runtime/lsan.supp"

# A headless weston has no seat; Qt 6.4's Wayland text input then crashes on
# the first key released in a line edit. The compose input method avoids it.
status=0
for program in "$@"; do
    echo "== $program"
    env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=kestrow-test \
        QT_QPA_PLATFORM=wayland QT_IM_MODULE=compose "$program" || status=1
done
exit $status
