#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Usage: scripts/deps.sh [extra-package ...]
set -euo pipefail

# libmicrohttpd (the exporter's HTTP server, TLS through GnuTLS), yaml-cpp (its web config) and
# libcrypt (bcrypt password checks) are found through pkg-config and CMake.
packages=(cmake g++ make pkg-config qt6-base-dev qt6-multimedia-dev libgl-dev libmicrohttpd-dev libyaml-cpp-dev libcrypt-dev
  fonts-dejavu-core fonts-liberation "$@")

if ! command -v dpkg-query >/dev/null; then
  echo "deps: not a Debian system; make sure these (or their equivalents) are installed: ${packages[*]}" >&2
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
