#!/usr/bin/env bash
# Runs COMMAND beside a JACK server of its own (jackd2's dummy backend, no
# sound hardware), made the default server for COMMAND; stops it afterwards.
#   jackd_rig.sh COMMAND...
set -uo pipefail

name="kestrow-rig-$$"
export JACK_DEFAULT_SERVER="$name" JACK_NO_START_SERVER=1
log="$(mktemp)"
# -S: synchronous, so a client slowed by a busy machine (or the sanitizers)
# delays the cycle instead of losing its MIDI; -t lets it be late.
jackd -S -r -t 5000 -n "$name" -d dummy -r 48000 -p 256 >"$log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -f "$log"' EXIT

for _ in $(seq 100); do
    jack_lsp >/dev/null 2>&1 && break
    kill -0 "$server" 2>/dev/null || { echo "jackd_rig: jackd ended:"; cat "$log"; exit 1; }
    sleep 0.1
done
jack_lsp >/dev/null 2>&1 || { echo "jackd_rig: jackd does not answer"; cat "$log"; exit 1; }
"$@"
