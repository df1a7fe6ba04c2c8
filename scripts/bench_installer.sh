#!/bin/bash
# make bench, installer section: the two programs' sizes next to the limits their
# size tests hold them at,
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

# The limits the size tests hold the programs at (tests/unit/CMakeLists.txt).
size_limit() { sed -n "s/^ *set($1 \([0-9]*\))$/\1/p" "$root/tests/unit/CMakeLists.txt" | head -n1; }
stub_limit=$(size_limit stub_limit)
kestrun_limit=$(size_limit kestrun_limit)
readonly peer_documented_overhead=34816   # bytes: what the peer documents its installer adds to the files

rm -rf "$work"
mkdir -p "$work"

kb() { awk -v b="$1" 'BEGIN { printf "%.1f KB", b / 1024 }'; }
# median_of "N N ...": the median of the numbers.
median_of() { printf '%s\n' $1 | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# elapsed_ms COMMAND...: runs it, output dropped and failure ignored; its milliseconds on stdout.
elapsed_ms() {
    local start
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    echo $((($(date +%s%N) - start) / 1000000))
}

echo "== Installer and uninstaller size =="
read -r file_bytes entries payload_data payload_bytes < <(python3 "$root/scripts/pe_sizes.py" "$installer")
stub=$((file_bytes - payload_bytes))
kestrun_bytes=$(stat -c %s "$kestrun")
printf '%-44s %8d bytes (%s)\n' "TolmSetup.exe" "$file_bytes" "$(kb "$file_bytes")"
printf '%-44s %8d bytes in %d entries, %d of them archive data\n' "payload resources" \
    "$payload_bytes" "$entries" "$payload_data"
printf '%-44s %8d bytes (%s); held at %d\n' "TolmSetup.exe without payload" "$stub" "$(kb "$stub")" \
    "$stub_limit"
printf '%-44s %8d bytes (%s); held at %d\n' "Kestrun.exe" "$kestrun_bytes" "$(kb "$kestrun_bytes")" \
    "$kestrun_limit"
for program in "$installer" "$kestrun"; do
    echo
    echo "What each part of $(basename "$program") costs, in bytes:"
    python3 "$root/scripts/pe_sizes.py" --parts "$program"
done

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
printf '%-44s %s ms (runs: %s)\n' "median" "$(median_of "${times[*]}")" "${times[*]}"

# The peer beside us, in one table: the same files, shortcut and key, each
# installer built solid with LZMA and with zlib, and once with no files (its
# stub); each install silent into a fresh folder of one prefix, interleaved
# with ours, after a warm-up of each. The floor is a program that only starts,
# reads its command line and exits: Kestrun.exe refusing an unknown option
# silently. The peer's installers are 32-bit programs only.
echo
if ! command -v makensis >/dev/null; then
    echo "== Beside the peer: makensis is not installed (make setup installs it), no figures =="
    exit 0
fi
peer=$work/peer
export WINEPREFIX=$work/prefix-silent
"$root/scripts/wine-prefix" "$WINEPREFIX"
key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kestrun'
"$WINELOADER" "$timed_installer" /S '/D=C:\reference' >/dev/null 2>&1
"$WINELOADER" reg delete "$key" /f >/dev/null 2>&1 || true
mkdir -p "$peer/empty"
cp -r "$WINEPREFIX/drive_c/reference" "$peer/files"
declare -A program=([ours]=$timed_installer)
for build in lzma zlib empty; do
    compressor=$build files=$peer/files
    [ "$build" = empty ] && compressor=lzma files=$peer/empty
    makensis -V1 -DCOMPRESSOR=$compressor -DFILES="$files" -DOUT="$peer/peer-$build.exe" \
        "$root/tests/bench/peer_installer.nsi"
    program[$build]=$peer/peer-$build.exe
done
timing=yes
[ "$(wine_arch_of "$timed_installer")" = 32 ] || timing=
silent_runs=${BENCH_SILENT_RUNS:-9}
# install NAME FOLDER: one silent install, its milliseconds on stdout.
install() {
    local ms
    ms=$(elapsed_ms "$WINELOADER" "${program[$1]}" /S "/D=C:\\$2")
    "$WINELOADER" reg delete "$key" /f >/dev/null 2>&1 || true
    [ -f "$WINEPREFIX/drive_c/$2/Kestrun.exe" ] || { echo "the $1 install into $2 did not finish" >&2; exit 1; }
    echo "$ms"
}
# floor: the start-and-exit program, its milliseconds on stdout.
floor() { elapsed_ms "$WINELOADER" "$timed/uninstaller/Kestrun.exe" /S /unknown; }
declare -A silent
if [ -n "$timing" ]; then
    for name in ours lzma zlib; do install $name "warm-$name" >/dev/null; done
    floor >/dev/null
    for ((run = 1; run <= silent_runs; run++)); do
        for name in ours lzma zlib; do silent[$name]+="$(install $name "$name-$run") "; done
        silent[floor]+="$(floor) "
    done
    echo "== Beside the peer: same files, link and key; silent install under Wine, median of $silent_runs interleaved rounds after a warm-up =="
else
    echo "== Beside the peer: same files, link and key (its installers need 32-bit Wine: no times on this host) =="
fi
# row LABEL FILE_BYTES STUB_BYTES TIMES
row() {
    local ms=-
    [ -n "$4" ] && ms="$(median_of "$4") ms"
    printf '%-30s %12s %16s %10s   %s\n' "$1" "$2" "$3" "$ms" "${4% }"
}
printf '%-30s %12s %16s %10s   %s\n' "" "file bytes" "without payload" "install" "runs (ms)"
row "ours, TolmSetup.exe" "$file_bytes" "$stub" "${silent[ours]:-}"
row "peer, solid LZMA" "$(stat -c %s "${program[lzma]}")" "" "${silent[lzma]:-}"
row "peer, solid zlib" "$(stat -c %s "${program[zlib]}")" "" "${silent[zlib]:-}"
row "peer, no files" "$(stat -c %s "${program[empty]}")" "$(stat -c %s "${program[empty]}")" ""
row "peer, documented overhead" "" "$peer_documented_overhead" ""
row "floor: start, read, exit" "" "" "${silent[floor]:-}"
"$WINESERVER" -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
