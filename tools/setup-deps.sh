#!/usr/bin/env bash
# Installs the Debian packages the project needs, skipping those already installed.
# Usage: tools/setup-deps.sh [build|test|stress|windows|bench|screenshots|pictures|slowdevice]
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
          qt6-base-dev qt6-qpa-plugins qt6-translations-l10n libgl-dev fonts-arphic-uming
          fonts-noto-cjk)
case "${1:-build}" in
    test) packages+=(zbar-tools g++-mingw-w64-x86-64-posix wine64 xvfb xauth fonts-arphic-uming
                     chromium python3 lintian desktop-file-utils dpkg-dev appstream nsis
                     at-spi2-core python3-pyatspi dbus strace locales libc-l10n) ;;
    stress) packages=(stress-ng) ;;
    # The device model of bench/slow-device.sh and bench/device-checks.sh: a FUSE file system in
    # Python, ext4 on a loop, exFAT through FUSE.
    slowdevice) packages=(python3-fusepy fuse3 e2fsprogs util-linux bc exfat-fuse exfatprogs) ;;
    # The shares of bench/share-checks.sh: Samba through smbnetfs, and SFTP through sshfs.
    shares) packages=(samba smbnetfs openssh-server openssh-client sshfs fuse3) ;;
    windows) packages=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest nsis) ;;
    # Real HTML, JavaScript and CSS for the benchmark corpus: Python's manual, MathJax, TypeScript.
    bench) packages+=(python3.11-doc libjs-mathjax node-typescript) ;;
    screenshots) packages=(wine64 xvfb xauth imagemagick xdotool fonts-arphic-uming) ;;
    pictures) packages+=(chromium imagemagick) ;;
esac

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi

# The command line's tests read the C library's Chinese words for a system error.
make_test_locale() {
    if [ "${1:-build}" = test ] && ! locale -a | grep -qx 'zh_CN.utf8'; then
        "${sudo[@]}" localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
    fi
}

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    make_test_locale "${1:-build}"
    exit 0
fi

echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
make_test_locale "${1:-build}"
