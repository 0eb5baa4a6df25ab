#!/usr/bin/env bash
# Installs the Debian packages that tools/make-assets needs to regenerate the pictures and sounds.
# Building and testing the program does not need them: the generated files are committed.
set -euo pipefail

packages=(librsvg2-bin libespeak-ng-dev espeak-ng-data libsox-dev fonts-dejavu-core fontconfig g++ pkg-config
    libpng-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "All asset tools are installed."
    exit 0
fi
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
