#!/usr/bin/env bash
# Fault injection against the real programs: a signal while start-up asks,
# two editors on one folder, a full disk (a preloaded write-failure shim), a
# file-size limit, interrupted commands, imports that used to lose data, and
# a JACK server killed under the command-line tool's and the editor's
# transfers. Each case checks that nothing is lost and that the program ends
# with a message, not by a signal.
#   fault_suite.sh BIN_DIR SHIM
set -uo pipefail
bin="$(cd "$1" && pwd)"
shim="$2"
cli="$bin/kestrow-cli"
work="$(mktemp -d)"
prog="$work/prog" # the editor's copy; its folder is the autosave folder
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok    $*"; }
mkdir -p "$prog"
cp "$bin/kestrow-editor" "$bin"/FactoryPresets.* "$prog/"
# Sanitized builds: the shim comes before their runtime, and leaks at exit are not the point.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0:verify_asan_link_order=0"

fresh_set() { # the factory set as the autosave set, nothing else
    find "$prog" -maxdepth 1 -name 'Config.*' -o -maxdepth 1 -name 'Recovery.*' | xargs -r rm -f
    for e in MID CFG NTS; do cp "$bin/FactoryPresets.$e" "$prog/Config.$e"; done
}
sums() { (cd "$prog" && md5sum Config.* Recovery.* 2>/dev/null); }
temporaries() { (cd "$1" && ls -A | grep '^\.'); }
editor() { # editor NAME [VAR=VALUE...]: starts an editor; its pid in $epid
    local name="$1"
    shift
    env -i PATH="$PATH" HOME="$work" XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=offscreen \
        JACK_NO_START_SERVER=1 JACK_DEFAULT_SERVER="${JACK_DEFAULT_SERVER:-default}" \
        ASAN_OPTIONS="$ASAN_OPTIONS" KESTROW_MIDIDRV="$bin/libmididrv.so" \
        KESTROW_FIRST_PAINT=report "$@" "$prog/kestrow-editor" >"$work/$name.out" 2>"$work/$name.err" &
    epid=$!
    pids+=("$epid")
}
painted() { # painted NAME: waits up to 20 s for the editor's first paint
    for _ in $(seq 200); do
        grep -q '^first-paint' "$work/$1.out" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}
ends() { # ends PID: waits up to 10 s; the exit status in $status
    for _ in $(seq 100); do
        if ! kill -0 "$1" 2>/dev/null; then
            wait "$1"
            status=$?
            return 0
        fi
        sleep 0.1
    done
    kill -9 "$1"
    wait "$1"
    status=timeout
    return 1
}
journal() { # a valid recovery journal whose preset 1 is "Unsaved"
    /usr/bin/python3 - "$prog/Recovery.kes" <<'EOF'
import sys, zlib
out = "Kestrow Editor recovery journal\nformat 1\nsaved 1700000000\nvariant 0\nselected 0\n"
text = lambda word, s: f"{word} {len(s)} {s}\n"
for n in range(1, 129):
    out += f"preset {n}\n" + text("name", "Unsaved" if n == 1 else f"Preset {n}")
    out += "".join(text(f"knob {k}", f"Knob {k}") for k in range(1, 17))
    out += "".join(f"{c}" + " 1" * 16 + "\n" for c in ("channel", "event", "fixed", "init"))
    out += text("description", "")
out += "checksum %08x\n" % zlib.crc32(out.encode())
open(sys.argv[1], "w").write(out)
EOF
}

# 1. A signal (a logout) while the start-up question is open: nothing saved,
#    the journal kept for the next start.
for signal in TERM INT; do
    fresh_set
    journal
    before="$(sums)"
    editor question
    # The journal is claimed (a lock on the folder) just before the question;
    # /proc/locks shows it without taking it.
    inode="$(stat -c %i "$prog")"
    for _ in $(seq 200); do grep -q " $epid [0-9a-f:]*:$inode " /proc/locks && break; sleep 0.1; done
    kill -s "$signal" "$epid"
    ends "$epid"
    [ "$status" = 1 ] || fail "$signal at the question: exit status $status, not 1"
    grep -q 'before start-up had finished' "$work/question.err" || fail "$signal at the question: no message"
    [ "$(sums)" = "$before" ] && pass "$signal at the question keeps the set and the journal" ||
        fail "$signal at the question changed the autosave folder"
done

# 2. Two editors on one folder; a command-line write into it; a crashed run's lock.
fresh_set
editor first
painted first || fail "the first editor did not come up"
first=$epid
editor second
ends "$epid"
[ "$status" = 0 ] && grep -q 'already running' "$work/second.err" && kill -0 "$first" &&
    pass "a second editor brings the first forward and ends" ||
    fail "second editor: status $status, $(cat "$work/second.err")"
"$cli" export "$prog/FactoryPresets.MID" "$work/all.syx" || fail "export failed"
"$cli" import "$work/all.syx" "$prog/Config.MID" 2>"$work/held.err"
[ $? = 2 ] && [ "$(wc -l <"$work/held.err")" = 1 ] && grep -q 'Kestrow Editor is running' "$work/held.err" &&
    pass "kestrow-cli refuses to write into a held folder" || fail "held folder: $(cat "$work/held.err")"
kill -9 "$first"
wait "$first" 2>/dev/null
editor third
painted third && pass "a crashed editor's lock is taken over" || fail "the lock of a crashed run was not taken over"
kill -TERM "$epid"
ends "$epid"
[ "$status" = 0 ] || fail "the third editor ended with $status"

# 3. A file-size limit and a full disk: a message naming the file and the
#    system's reason, the earlier file whole, no temporaries.
mkdir -p "$work/out"
"$cli" import "$work/all.syx" "$work/out/Set.MID" || fail "import failed"
before="$(md5sum "$work"/out/Set.*)"
bash -c 'ulimit -f 1; exec "$@"' limit "$cli" import "$work/all.syx" "$work/out/Set.MID" 2>"$work/limit.err"
status=$?
[ "$status" = 2 ] && grep -q 'Set.MID.*File too large' "$work/limit.err" ||
    fail "import under ulimit -f: status $status, $(cat "$work/limit.err")"
LD_PRELOAD="$shim" KESTROW_FULL_DISK="$work/out" "$cli" import "$work/all.syx" "$work/out/Set.MID" 2>"$work/full.err"
status=$?
[ "$status" = 2 ] && grep -q 'Set\.[A-Z]*: .*No space left on device' "$work/full.err" ||
    fail "import on a full disk: status $status, $(cat "$work/full.err")"
[ "$(md5sum "$work"/out/Set.*)" = "$before" ] && [ -z "$(temporaries "$work/out")" ] &&
    pass "import under a size limit and on a full disk fails cleanly" ||
    fail "the set changed or temporaries stayed: $(temporaries "$work/out")"
fresh_set
before="$(sums)"
editor full LD_PRELOAD="$shim" KESTROW_FULL_DISK="$prog"
painted full || fail "the editor on a full disk did not come up"
kill -TERM "$epid"
ends "$epid"
[ "$status" = 1 ] && grep -q 'No space left on device' "$work/full.err" && [ "$(sums)" = "$before" ] &&
    [ -z "$(temporaries "$prog")" ] && pass "the editor's close on a full disk keeps the set" ||
    fail "editor on a full disk: status $status, $(cat "$work/full.err")"

# 4. Temporaries of an interrupted command go with the next command there.
touch "$work/out/.Set.MID.Ab12Cd" "$work/out/.Set.CFG.xY34zz" "$work/out/.x.syx.Qq11Ww"
"$cli" list "$work/out/Set.MID" >/dev/null && "$cli" export "$work/out/Set.MID" "$work/out/x.syx"
[ -z "$(temporaries "$work/out")" ] && pass "the next command clears an interrupted one's temporaries" ||
    fail "temporaries stayed: $(temporaries "$work/out")"

# 5. export -> import -> export keeps every byte: without init values
#    (zembraControl and zembraFader) and with them (zembraDial); another
#    maker's messages are skipped and counted; a .MID named .syx is told.
cd "$work/out" || exit 1
"$cli" import ../all.syx dial.MID --dial && "$cli" export dial.MID dial.syx &&
    "$cli" import dial.syx again.MID && "$cli" export again.MID again.syx &&
    "$cli" export Set.MID plain.syx
[ "$(stat -c %s dial.syx)" = 12032 ] && cmp -s dial.syx again.syx && cmp -s ../all.syx plain.syx &&
    pass "export, import and export again keep every byte" || fail "a round trip changed the dump"
{ printf '\xf0\x43'; head -c 6650 /dev/zero; printf '\xf7'; cat ../all.syx; } >mixed.syx
"$cli" import mixed.syx mixed.MID 2>mixed.err && "$cli" export mixed.MID mixed2.syx &&
    cmp -s ../all.syx mixed2.syx && grep -q 'skipped' mixed.err &&
    pass "another maker's messages are skipped and counted" || fail "mixed dump: $(cat mixed.err)"
cp Set.MID renamed.syx
"$cli" import renamed.syx r.MID 2>renamed.err
grep -q 'standard MIDI file' renamed.err && pass "a .MID named .syx is told apart" ||
    fail "renamed .MID: $(cat renamed.err)"
cd "$work" || exit 1

# 6. The JACK server killed under backup, send --verify and the editor.
if command -v jackd >/dev/null && [ -x "$bin/zembra-sim" ]; then
    # One name per build tree: a killed server's slot in JACK's registry of
    # servers is taken back only by a server of the same name.
    export JACK_NO_START_SERVER=1 JACK_DEFAULT_SERVER="kestrow-faults-$(cksum <<<"$bin" | cut -c1-8)"
    # A dummy server restarted under load right after a kill now and then
    # takes connections and never answers them (jack_lsp cannot open a
    # client either); such a one is killed and started again.
    jack_up() {
        local attempt end
        for attempt in 1 2 3; do
            jackd -S -r -t 5000 -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >/dev/null 2>&1 &
            jack=$!
            pids+=("$jack")
            for _ in $(seq 100); do jack_lsp >/dev/null 2>&1 && break; sleep 0.1; done
            "$bin/zembra-sim" --name zsim-f --state "$work/sim.state" >/dev/null 2>&1 &
            sim=$!
            pids+=("$sim")
            end=$((SECONDS + 20))
            while [ $SECONDS -lt $end ]; do
                "$cli" ports 2>/dev/null | grep -q '^output.*zsim-f' && return 0
                sleep 0.1
            done
            kill "$sim" 2>/dev/null
            wait "$sim" 2>/dev/null
            jack_down
        done
        return 1
    }
    jack_down() { # killed, as by a crash; what it leaves in /dev/shm goes
        kill -9 "$jack"
        wait "$jack" 2>/dev/null
        rm -f /dev/shm/jack_"$JACK_DEFAULT_SERVER"_* /dev/shm/jack_sem.*_"$JACK_DEFAULT_SERVER"_*
    }
    # Killed once the transfer runs, and early, while the command opens its
    # clients (libjack then frees those it has not told of the death yet).
    for run in backup send early:0.1 early:0.2 early:0.3; do
        command="${run%%:*}"
        jack_up || fail "no JACK server with the emulated device"
        rm -f "$work/out/jack.MID"
        if [ "$command" = send ]; then
            "$cli" send "$work/out/Set.MID" --port zsim-f --delay 20 --verify >/dev/null 2>"$work/jack.err" &
        else
            "$cli" backup --port zsim-f --delay 20 "$work/out/jack.MID" >/dev/null 2>"$work/jack.err" &
        fi
        job=$!
        if [ "$command" = early ]; then
            sleep "${run#*:}"
        else # once its output port is there, the transfer is under way
            for _ in $(seq 100); do jack_lsp 2>/dev/null | grep -q '^kestrow-out' && break; sleep 0.1; done
            sleep 0.5
        fi
        jack_down
        ends "$job"
        [ "$status" != timeout ] && [ "$status" -lt 128 ] && [ -s "$work/jack.err" ] &&
            [ ! -e "$work/out/jack.MID" ] && [ -z "$(temporaries "$work/out")" ] &&
            pass "$run with the JACK server killed ends with a message" ||
            fail "$run with the JACK server killed: status $status, $(cat "$work/jack.err")"
        kill "$sim" 2>/dev/null
        wait "$sim" 2>/dev/null
    done
    jack_up || fail "no JACK server with the emulated device"
    fresh_set
    port="$("$cli" ports | sed -n 's/^output  \(.*zsim-f.*\)/\1/p' | head -1)"
    inport="$("$cli" ports | sed -n 's/^input   \(.*zsim-f.*\)/\1/p' | head -1)"
    printf '[Settings]\nMidi Device=%s\nMidi InDevice=%s\n' "$port" "$inport" >>"$prog/Config.CFG"
    editor jack
    painted jack || fail "the editor on JACK did not come up"
    sleep 1 # the ports open after the first paint
    jack_down
    sleep 1
    kill -TERM "$epid"
    ends "$epid"
    [ "$status" = 0 ] && pass "the editor outlives its JACK server and saves" ||
        fail "the editor with the JACK server killed: status $status, $(tail -3 "$work/jack.err")"
    # The killed server's slot in the registry (eight servers at most) is
    # freed by a server of its name that stops cleanly.
    jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >/dev/null 2>&1 &
    jack=$!
    for _ in $(seq 100); do jack_lsp >/dev/null 2>&1 && break; sleep 0.1; done
    kill -TERM "$jack"
    ends "$jack"
else
    echo "skip  JACK cases: jackd or zembra-sim missing"
fi

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
