#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need,
# but only when some are missing, so repeated runs cost nothing.
set -euo pipefail

packages=(
  libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev libfreetype-dev libcairo2-dev
  libcurl4-openssl-dev gettext libtidy-dev libmxml-dev pkg-config cmake make g++
  libgtest-dev xvfb xauth xdotool x11-utils x11-xkb-utils libx11-dev imagemagick fonts-dejavu-core
  ttf-bitstream-vera libgl1-mesa-dri libglx-mesa0 ca-certificates
  desktop-file-utils appstream groff-base
)

# `--bench` adds the reference programs the benchmarks compare against.
if [ "${1:-}" = "--bench" ]; then
  packages+=(osmium-tool gpsbabel)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing Debian packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
