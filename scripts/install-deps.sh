#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12 (run as root). Installs only
# what is missing, so a second run is quick.
set -euo pipefail
packages=(cmake ninja-build g++ clang clang-format clang-tidy libclang-rt-14-dev
          qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev
          libdbd-xbase-perl perl xvfb xauth imagemagick ffmpeg fonts-dejavu-core locales
          librsvg2-bin groff-base desktop-file-utils appstream dpkg-dev file ccache pkg-config
          libmediainfo-dev libzip-dev python3-dbfread poppler-utils)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# A Polish locale in the system's archive, for the probe's decimal-comma test: without it the
# test compiles one into a temporary folder and names it in LOCPATH, and glibc's newlocale()
# never frees the search list it builds from LOCPATH, which the sanitizer run reports as a leak.
if ! locale -a 2>/dev/null | grep -qix 'pl_PL.utf8'; then
    localedef -i pl_PL -f UTF-8 pl_PL.UTF-8
fi
