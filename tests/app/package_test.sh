#!/usr/bin/env bash
# Packs this build tree with cpack into a .deb, unpacks it into a throw-away
# root and checks what a user would get: the control fields, a Depends line
# that names the Debian package of every library the programs link, the
# files, man pages that render cleanly and describe every option of --help,
# and programs that run from the unpacked tree.
#   package_test.sh <cpack> <build dir> <version> <programdir> <programs,comma,separated>
set -euo pipefail

cpack=$1
build=$2
version=$3
programdir=$4
IFS=',' read -r -a programs <<< "$5"

for tool in dpkg-deb dpkg-shlibdeps dpkg-query; do
    if ! command -v "$tool" > /dev/null; then
        echo "SKIP: $tool is not installed (Debian's dpkg-dev package has it); no package to check"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log"
    echo "FAIL: cpack"
    exit 1
}
deb=$(ls "$work"/out/*.deb)
pass "cpack built $(basename "$deb") ($(stat -c %s "$deb") bytes)"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kestrow-editor ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
depends=$(field Depends)
echo "Depends: $depends"

root=$work/root
dpkg-deb -x "$deb" "$root"

# Every library that a program or the driver links must come from a package
# in Depends; every Depends entry must be a package this machine knows.
declare -A depended=()
IFS=',' read -r -a groups <<< "$depends"
for group in "${groups[@]}"; do
    known=""
    IFS='|' read -r -a alternatives <<< "$group"
    for alternative in "${alternatives[@]}"; do
        name=$(sed -E 's/^ *([^ (]+).*/\1/' <<< "$alternative")
        depended[$name]=1
        if dpkg-query -W "$name" > /dev/null 2>&1; then known=$name; fi
    done
    [ -n "$known" ] || fail "no alternative of '$group' is installed here"
done
# Loaded by Qt, not linked, so only named by hand: without it no window opens.
for plugin in qt6-qpa-plugins qt6-wayland; do
    [ -n "${depended[$plugin]:-}" ] || fail "Depends lacks $plugin"
done
while IFS= read -r elf; do
    symbols=$(readelf -SW "$elf" | grep -c '\.symtab' || true)
    [ "$symbols" -eq 0 ] || fail "${elf#"$root"} is not stripped"
    for library in $(objdump -p "$elf" | awk '$1 == "NEEDED" { print $2 }'); do
        # awk reads to the end: an early exit would break ldconfig's pipe.
        path=$(ldconfig -p | awk -v l="$library" '$1 == l && !found { print $NF; found = 1 }')
        owner=""
        if [ -n "$path" ]; then
            owner=$(dpkg -S "$(realpath "$path")" 2>/dev/null || dpkg -S "$path" 2>/dev/null || true)
            owner=${owner%%:*}
        fi
        if [ -z "$owner" ]; then
            fail "${elf#"$root"} needs $library, which no installed package provides"
        elif [ -z "${depended[$owner]:-}" ]; then
            fail "${elf#"$root"} needs $library from $owner, which Depends does not name"
        fi
    done
done < <(find "$root" -type f -exec sh -c 'head -c 4 "$1" | grep -q ELF' _ {} \; -print)
pass "Depends covers every linked library; binaries stripped"

app=org.kestrow.KestrowEditor
for f in "$programdir/libmididrv.so" \
         share/kestrow-editor/FactoryPresets.MID share/kestrow-editor/FactoryPresets.CFG \
         share/kestrow-editor/FactoryPresets.NTS share/kestrow-editor/Info.txt \
         "share/applications/$app.desktop" "share/icons/hicolor/scalable/apps/$app.svg" \
         "share/icons/hicolor/256x256/apps/$app.png" "share/metainfo/$app.metainfo.xml" \
         share/doc/kestrow-editor/copyright share/doc/kestrow-editor/changelog.gz; do
    [ -s "$root/usr/$f" ] || fail "missing /usr/$f"
done
outside=$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$outside" ] || fail "files outside /usr: $outside"
[ -z "$(find "$root" -name 'libmididrv_*')" ] || fail "a test build of the driver is packed"

export HOME="$work/home" XDG_DATA_HOME="$work/home/data" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
for program in "${programs[@]}"; do
    [ -n "$program" ] || continue
    exe=$root/usr/bin/$program
    [ -x "$exe" ] || { fail "missing /usr/bin/$program"; continue; }
    got=$("$exe" --version 2>&1) || fail "$program --version failed"
    [ "$got" = "$program $version" ] || fail "$program --version printed '$got'"
    "$exe" --help > "$work/help" 2>&1 || fail "$program --help failed"

    page=$root/usr/share/man/man1/$program.1.gz
    if [ ! -s "$page" ]; then
        fail "missing man page for $program"
        continue
    fi
    if command -v man > /dev/null; then
        # What lintian runs: groff warnings about the page itself.
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 > /dev/null || true)
        [ -z "$warnings" ] || fail "man page of $program: $warnings"
    fi
    # The page describes every option that --help offers.
    zcat "$page" | sed 's/\\-/-/g' > "$work/page"
    for option in $(grep -oE -- '--[a-z][a-z0-9-]*' "$work/help" | sort -u); do
        grep -q -- "$option" "$work/page" || fail "man page of $program lacks $option"
    done
done
pass "programs, versions and man pages"

# The unpacked command-line program binds the unpacked driver to read the
# unpacked factory set.
if "$root/usr/bin/kestrow-cli" list "$root/usr/share/kestrow-editor/FactoryPresets.MID" \
    > "$work/list" 2>&1 && [ "$(grep -cE '^[0-9 ]{3}: ' "$work/list")" -eq 128 ]; then
    pass "kestrow-cli lists the packed factory set"
else
    head -5 "$work/list"
    fail "kestrow-cli list of the packed factory set"
fi

# The unpacked editor comes up, binds the unpacked driver, and on SIGTERM saves
# its working set in the user's folder: never into the installed tree, even
# when the test runs as root and could write there.
find "$root" -type f | sort > "$work/files-before"
"$root/usr/bin/kestrow-editor" > "$work/editor.out" 2>&1 &
editor=$!
for _ in $(seq 1 300); do
    grep -qs "$programdir/libmididrv.so" "/proc/$editor/maps" && break
    kill -0 "$editor" 2>/dev/null || break
    sleep 0.1
done
grep -qs "$programdir/libmididrv.so" "/proc/$editor/maps" || fail "the editor did not load the packed driver"
kill -TERM "$editor" 2>/dev/null || true
wait "$editor" || fail "the editor ended with status $? ($(head -c 300 "$work/editor.out"))"
find "$root" -type f | sort | diff "$work/files-before" - > "$work/files-diff" \
    || fail "the editor changed the unpacked tree: $(grep '^>' "$work/files-diff" | tr '\n' ' ')"
[ -s "$XDG_DATA_HOME/kestrow-editor/Config.MID" ] || fail "no autosave set in \$XDG_DATA_HOME/kestrow-editor"
pass "the editor runs and saves in the user's folder"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
