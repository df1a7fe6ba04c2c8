#!/bin/sh
# Installs the build and test dependencies that are missing, and nothing else.
# Safe to run repeatedly: when everything is present it only checks and returns.
set -eu

# Both Wine loaders: wine32 runs the 32-bit programs where the host runs
# 32-bit Linux programs, wine64 runs their 64-bit twin everywhere. osslsigncode
# and openssl sign the release, python3-yaml writes and reads its manifests.
# nsis builds the peer's installers that make bench sets beside ours.
PACKAGES="g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix wine wine32:i386 wine64 fonts-wine
xvfb xauth x11-utils cmake make googletest libgtest-dev libdeflate-dev zlib1g-dev unzip zip
imagemagick clang-14 libclang-rt-14-dev xdotool python3 osslsigncode openssl python3-yaml nsis"
root=$(cd "$(dirname "$0")/.." && pwd)

# Which Wine this host can run, found out once per setup and recorded for the
# other scripts (scripts/windows-arch).
# It says so when the answer is new: on the first setup, or on another host.
record_windows_arch() {
    before=$(cat "$root/build/windows-arch" 2>/dev/null || true)
    arch=$("$root/scripts/windows-arch" --probe)
    if [ "$arch" = 64 ] && [ -z "${TOLM_WINDOWS_ARCH:-}" ] && [ "$before" != 64 ]; then
        echo "setup: this host does not run 32-bit programs; Windows tests and make run use the 64-bit twin"
    fi
}

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $p"
    fi
done
if [ -z "$missing" ]; then
    record_windows_arch
    exit 0
fi

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
echo "setup: installing$missing"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
record_windows_arch
