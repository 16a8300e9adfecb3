#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user gets there:
# the programs, the driver library they must really load, the data files and
# a valid menu entry, icon and AppStream metainfo.
#   display_install_test.sh <build dir> <programs,comma,separated> <driver ON|OFF>
#                           <bindir> <programdir> <datadir>
set -euo pipefail

build=$1
IFS=',' read -r -a programs <<< "$2"
driver=$3
bindir=$4
programdir=$5
datadir=$6
app=org.kestrow.KestrowEditor

work=$(mktemp -d)
editor_pid=""
cleanup() {
    if [ -n "$editor_pid" ]; then kill "$editor_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
prefix=$work/prefix
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
# check <what> <command...>: passes when the command succeeds.
check() {
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}
# validate <tool> <args...>: the tool's verdict, or a skip where it is missing.
validate() {
    if command -v "$1" > /dev/null; then check "$*" "$@"; else echo "skip: $1 not installed"; fi
}
# runs <what> <output file> <command...>: shows the output when it fails.
runs() {
    local what=$1 out=$2
    shift 2
    if "$@" > "$out" 2>&1; then pass "$what"; else cat "$out"; fail "$what"; fi
}

cmake --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1 || {
    cat "$work/install.log"
    echo "FAIL: cmake --install"
    exit 1
}
pass "installed into a temporary prefix"

# Desktop integration.
for f in "applications/$app.desktop" "icons/hicolor/scalable/apps/$app.svg" \
         "icons/hicolor/256x256/apps/$app.png" "metainfo/$app.metainfo.xml"; do
    check "$datadir/$f is there" test -s "$prefix/$datadir/$f"
done
validate desktop-file-validate "$prefix/$datadir/applications/$app.desktop"
validate appstreamcli validate --no-net "$prefix/$datadir/metainfo/$app.metainfo.xml"
if grep -q '@' "$prefix/$datadir/metainfo/$app.metainfo.xml"; then
    fail "metainfo still holds a template placeholder"
fi
# A PNG of 256 x 256: signature, then IHDR width and height.
png_head=$(od -An -tx1 -N24 "$prefix/$datadir/icons/hicolor/256x256/apps/$app.png" | tr -d ' \n')
if [ "${png_head:0:16}" = "89504e470d0a1a0a" ] && [ "${png_head:32:16}" = "0000010000000100" ]; then
    pass "icon is a 256 x 256 PNG"
else
    fail "icon is not a 256 x 256 PNG ($png_head)"
fi
grep -q "^Exec=kestrow-editor$" "$prefix/$datadir/applications/$app.desktop" \
    || fail "menu entry does not start kestrow-editor"

# Programs and the driver library they load.
for program in "${programs[@]}"; do
    [ -n "$program" ] || continue
    check "$bindir/$program is there" test -x "$prefix/$bindir/$program"
    # The programs that bind the driver are links to their copy beside it.
    if [ -f "$prefix/$programdir/$program" ]; then
        [ "$(realpath "$prefix/$bindir/$program")" = "$(realpath "$prefix/$programdir/$program")" ] \
            || fail "$bindir/$program does not lead to $programdir/$program"
    fi
done
driver_path="$prefix/$programdir/libmididrv.so"
if [ "$driver" = "ON" ]; then
    check "$programdir/libmididrv.so is there" test -f "$driver_path"
    if find "$prefix" -name 'libmididrv_*' | grep -q .; then fail "a test build of the driver was installed"; fi
fi

# The print module the editor loads on the first print.
if [ -f "$build/bin/libkestrow-print.so" ]; then
    check "$programdir/libkestrow-print.so is there" test -f "$prefix/$programdir/libkestrow-print.so"
fi

# Data files: whatever the build puts beside the programs must be installed too.
for f in FactoryPresets.MID FactoryPresets.CFG FactoryPresets.NTS Info.txt; do
    if [ -f "$build/bin/$f" ]; then
        check "$datadir/kestrow-editor/$f is there" test -f "$prefix/$datadir/kestrow-editor/$f"
    fi
done

# Run the installed programs away from the build tree, with a home of their own.
export HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config"
export QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
cd "$work"
for program in "${programs[@]}"; do
    case "$program" in
    kestrow-cli)
        # Listing the installed factory set binds the installed driver for its
        # file reader: one header per preset.
        factory="$prefix/$datadir/kestrow-editor/FactoryPresets.MID"
        if [ -f "$factory" ]; then
            runs "kestrow-cli list of the installed factory set" "$work/cli.out" \
                "$prefix/$bindir/kestrow-cli" list "$factory"
            headers=$(grep -cE '^[0-9 ]{3}: ' "$work/cli.out" || true)
            check "kestrow-cli listed $headers of 128 presets" test "$headers" -eq 128
        fi
        runs "kestrow-cli --help" "$work/cli-help.out" "$prefix/$bindir/kestrow-cli" --help
        ;;
    zembra-sim)
        runs "$program --help" "$work/$program.out" "$prefix/$bindir/$program" --help
        ;;
    kestrow-editor)
        # The editor binds the driver while it starts; the dynamic loader tells
        # from where. It must be the installed copy, found without any help.
        LD_DEBUG=files LD_DEBUG_OUTPUT="$work/ld" "$prefix/$bindir/kestrow-editor" \
            > "$work/editor.out" 2>&1 &
        editor_pid=$!
        loaded=""
        for _ in $(seq 1 300); do
            if ! kill -0 "$editor_pid" 2>/dev/null; then break; fi
            init=$(grep -hs "calling init: .*/libmididrv.so$" "$work"/ld.* | head -n 1 | sed 's/.*calling init: //' || true)
            if [ -n "$init" ]; then
                loaded=$(realpath "$init")
                break
            fi
            sleep 0.1
        done
        # Still up a little after the driver: the windows are built by then.
        for _ in $(seq 1 30); do
            kill -0 "$editor_pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$editor_pid" 2>/dev/null; then
            pass "kestrow-editor runs"
            # Qt's print support waits for the first print.
            if grep -E 'PrintSupport|kestrow-print' "/proc/$editor_pid/maps"; then
                fail "kestrow-editor maps print support before anything is printed"
            else
                pass "no print support mapped at start"
            fi
            kill "$editor_pid"
            wait "$editor_pid" 2>/dev/null || true
        else
            cat "$work/editor.out"
            wait "$editor_pid" 2>/dev/null && status=0 || status=$?
            fail "kestrow-editor ended on its own while starting (exit status $status)"
        fi
        editor_pid=""
        if [ "$driver" = "ON" ]; then
            if [ -n "$loaded" ] && [ "$loaded" = "$(realpath "$driver_path")" ]; then
                pass "editor loaded $programdir/libmididrv.so"
            else
                fail "editor did not load the installed driver (loaded: ${loaded:-nothing})"
            fi
        fi
        ;;
    esac
done

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
