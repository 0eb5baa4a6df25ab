#!/usr/bin/env bash
# Installs what building and testing Pulsor needs from Debian's packages, skipping what is there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang
    libsdl2-dev libsdl2-mixer-dev libpng-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
    libharfbuzz-dev libfribidi-dev
    libx11-dev libpulse-dev
    libsndfile1-dev libsamplerate0-dev libsoxr-dev libebur128-dev libasound2-dev
    # The pad's voices: speech and its effects, in-process.
    libespeak-ng-dev espeak-ng-data libsox-dev
    googletest libgtest-dev libbenchmark-dev
    xvfb xdotool x11-xserver-utils pulseaudio pulseaudio-utils imagemagick time sox espeak-ng
    # The call tests run on PipeWire too (pipewire-pulse, with WirePlumber on a session bus of
    # their own); the package test validates the AppStream file.
    pipewire pipewire-pulse wireplumber dbus-daemon appstream
    # JACK 2 for the MIDI tests' server; listed with libsdl2-mixer-dev so that one apt command
    # resolves both (installed later, jackd2 would take libsdl2-mixer-dev's JACK 1 away).
    jackd2 libjack-jackd2-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
