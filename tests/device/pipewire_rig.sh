#!/usr/bin/env bash
# Runs one command beside a PipeWire of its own, headless, and reached through
# PipeWire's JACK library (pw-jack): the way most desktops run JACK programs
# today, which a jackd dummy server does not show.
#
#   tests/device/pipewire_rig.sh COMMAND [ARG...]
#
# Starts a session bus, PipeWire (with a dummy driver node, since there is no
# sound hardware, so that JACK clients still get their process cycles) and
# WirePlumber, all private to this run: their own XDG_RUNTIME_DIR, state and
# config folders and, where the machine lets us make a mount namespace, their
# own /dev/shm, so no jackd or desktop session of the machine is seen. Waits
# (at most 10 s) until a JACK client gets in, runs COMMAND under pw-jack, then
# stops all it started, also when COMMAND fails or the rig is stopped by a
# signal (time-out). Exits with COMMAND's status; 125 when the rig could not
# be set up; 128+N when stopped by signal N.
set -uo pipefail

readonly kRigFailed=125
readonly kReadyWithin=10 # seconds
readonly kPackages=(pipewire pipewire-bin pipewire-jack wireplumber dbus-daemon jackd2 util-linux)

say() { echo "pipewire_rig: $*" >&2; }

if [ $# -eq 0 ]; then
    echo "usage: tests/device/pipewire_rig.sh COMMAND [ARG...]" >&2
    exit 2
fi

# In a subshell: setup.sh turns on errexit, which this script does without.
installPackages() (
    # shellcheck source=scripts/setup.sh
    source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/setup.sh" &&
        kestrow_install_packages "${kPackages[@]}"
)

# First pass: packages, then the same script again in a mount namespace of its
# own, where it can lay a fresh /dev/shm over the machine's.
if [ -z "${KESTROW_RIG_STAGE:-}" ]; then
    installPackages || { say "cannot install the packages it needs"; exit $kRigFailed; }
    if unshare --mount --propagation private true 2>/dev/null; then
        KESTROW_RIG_STAGE=namespace exec unshare --mount --propagation private -- "$BASH" "$0" "$@"
    fi
    say "no mount namespace allowed here: /dev/shm is the machine's own"
    KESTROW_RIG_STAGE=shared
fi
if [ "$KESTROW_RIG_STAGE" = namespace ]; then
    if ! mount -t tmpfs -o mode=1777,nosuid,nodev,size=256m kestrow-rig-shm /dev/shm 2>/dev/null; then
        say "cannot mount a fresh /dev/shm: it is the machine's own"
    fi
fi
unset KESTROW_RIG_STAGE

rigDir="$(mktemp -d "${TMPDIR:-/tmp}/kestrow-pipewire.XXXXXX")" || exit $kRigFailed
runtimeDir="$rigDir/runtime"
mkdir -m 0700 "$runtimeDir" "$rigDir/config" "$rigDir/state"
dbusPid=""
pipewirePid=""
wireplumberPid=""
commandGroup=""
status=$kRigFailed

# shellcheck disable=SC2317 # (called from the traps)
# Ends a process, or with "-" in front of its number a process group,
# politely and within 5 s, then not.
stopProcesses() {
    local target="$1"
    [ -n "$target" ] && [ "$target" != "-" ] || return 0
    kill -TERM -- "$target" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 -- "$target" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -KILL -- "$target" 2>/dev/null
    return 0
}

# shellcheck disable=SC2317
cleanUp() {
    # A time-out may signal us twice (timeout(1) also signals its group):
    # the second must not cut the clean-up short.
    trap '' INT TERM HUP
    trap - EXIT
    # The command and whatever it left running in its group.
    stopProcesses "-$commandGroup"
    # WirePlumber before PipeWire, which it is a client of; the bus last.
    stopProcesses "$wireplumberPid"
    stopProcesses "$pipewirePid"
    [ -n "$dbusPid" ] && kill -TERM "$dbusPid" 2>/dev/null
    rm -rf "$rigDir"
    exit "$status"
}
trap cleanUp EXIT
trap 'status=130; exit' INT
trap 'status=143; exit' TERM
trap 'status=129; exit' HUP

# No device monitors, no real-time module: a graph driven by a dummy driver
# node is all JACK clients need. PipeWire's own default cycle.
cat > "$rigDir/pipewire.conf" <<EOF
context.properties = {
    core.daemon = true
    core.name = pipewire-0
    default.clock.rate = 48000
    default.clock.allowed-rates = [ 48000 ]
    default.clock.quantum = 1024
    default.clock.min-quantum = 32
    default.clock.max-quantum = 8192
    mem.allow-mlock = false
}
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.* = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-access }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-spa-node-factory }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
    { name = libpipewire-module-session-manager }
]
context.objects = [
    { factory = spa-node-factory
        args = {
            factory.name = support.node.driver
            node.name = Dummy-Driver
            node.group = pipewire.dummy
            priority.driver = 20000
        }
    }
]
EOF

# Nothing of a desktop session the caller may be in.
unset PIPEWIRE_REMOTE PIPEWIRE_RUNTIME_DIR PIPEWIRE_CONFIG_DIR JACK_DEFAULT_SERVER JACK_NO_START_SERVER
export XDG_RUNTIME_DIR="$runtimeDir"

busInfo="$(dbus-daemon --session --fork --print-address=1 --print-pid=1 \
    --address="unix:path=$runtimeDir/bus" 2>"$rigDir/dbus.log")" || {
    say "the session bus did not start"; cat "$rigDir/dbus.log" >&2; exit; }
export DBUS_SESSION_BUS_ADDRESS="${busInfo%%$'\n'*}"
dbusPid="${busInfo##*$'\n'}"

# In sessions of their own: a Ctrl-C for the command does not stop them
# before the command has let go of them.
daemonEnv=(env XDG_CONFIG_HOME="$rigDir/config" XDG_STATE_HOME="$rigDir/state")
setsid "${daemonEnv[@]}" pipewire -c "$rigDir/pipewire.conf" >"$rigDir/pipewire.log" 2>&1 </dev/null &
pipewirePid=$!
ready=""
for _ in $(seq $((kReadyWithin * 10))); do
    if ! kill -0 "$pipewirePid" 2>/dev/null; then
        break
    fi
    if [ -S "$runtimeDir/pipewire-0" ]; then
        if [ -z "$wireplumberPid" ]; then
            setsid "${daemonEnv[@]}" wireplumber >"$rigDir/wireplumber.log" 2>&1 </dev/null &
            wireplumberPid=$!
        fi
        if timeout 3 pw-jack jack_lsp >/dev/null 2>&1; then
            ready=yes
            break
        fi
    fi
    sleep 0.1
done
if [ -z "$ready" ]; then
    say "no JACK client got into PipeWire within ${kReadyWithin} s; its log:"
    tail -n 20 "$rigDir/pipewire.log" >&2
    exit
fi
if ! kill -0 "$wireplumberPid" 2>/dev/null; then
    say "WirePlumber stopped; its log:"
    tail -n 20 "$rigDir/wireplumber.log" >&2
    exit
fi

# PipeWire's JACK library keeps its port records for reuse and never frees
# them; LeakSanitizer (in sanitizer builds) would fail every JACK program.
printf '%s\n' "leak:pipewire-0.3/jack/libjack.so" "leak:libpipewire-0.3.so" \
    >"$rigDir/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$rigDir/lsan.supp"

# The command runs as a job of its own, so that a signal to the rig is seen
# at once (not after the command ends) and stops the command's whole group.
setsid pw-jack "$@" <&0 &
commandGroup=$!
wait "$commandGroup"
status=$?
exit
