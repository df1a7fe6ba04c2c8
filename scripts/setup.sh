#!/bin/sh
# Installs the build and test dependencies that are missing, and nothing else.
# Safe to run repeatedly: when everything is present it only checks and returns.
set -eu

PACKAGES="g++-mingw-w64-i686 wine wine32:i386 fonts-wine xvfb xauth x11-utils cmake make
googletest libgtest-dev libdeflate-dev zlib1g-dev unzip zip imagemagick
clang-14 libclang-rt-14-dev xdotool python3"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
echo "setup: installing$missing"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
