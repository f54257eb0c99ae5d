#!/usr/bin/env bash
# Installs what building, testing and the demo need on Debian 12, and nothing when it is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git python3
  clang clang-format clang-tidy libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcairo2-dev libstb-dev libcli11-dev nlohmann-json3-dev
  g++-mingw-w64-x86-64 mingw-w64-tools
  wine wine64 libwine-dev xvfb xauth
  gcc-arm-none-eabi libnewlib-arm-none-eabi qemu-system-arm
  fp-utils gtkwave
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
# A fresh machine has empty package lists; fetch them first.
if [ -z "$(ls -A /var/lib/apt/lists 2>/dev/null | grep -v -E '^(lock|partial|auxfiles)$')" ]; then
  $sudo apt-get update
fi
if ! $sudo apt-get install -y --no-install-recommends "${missing[@]}"; then
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
