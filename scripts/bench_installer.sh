#!/bin/bash
# make bench, installer section: the two programs' sizes next to their targets,
# the payload next to zip, and the time from Finish to the wizard's close for
# the book under Wine (median of several installs, each in a fresh prefix).
# Sizes are the shipped 32-bit programs'; the installs run the programs this
# host's Wine runs (scripts/windows-arch), the 64-bit twin where 32-bit Wine
# cannot run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
win=${WINDOWS_BUILD:-$root/build/windows}
installer=$win/entry/TolmSetup.exe
kestrun=$win/uninstaller/Kestrun.exe
if [ "$("$root/scripts/windows-arch")" = 64 ]; then timed=$root/build/windows64; else timed=$win; fi
timed_installer=$timed/entry/TolmSetup.exe
driver=$timed/tests/e2e/driver/wizard-driver.exe
tolm_root=$root
source "$root/scripts/wine-env"
wine_select_for "$timed_installer"
runs=${BENCH_INSTALL_RUNS:-5}
work=$root/build/bench/installer

readonly installer_target=24576     # bytes: the installer without its payload
readonly stub_anchor=34816          # bytes: the best-known small installer stub, about 34 KB
readonly kestrun_target=30720       # bytes: the limit kestrun_imports_and_size holds it to

rm -rf "$work"
mkdir -p "$work"

kb() { awk -v b="$1" 'BEGIN { printf "%.1f KB", b / 1024 }'; }

echo "== Installer and uninstaller size =="
read -r file_bytes entries payload_data payload_bytes < <(python3 "$root/scripts/pe_sizes.py" "$installer")
stub=$((file_bytes - payload_bytes))
kestrun_bytes=$(stat -c %s "$kestrun")
printf '%-44s %8d bytes (%s)\n' "TolmSetup.exe" "$file_bytes" "$(kb "$file_bytes")"
printf '%-44s %8d bytes in %d entries, %d of them archive data\n' "payload resources" \
    "$payload_bytes" "$entries" "$payload_data"
printf '%-44s %8d bytes (%s); target %s, best-known stub %s\n' "TolmSetup.exe without payload" "$stub" \
    "$(kb "$stub")" "$(kb $installer_target)" "$(kb $stub_anchor)"
printf '%-44s %8d bytes (%s); target %s\n' "Kestrun.exe" "$kestrun_bytes" "$(kb "$kestrun_bytes")" \
    "$(kb $kestrun_target)"

echo
echo "== Payload against zip (the same files: every entry unpacked) =="
# Each entry into a folder of its own: two entries carry the same file name.
files=$work/files
mkdir -p "$files"
for archive in "$win"/entry/payload-main/*.zip; do
    unzip -q -d "$files/$(basename "$archive" .zip)" "$archive"
done
count=$(find "$files" -type f | wc -l)
raw=$(find "$files" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
(cd "$files" && find . -type f | sort | zip -q -X -9 -@ "$work/all-9.zip" && find . -type f | sort | zip -q -X -0 -@ "$work/all-0.zip")
printf '%-44s %8d bytes\n' "$count files, uncompressed" "$raw"
printf '%-44s %8d bytes (%d one-file archives)\n' "payload archives (bookpack)" "$payload_data" "$entries"
printf '%-44s %8d bytes\n' "zip -9, one archive" "$(stat -c %s "$work/all-9.zip")"
printf '%-44s %8d bytes\n' "zip -0, one archive" "$(stat -c %s "$work/all-0.zip")"

echo
echo "== Finish to the wizard's close, sample book under Wine ($runs installs, $(wine_arch_of "$timed_installer")-bit programs) =="
timeout_s=60
times=()
for ((run = 1; run <= runs; run++)); do
    export WINEPREFIX=$work/prefix-$run
    "$root/scripts/wine-prefix" "$WINEPREFIX"
    # A virtual desktop: without a window manager, Wine's X11 driver waits up
    # to two seconds for each closing top-level window to be withdrawn, which
    # would swamp the figure.
    printf '\n[Software\\\\Wine\\\\Explorer] 1700000000\n"Desktop"="Default"\n[Software\\\\Wine\\\\Explorer\\\\Desktops] 1700000000\n"Default"="800x600"\n' \
        >>"$WINEPREFIX/user.reg"
    "$WINELOADER" "$timed_installer" >"$work/installer-$run.out" 2>&1 &
    pid=$!
    for title in "Install The Tolm Language" "Where to install book icon" "Where to install pages" "Options"; do
        [ "$title" = "Install The Tolm Language" ] ||
            timeout $timeout_s "$WINELOADER" "$driver" press next >>"$work/driver-$run.out" 2>&1
        timeout $timeout_s "$WINELOADER" "$driver" --timeout 30 wait-title "$title" >>"$work/driver-$run.out" 2>&1
    done
    timeout $timeout_s "$WINELOADER" "$driver" --timeout 30 finish-timed >"$work/finish-$run.out" 2>&1 || true
    wait "$pid" || true
    "$WINESERVER" -k 2>/dev/null || true
    ms=$(tr -d '\r' <"$work/finish-$run.out" | sed -n 's/^finish to close: \([0-9.]*\) ms$/\1/p')
    [ -n "$ms" ] && [ -f "$WINEPREFIX/drive_c/Program Files/Corvalin/Kestrun.exe" ] ||
        { echo "install $run did not finish; see $work"; exit 1; }
    times+=("$ms")
    rm -rf "$WINEPREFIX"
done
median=$(printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
printf '%-44s %s ms (runs: %s)\n' "median" "$median" "${times[*]}"

# The peer beside us: the same files, shortcut and key, silent, each install
# into a fresh folder of one prefix, interleaved with ours, after a warm-up of
# each. Its installers are 32-bit programs only.
echo
if ! command -v makensis >/dev/null; then
    echo "== Silent install beside the peer: makensis is not installed, no figures =="
    exit 0
fi
if [ "$(wine_arch_of "$timed_installer")" != 32 ]; then
    echo "== Silent install beside the peer: its installers need 32-bit Wine, no figures =="
    exit 0
fi
peer=$work/peer
export WINEPREFIX=$work/prefix-silent
"$root/scripts/wine-prefix" "$WINEPREFIX"
key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kestrun'
"$WINELOADER" "$timed_installer" /S '/D=C:\reference' >/dev/null 2>&1
"$WINELOADER" reg delete "$key" /f >/dev/null 2>&1 || true
mkdir -p "$peer"
cp -r "$WINEPREFIX/drive_c/reference" "$peer/files"
declare -A program=([ours]=$timed_installer)
for compressor in lzma zlib; do
    makensis -V1 -DCOMPRESSOR=$compressor -DFILES="$peer/files" -DOUT="$peer/peer-$compressor.exe" \
        "$root/tests/bench/peer_installer.nsi"
    program[$compressor]=$peer/peer-$compressor.exe
done
silent_runs=${BENCH_SILENT_RUNS:-9}
echo "== Silent install beside the peer, same files, link and key ($silent_runs rounds, interleaved) =="
printf '%-44s %8d bytes, of it %d bytes without the payload\n' "ours: TolmSetup.exe" "$file_bytes" "$stub"
for compressor in lzma zlib; do
    printf '%-44s %8d bytes\n' "peer, solid $compressor" "$(stat -c %s "${program[$compressor]}")"
done
printf '%-44s %8d bytes (documented)\n' "peer's overhead" "$stub_anchor"
# install NAME FOLDER: one silent install, its milliseconds on stdout.
install() {
    local start end
    start=$(date +%s%N)
    "$WINELOADER" "${program[$1]}" /S "/D=C:\\$2" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    "$WINELOADER" reg delete "$key" /f >/dev/null 2>&1 || true
    [ -f "$WINEPREFIX/drive_c/$2/Kestrun.exe" ] || { echo "the $1 install into $2 did not finish" >&2; exit 1; }
    echo $(((end - start) / 1000000))
}
declare -A silent_times
for name in ours lzma zlib; do install $name "warm-$name" >/dev/null; done
for ((run = 1; run <= silent_runs; run++)); do
    for name in ours lzma zlib; do silent_times[$name]+="$(install $name "$name-$run") "; done
done
for name in ours lzma zlib; do
    median=$(printf '%s\n' ${silent_times[$name]} | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
    printf '%-44s %6s ms (runs: %s)\n' "median, $name" "$median" "${silent_times[$name]% }"
done
"$WINESERVER" -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
