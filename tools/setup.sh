#!/usr/bin/env bash
# Installs every Debian package Quillmorph needs to build, test and run, when missing.
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail

# Every library that CMake or pkg-config links is named here, even where another package
# usually brings it: libwmf's pkg-config file links expat, X11 and FreeType, and
# libwmf-dev does not depend on libexpat1-dev.
packages=(
  build-essential cmake ninja-build pkg-config git file
  qt6-base-dev qt6-svg-dev libgl-dev
  libpng-dev zlib1g-dev libdeflate-dev libjpeg-dev libtiff-dev
  libwmf-dev libemf2svg-dev libexpat1-dev libx11-dev libfreetype-dev
  # The converter's argument parser; headers only, nothing linked at run time.
  libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format clang-tidy
  scdoc desktop-file-utils appstream
  fonts-dejavu-core fonts-dejavu-extra
  xvfb xauth locales
  # Test-time tools only, never linked: the corpus test reads every file with both.
  imagemagick python3 python3-pil
)

# Node.js and npm run the emulator test (jsbeeb from npm); one already on the PATH is kept.
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  packages+=(nodejs npm)
fi

# The tests check that numbers are written with "." under a locale with a decimal comma.
ensure_test_locale() {
  if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    "${sudo_cmd[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
  fi
}

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi

if ((${#missing[@]} == 0)); then
  ensure_test_locale
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
ensure_test_locale
