#!/usr/bin/env bash
# Shared by scripts/run and scripts/test: installs the Debian packages the
# project needs (only the missing ones) and builds into build/ (or another
# build directory with other options).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${KESTROW_BUILD_DIR:-$ROOT/build}"

PACKAGES=(
    build-essential dpkg-dev cmake pkg-config ninja-build clang-format
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    librtmidi-dev libgtest-dev libgmock-dev
    jackd2 libjack-jackd2-dev python3-mido
    fonts-liberation fonts-liberation2
    xvfb xauth xdotool poppler-utils
    weston qt6-wayland
    python3-pyatspi at-spi2-core dbus-daemon
    desktop-file-utils appstream
)

# What scripts/bench needs besides: qjackctl, its outside reference for the
# first paint.
BENCH_PACKAGES=(qjackctl)

# What the device suites' rigs need besides: PipeWire with its JACK library,
# and for the ALSA sequencer a virtual machine with Debian's own kernel.
VM_PACKAGES=(qemu-system-x86 linux-image-amd64 busybox-static alsa-utils cpio kmod util-linux)
TEST_PACKAGES=(pipewire pipewire-bin pipewire-jack wireplumber dbus-daemon "${VM_PACKAGES[@]}")

# kestrow_install_packages [PACKAGE...]: the missing ones of those given
# (PACKAGES without any).
kestrow_install_packages() {
    local wanted=("$@")
    [ ${#wanted[@]} -gt 0 ] || wanted=("${PACKAGES[@]}")
    local missing=()
    local p
    for p in "${wanted[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing Debian packages: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    # jackd2 asks about real-time priority; answer it without a prompt.
    echo "jackd2 jackd/tweak_rt_limits boolean false" | $sudo debconf-set-selections 2>/dev/null || true
    $sudo apt-get update -qq
    # INITRD=No: the virtual machine boots Debian's kernel with an initramfs
    # of its own; building Debian's would take minutes for nothing.
    $sudo env DEBIAN_FRONTEND=noninteractive INITRD=No \
        apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# kestrow_build [build dir [cmake options...]]
kestrow_build() {
    local dir="${1:-$BUILD_DIR}"
    local args=("${@:2}")
    # Only an explicit KESTROW_WERROR changes the cached choice, so running
    # the editor after the tests does not rebuild everything with other flags.
    if [ -n "${KESTROW_WERROR:-}" ]; then args+=("-DKESTROW_WERROR=$KESTROW_WERROR"); fi
    cmake -S "$ROOT" -B "$dir" -G Ninja "${args[@]}" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}
