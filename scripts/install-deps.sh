#!/usr/bin/env bash
# Installs what Quillon needs to build (and, with --test, to run its tests) from
# Debian 12's packages. Packages already installed are left alone.
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev qt6-webengine-dev qt6-serialport-dev
          qt6-httpserver-dev qt6-websockets-dev qt6-tools-dev libphonenumber-dev libgumbo-dev fonts-liberation
          pkg-config libxlsxwriter-dev libminizip-dev)
if [[ "${1:-}" == "--test" ]]; then
    packages+=(xvfb xauth poppler-utils socat desktop-file-utils appstream dpkg-dev file
              python3-vobject python3-openpyxl)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y "${missing[@]}"
