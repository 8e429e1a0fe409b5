#!/usr/bin/env bash
# Installs the Debian packages the project needs, skipping those already installed.
# Usage: tools/setup-deps.sh [build|test|stress|windows|bench|screenshots|pictures]
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
          qt6-base-dev qt6-qpa-plugins qt6-translations-l10n libgl-dev fonts-arphic-uming
          fonts-noto-cjk)
case "${1:-build}" in
    test) packages+=(zbar-tools g++-mingw-w64-x86-64-posix wine64 xvfb xauth fonts-arphic-uming
                     chromium python3 lintian desktop-file-utils dpkg-dev appstream nsis
                     at-spi2-core python3-pyatspi dbus strace) ;;
    stress) packages=(stress-ng) ;;
    windows) packages=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest nsis) ;;
    # Real HTML, JavaScript and CSS for the benchmark corpus: Python's manual, MathJax, TypeScript.
    bench) packages+=(python3.11-doc libjs-mathjax node-typescript) ;;
    screenshots) packages=(wine64 xvfb xauth imagemagick xdotool fonts-arphic-uming) ;;
    pictures) packages+=(chromium imagemagick) ;;
esac

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
"${sudo[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
