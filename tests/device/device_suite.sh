#!/usr/bin/env bash
# The device suite: kestrow-cli against two emulated zembra devices over
# whatever MIDI system the rig around it runs (a JACK server, PipeWire's
# JACK, the kernel's ALSA sequencer with USB MIDI devices). Every transfer is
# proved by reading it back.
#   device_suite.sh BIN_DIR
# The rig says where the devices are:
#   SUITE_PORT1, SUITE_PORT2   their port names as `kestrow-cli ports` lists them
#   SUITE_UNPLUG, SUITE_REPLUG commands that take a device number (1 or 2) and
#                              unplug or plug in that device
# Inside scripts/alsa-vm these come from its KESTROW_VM_* variables.
# Without SUITE_UNPLUG the suite runs two zembra-sim processes of its own
# ("zsim-a", "zsim-b"), and unplugging one ends it (its presets kept in a
# state file), plugging it in starts it again.
set -uo pipefail

BIN="$(cd "${1:?usage: device_suite.sh BIN_DIR}" && pwd)"
CLI="$BIN/kestrow-cli"
WORK="$(mktemp -d)"
# The factory set's assignments as a zembraControl set, which the devices are.
FACTORY="$WORK/Factory.MID"
DELAY="${SUITE_DELAY:-10}"
passed=0
failed=0
sims=()

cleanup() {
    for pid in "${sims[@]}"; do [ -n "$pid" ] && kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

check() { # check LABEL EXPECTED_STATUS COMMAND...
    local label="$1" expected="$2"
    shift 2
    local out status
    out="$("$@" 2>&1)"
    status=$?
    if [ "$status" = "$expected" ]; then
        passed=$((passed + 1))
        echo "ok      $label"
    else
        failed=$((failed + 1))
        echo "FAILED  $label: exit $status, expected $expected"
        printf '%s\n' "$out" | sed 's/^/        /' | tail -n 20
    fi
}

# The port list now, output and input lines only.
ports() { "$CLI" ports 2>&1; }
# The output port names; a device's port is its name (USB devices), or holds
# it (a JACK port's full name, which the server may change when it restarts).
outputs() { ports | sed -n 's/^output  //p'; }
exact=-x
listed() { outputs | grep -q $exact -F -- "$1"; } # listed NAME
# Runs COMMAND... every 0.1 s until it succeeds, for up to 15 s.
eventually() {
    for _ in $(seq 150); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

start_sim() { # start_sim N
    local n="$1" name
    name="zsim-$([ "$n" = 1 ] && echo a || echo b)"
    # libjack's own complaints go to the log too, should the ports not be made.
    KESTROW_MIDIDRV_DEBUG=1 "$BIN/zembra-sim" --name "$name" --state "$WORK/sim$n.state" \
        >"$WORK/sim$n.log" 2>&1 &
    sims[$n]=$!
}
stop_sim() { # stop_sim N: SIGTERM, so the state file is written
    local pid="${sims[$1]:-}"
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    sims[$1]=""
}

# P1, P2: each device's output port as listed (JACK: a part only it has);
# N1, N2: what --port is given
# (the CLI takes any part of a name that only one port has).
if [ -n "${KESTROW_VM:-}" ]; then
    SUITE_PORT1="$KESTROW_VM_PORT"
    SUITE_PORT2="$KESTROW_VM_PORT #2"
    SUITE_UNPLUG="$KESTROW_VM_UNPLUG"
    SUITE_REPLUG="$KESTROW_VM_REPLUG"
fi
if [ -z "${SUITE_UNPLUG:-}" ]; then
    SUITE_UNPLUG=stop_sim
    SUITE_REPLUG=start_sim
    P1=zsim-a N1=zsim-a
    P2=zsim-b N2=zsim-b
    exact=
    # One at a time, each listed before the next. A device that could not
    # make its ports (seen once on a busy machine, with the other starting at
    # the same moment) says why and gets one more try.
    for n in 1 2; do
        start_sim "$n"
        port="$([ "$n" = 1 ] && echo "$P1" || echo "$P2")"
        eventually listed "$port" && continue
        echo "zsim $n is not listed: $(tr '\n' ' ' <"$WORK/sim$n.log")"
        stop_sim "$n"
        start_sim "$n"
    done
else
    P1="$SUITE_PORT1" N1="$SUITE_PORT1"
    P2="$SUITE_PORT2" N2="$SUITE_PORT2"
fi
unplug() { $SUITE_UNPLUG "$1"; }
replug() { $SUITE_REPLUG "$1"; }

# The devices are zembraControls: the factory set without its init values
# messages (21), which import would keep and make a zembraDial's set of.
"$CLI" export "$BIN/FactoryPresets.MID" "$WORK/Factory.syx" >/dev/null &&
    perl -0777 -pi -e 's/\xF0\x00\x20\x20\x14\x00\x21[^\xF7]*\xF7//g' "$WORK/Factory.syx" &&
    "$CLI" import "$WORK/Factory.syx" "$FACTORY" >/dev/null || { echo "no factory set"; exit 1; }
echo "device suite over: $(ports | sed -n 's/^system  //p' | paste -sd ';' -)"

check "both devices are listed" 0 eventually listed "$P2"
check "the first device is listed" 0 eventually listed "$P1"
check "no port of a Kestrow program is listed" 1 bash -c "'$CLI' ports | grep -q 'kestrow-'"
check "every MIDI system says how it is" 0 bash -c "'$CLI' ports | grep -q '^system  '"
if [ -n "${KESTROW_VM_NOBODY:-}" ]; then
    check "a user without the sequencer is told why and what to do" 0 bash -c "$KESTROW_VM_NOBODY \
        '$CLI' ports | grep -qF 'ALSA sequencer: /dev/snd/seq: permission denied — add your user to the audio group'"
fi

# Identity: what goes to the first device never reaches the second.
check "backup of the second device" 0 "$CLI" backup --port "$N2" --delay "$DELAY" "$WORK/Second.MID"
check "send to the first device, proved by read-back" 0 \
    "$CLI" send "$FACTORY" --port "$N1" --delay "$DELAY" --verify
check "the second device kept its own presets" 0 \
    "$CLI" verify "$WORK/Second.MID" --port "$N2" --delay "$DELAY"
check "the second device differs from what the first got" 1 \
    "$CLI" verify "$FACTORY" --port "$N2" --delay "$DELAY" --presets 1-99
check "backup of the first device" 0 "$CLI" backup --port "$N1" --delay "$DELAY" "$WORK/First.MID"
# (Names and descriptions stay in the files; the device holds the rest. A busy
# machine can lose a message on the way, so this send too proves itself.)
check "the backup holds what was sent: sent on to the second device" 0 \
    "$CLI" send "$WORK/First.MID" --port "$N2" --delay "$DELAY" --presets 100-128 --verify
check "the second device now holds that part of the set" 0 \
    "$CLI" verify "$FACTORY" --port "$N2" --delay "$DELAY" --presets 100-128
check "a few presets sent and verified" 0 \
    "$CLI" send "$WORK/Second.MID" --port "$N1" --delay "$DELAY" --presets 1-4,9 --verify
check "the rest of the first device is untouched" 0 \
    "$CLI" verify "$FACTORY" --port "$N1" --delay "$DELAY" --presets 10-128

# Hot-plug: a device that goes leaves the list; what is left is the other.
# (Two USB devices of one name are "NAME" and "NAME #2" while both are in;
# the one left alone is "NAME", whichever it is.)
wait_count() { eventually count_is "$1"; } # wait_count N: until N device ports are listed
count_is() { [ "$(outputs | grep -c $exact -F -e "$P1" -e "$P2")" = "$1" ]; }
left_alone() { # what --port takes for the one device listed
    if listed "$P1"; then echo "$N1"; elif listed "$P2"; then echo "$N2"; fi
}
unplug 1
check "an unplugged device leaves the list" 0 wait_count 1
check "the device left is the second one" 0 \
    "$CLI" verify "$WORK/Second.MID" --port "$(left_alone)" --delay "$DELAY" --presets 1-8
replug 1
check "a device plugged in again is listed" 0 wait_count 2
check "a device plugged in again is reached" 0 \
    "$CLI" verify "$FACTORY" --port "$N1" --delay "$DELAY" --presets 10-20

# Plugged in the other way round, each device keeps its name.
unplug 1
unplug 2
check "both devices gone" 0 wait_count 0
replug 2
check "the second device back alone" 0 wait_count 1
replug 1
check "both devices back" 0 wait_count 2
check "the first name still reaches the first device" 0 \
    "$CLI" verify "$FACTORY" --port "$N1" --delay "$DELAY" --presets 10-20
check "the second name still reaches the second device" 0 \
    "$CLI" verify "$WORK/Second.MID" --port "$N2" --delay "$DELAY" --presets 10-20

echo "device suite: $passed passed, $failed failed"
[ "$failed" = 0 ]
