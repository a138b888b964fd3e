#!/usr/bin/env bash
# Installs, with apt only, the Debian packages the build and the tests need
# and that this machine does not have yet.
set -euo pipefail

packages=(
    cmake ninja-build ccache g++ clang libclang-rt-14-dev
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
    googletest libbenchmark-dev libsqlite3-dev sqlite3 postgresql libpq-dev
    libical-dev zlib1g-dev python3-icalendar
    wine64 fonts-wine fonts-ipafont locales
    xvfb xauth x11-utils xdotool xclip imagemagick
    msitools wixl lintian systemd
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
