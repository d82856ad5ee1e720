#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Tarnell and
# Kestrin need, so that a fresh Debian 12 machine needs nothing else.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config
  # the house style, checked by CI, and the bug-prone checks of tools/tidy.sh
  clang-format clang-tidy
  # tests (locales: Kestrin's tests build a decimal-comma locale with localedef)
  googletest libgtest-dev locales
  # the independent check of reports and the real-world tests
  python3
  # the Python module tarnell (pybind11), its tests and its adapters and benchmark
  pybind11-dev python3-dev python3-numpy python3-pytest python3-pymatgen python3-ase
  # space-group tables and CIF reading (headers only; the CIF parser needs PEGTL, stb for its helpers)
  gemmi-dev tao-pegtl-dev libstb-dev
  # the JSON output
  nlohmann-json3-dev
  # fuzzing the readers (tools/fuzz.sh): clang with libFuzzer and the sanitizer runtimes
  clang libclang-rt-14-dev
  # Kestrin
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-qpa-plugins
  # Kestrin looking right on a bare machine, and headless window tests
  fonts-liberation fonts-noto-cjk xvfb xauth x11-utils xdg-utils
)

if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
