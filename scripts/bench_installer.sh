#!/bin/bash
# make bench, installer section: the two programs' sizes next to the limits
# their size tests hold them at, the payload next to zip, and one table beside
# the peer (an installer that makensis builds from tests/bench/peer_installer.nsi):
# a fresh silent install, a silent update, the start floor and the wizard's
# install to its close, median of alternating rounds under Wine; then where
# ours spends the time of an install and of an update (scripts/profile-log).
# Sizes are the shipped 32-bit programs'; the installs run the programs this
# host's Wine runs (scripts/windows-arch): the 32-bit ones and the peer built
# with its x86 stubs, or the 64-bit twin and the peer with its amd64 stubs.
#
# BENCH_ROUNDS (default 9) sets the number of rounds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
win=${WINDOWS_BUILD:-$root/build/windows}
installer=$win/entry/TolmSetup.exe
kestrun=$win/uninstaller/Kestrun.exe
arch=$("$root/scripts/windows-arch")
if [ "$arch" = 64 ]; then timed=$root/build/windows64 target=amd64-unicode; else timed=$win target=x86-unicode; fi
timed_installer=$timed/entry/TolmSetup.exe
timed_kestrun=$timed/uninstaller/Kestrun.exe
driver=$timed/tests/e2e/driver/wizard-driver.exe
tolm_root=$root
source "$root/scripts/wine-env"
wine_select "$arch"
rounds=${BENCH_ROUNDS:-9}
[[ $rounds =~ ^[1-9][0-9]*$ ]] || { echo "BENCH_ROUNDS must be a whole number above 0, not '$rounds'" >&2; exit 2; }
work=$root/build/bench/installer

# The limits the size tests hold the programs at (tests/unit/CMakeLists.txt).
size_limit() { sed -n "s/^ *set($1 \([0-9]*\))$/\1/p" "$root/tests/unit/CMakeLists.txt" | head -n1; }
stub_limit=$(size_limit stub_limit)
kestrun_limit=$(size_limit kestrun_limit)
readonly peer_documented_overhead=34816   # bytes: what the peer documents its installer adds to the files

# A bench that was killed may have left the servers of its prefixes running.
for prefix in "$work"/prefix-*; do
    [ -f "$prefix/system.reg" ] || continue
    (wine_select "$(wine_prefix_arch "$prefix")" && WINEPREFIX=$prefix "$WINESERVER" -k 2>/dev/null) || true
done
rm -rf "$work"
mkdir -p "$work"

kb() { awk -v b="$1" 'BEGIN { printf "%.1f KB", b / 1024 }'; }
# median_of "N N ...": the median of the numbers.
median_of() { printf '%s\n' $1 | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# ratio_of A B: A / B to two places, or - without both.
ratio_of() { [ -n "$1" ] && [ -n "$2" ] && awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }' || echo -; }
# timed COMMAND...: runs it, its output dropped; sets ms to its milliseconds
# and rc to its exit status (a Windows exit code's low byte).
timed() {
    local start
    start=$(date +%s%N)
    rc=0
    "$@" >/dev/null 2>&1 || rc=$?
    ms=$((($(date +%s%N) - start) / 1000000))
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
if ! command -v makensis >/dev/null; then
    echo "== Beside the peer: makensis is not installed (make setup installs it), no figures =="
    exit 0
fi

# Every Wine server the bench starts ends with it, whatever stops it, and its
# prefixes go.
silent_prefix=$work/prefix-silent
wizard_prefix=$work/prefix-wizard
stop_servers() {
    local prefix
    for prefix in "$silent_prefix" "$wizard_prefix"; do
        [ -f "$prefix/system.reg" ] && WINEPREFIX=$prefix "$WINESERVER" -k 2>/dev/null || true
        rm -rf "$prefix"
    done
}
trap stop_servers EXIT
trap 'exit 130' INT TERM

# One prefix holds every silent run; its server and Wine's own processes are
# kept running between them (-p), so that no run pays for their start.
export WINEPREFIX=$silent_prefix
"$root/scripts/wine-prefix" "$WINEPREFIX"
"$WINESERVER" -p
key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kestrun'
# forget: the key and the shortcut go, so that the next install finds neither.
forget() {
    "$WINELOADER" reg delete "$key" /f >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"/drive_c/users/*/Desktop/Tolm
}
# The peer installs what a silent install of ours leaves in its folder.
"$WINELOADER" "$timed_installer" /S '/D=C:\reference' >/dev/null 2>&1 ||
    { echo "the silent install of ours that the peer's files come from failed" >&2; exit 1; }
forget
peer=$work/peer
mkdir -p "$peer/empty"
cp -r "$WINEPREFIX/drive_c/reference" "$peer/files"

# peer_build NAME STUBS COMPRESSOR FILES [-DWIZARD]: builds peer-NAME.exe.
peer_build() {
    makensis -V1 -DTARGET="$2" -DCOMPRESSOR="$3" -DFILES="$4" ${5:-} -DOUT="$peer/peer-$1.exe" \
        "$root/tests/bench/peer_installer.nsi"
}
# The sizes: with the x86 stubs and the shipped Kestrun.exe, as beside the
# shipped 32-bit programs, whichever programs run here.
mkdir -p "$peer/files-x86"
cp -r "$peer/files/." "$peer/files-x86"
cp "$kestrun" "$peer/files-x86/Kestrun.exe"
peer_build lzma-x86 x86-unicode lzma "$peer/files-x86"
peer_build zlib-x86 x86-unicode zlib "$peer/files-x86"
peer_build empty-x86 x86-unicode lzma "$peer/empty"
echo "== Beside the peer: the same files, link and key; sizes as 32-bit programs =="
# size_row LABEL FILE_BYTES STUB_BYTES
size_row() { printf '%-30s %12s %16s\n' "$1" "$2" "$3"; }
size_row "" "file bytes" "without payload"
size_row "ours, TolmSetup.exe" "$file_bytes" "$stub"
size_row "peer, solid LZMA" "$(stat -c %s "$peer/peer-lzma-x86.exe")" ""
size_row "peer, solid zlib" "$(stat -c %s "$peer/peer-zlib-x86.exe")" ""
size_row "peer, no files" "$(stat -c %s "$peer/peer-empty-x86.exe")" "$(stat -c %s "$peer/peer-empty-x86.exe")"
size_row "peer, documented overhead" "" "$peer_documented_overhead"

# The programs timed: ours of this host's architecture, the peer built with
# the stubs of the same.
# The peer is the solid LZMA build; zlib is the solid zlib one, timed beside
# it for the silent installs.
stubs=${target%-unicode}
if [ "$stubs" != x86 ]; then
    peer_build lzma-$stubs "$target" lzma "$peer/files"
    peer_build zlib-$stubs "$target" zlib "$peer/files"
    peer_build empty-$stubs "$target" lzma "$peer/empty"
fi
peer_build wizard-$stubs "$target" lzma "$peer/files" -DWIZARD
declare -A program=([ours]=$timed_installer [peer]=$peer/peer-lzma-$stubs.exe [zlib]=$peer/peer-zlib-$stubs.exe
    [empty]=$peer/peer-empty-$stubs.exe [wizard]=$peer/peer-wizard-$stubs.exe)
for name in "${!program[@]}"; do
    [ "$(wine_arch_of "${program[$name]}")" = "$arch" ] ||
        { echo "${program[$name]} is not a $arch-bit program" >&2; exit 1; }
done

# In each round every row is timed for ours, then for the peer. Round 0 is
# the warm-up and counts for nothing. runs[ROW NAME] collects the times.
declare -A runs
failed_runs=0
# record ROW NAME: adds ms to the row's runs, outside the warm-up.
record() { [ "$round" = 0 ] || runs[$1 $2]+="$ms "; }
# expect_rc CODE WHAT: stops the bench when the last run did not exit with CODE.
expect_rc() { [ "$rc" = "$1" ] || { echo "round $round: $2 exited $rc, not $1" >&2; exit 1; }; }
# finished NAME FOLDER: its uninstaller is in the folder; then forget.
finished() {
    [ -f "$WINEPREFIX/drive_c/$2/Kestrun.exe" ] ||
        { echo "round $round: the $1 install into C:\\$2 did not finish" >&2; exit 1; }
    forget
}

# fresh NAME: a silent install into a new folder.
fresh() {
    local folder=fresh-$1-$round
    timed "$WINELOADER" "${program[$1]}" /S "/D=C:\\$folder"
    expect_rc 0 "the fresh install of $1"
    finished "$1" "$folder"
    record fresh "$1"
}

# update NAME: a silent install into a new folder, left in place with its
# key, then the timed one over it.
update() {
    local folder=update-$1-$round
    timed "$WINELOADER" "${program[$1]}" /S "/D=C:\\$folder"
    expect_rc 0 "the first install of $1"
    timed "$WINELOADER" "${program[$1]}" /S "/D=C:\\$folder"
    expect_rc 0 "the update of $1"
    finished "$1" "$folder"
    record update "$1"
}

# floor NAME: ours is a program that starts, reads its command line and exits:
# Kestrun.exe refusing an unknown option silently (87, a bad command line).
# The peer's is its installer with no files, run silently.
floor() {
    if [ "$1" = ours ]; then
        timed "$WINELOADER" "$timed_kestrun" /S /unknown
        expect_rc 87 "Kestrun.exe /S /unknown"
    else
        timed "$WINELOADER" "${program[empty]}" /S "/D=C:\\floor-$round"
        expect_rc 0 "the peer's installer with no files"
        forget
    fi
    record floor "$1"
}

# wizard NAME: the wizard in a prefix of its own, from the press that
# installs to its window's close, timed in the driver's process. Ours is
# walked through its four pages and Finish pressed; the peer's Install on its
# folder page. A run that cannot be timed is told and counts as failed.
wizard() {
    local pid out=$work/wizard-$1-$round.out timeout_s=120 line title step rc=0
    export WINEPREFIX=$wizard_prefix
    "$root/scripts/wine-prefix" "$WINEPREFIX"
    # A virtual desktop: without a window manager, Wine's X11 driver waits up
    # to two seconds for each closing top-level window to be withdrawn, which
    # would swamp the figure.
    printf '\n[Software\\\\Wine\\\\Explorer] 1700000000\n"Desktop"="Default"\n[Software\\\\Wine\\\\Explorer\\\\Desktops] 1700000000\n"Default"="800x600"\n' \
        >>"$WINEPREFIX/user.reg"
    : >"$out"
    if [ "$1" = ours ]; then
        "$WINELOADER" "$timed_installer" >/dev/null 2>&1 &
        pid=$!
        # Finish is pressed only on the last page: pressed elsewhere, it would
        # close the wizard without an install.
        for title in "Install The Tolm Language" "Where to install book icon" "Where to install pages" "Options"; do
            step=("wait-title" "$title")
            if [ "$title" != "Install The Tolm Language" ]; then
                timeout $timeout_s "$WINELOADER" "$driver" press next >>"$out" 2>&1 || { rc=$? step=(press next); break; }
            fi
            timeout $timeout_s "$WINELOADER" "$driver" --timeout 60 "${step[@]}" >>"$out" 2>&1 || { rc=$?; break; }
        done
        if [ "$rc" = 0 ]; then
            timeout $timeout_s "$WINELOADER" "$driver" --timeout 60 finish-timed >>"$out" 2>&1 || true
        else
            echo "the step '${step[*]}' failed (exit $rc)" >>"$out"
        fi
    else
        "$WINELOADER" "${program[wizard]}" >/dev/null 2>&1 &
        pid=$!
        timeout $timeout_s "$WINELOADER" "$driver" --timeout 60 press-timed \
            "The Tolm Language Setup: Installation Folder" 1 >>"$out" 2>&1 || true
    fi
    line=$(tr -d '\r' <"$out" | sed -n 's/^\(finish\|press\) to close: \([0-9.]*\) ms$/\2/p')
    # A window still open ends with its server.
    [ -n "$line" ] || "$WINESERVER" -k 2>/dev/null || true
    wait "$pid" || true
    "$WINESERVER" -k 2>/dev/null || true
    if [ -n "$line" ] && [ -f "$WINEPREFIX/drive_c/Program Files/Corvalin/Kestrun.exe" ]; then
        ms=$line
        record wizard "$1"
    else
        echo "round $round: the wizard of $1 could not be timed or did not install" \
            "($(tr -d '\r' <"$out" | tail -n1)); see $out"
        [ "$round" = 0 ] || failed_runs=$((failed_runs + 1))
    fi
    rm -rf "$WINEPREFIX"
    export WINEPREFIX=$silent_prefix
}

host_kind=$(env -u TOLM_WINDOWS_ARCH "$root/scripts/windows-arch")
echo
echo "== Beside the peer: silent installs and the wizard under Wine, $arch-bit programs =="
echo "Ours: $([ "$arch" = 64 ] && echo "the 64-bit twin" || echo "the shipped 32-bit programs"); the peer: built with its" \
    "$target stubs. On a host that runs $([ "$host_kind" = 32 ] && echo "32-bit programs" || echo "only 64-bit programs")$(
    [ "$arch" = "$host_kind" ] || echo ", by TOLM_WINDOWS_ARCH=$arch")."
echo "Medians of $rounds rounds after a warm-up round; every row runs ours first in odd rounds and last in even ones."
# The first run of a row follows the last row's runs in another prefix, and
# pays for what Wine has let go cold meanwhile (the shortcut's helper process
# among them, some 100 ms): the order turns each round, so that neither side
# always pays it.
for ((round = 0; round <= rounds; round++)); do
    if ((round % 2)); then order=(ours peer zlib); else order=(zlib peer ours); fi
    for name in "${order[@]}"; do fresh $name; done
    for name in "${order[@]}"; do update $name; done
    for name in "${order[@]}"; do [ "$name" = zlib ] || floor $name; done
    for name in "${order[@]}"; do [ "$name" = zlib ] || wizard $name; done
done

# median_of_runs ROW NAME: the median of its runs, nothing without runs.
median_of_runs() { [ -z "${runs[$1 $2]:-}" ] || median_of "${runs[$1 $2]}"; }
# ms_or_dash MS: whole milliseconds, or - for nothing.
ms_or_dash() { if [ -n "$1" ]; then printf '%.0f ms' "$1"; else echo -; fi; }
# table_row LABEL ROW: the medians of ours and the peer, their ratio, and the
# peer built with zlib where it ran.
table_row() {
    local ours peer zlib
    ours=$(median_of_runs "$2" ours)
    peer=$(median_of_runs "$2" peer)
    zlib=$(median_of_runs "$2" zlib)
    printf '%-36s %10s %10s %10s %12s\n' "$1" "$(ms_or_dash "$ours")" "$(ms_or_dash "$peer")" \
        "$(ratio_of "$ours" "$peer")" "$(ms_or_dash "$zlib")"
}
printf '%-36s %10s %10s %10s %12s\n' "median" "ours" "peer" "ours/peer" "peer, zlib"
table_row "fresh install, silent" fresh
table_row "update: the same install again" update
table_row "start floor" floor
table_row "wizard: Finish or Install to close" wizard
cat <<'NOTES'
Fresh: /S /D= into a new folder of one prefix; the key and the shortcut are deleted after each.
Update: the same again into the folder of an install left in place, with its key and shortcut.
Start floor: ours is Kestrun.exe /S /unknown (it starts, reads its command line, refuses it and
exits); the peer's is its installer with no files run silently (it still makes the link and key).
Wizard: ours from Finish after its four pages, the peer's from Install on its folder page, each to
its window's close, timed inside the driver's process, each run in a fresh prefix. Every other
time includes Wine's start of the process. Peer: the solid LZMA build; zlib: the solid zlib one.
NOTES
echo
echo "All runs (ms), round by round:"
for row in fresh update floor wizard; do
    for name in ours peer zlib; do
        if [ -n "${runs[$row $name]:-}" ]; then printf '%-8s %-6s %s\n' "$row" "$name" "${runs[$row $name]% }"; fi
    done
done
[ "$failed_runs" = 0 ] || echo "$failed_runs wizard runs could not be timed (listed above): their rows have fewer runs"

# Where ours spends the time of one install and one update: the log it writes
# with /LOG=, by phase. The log's writing adds a little to each.
echo
echo "== Where ours spends its time: the log of one silent install, by phase (scripts/profile-log) =="
round=profile
for run in fresh update; do
    if [ "$run" = update ]; then
        timed "$WINELOADER" "$timed_installer" /S "/D=C:\\profile-$run"
        expect_rc 0 "the install that the logged update goes over"
    fi
    timed "$WINELOADER" "$timed_installer" /S "/LOG=C:\\profile-$run.log" "/D=C:\\profile-$run"
    expect_rc 0 "the logged $run install"
    finished ours "profile-$run"
    echo
    echo "-- $([ "$run" = fresh ] && echo "a fresh install" || echo "an update over the install just made"):" \
        "$ms ms from the process's start to its exit"
    "$root/scripts/profile-log" "$WINEPREFIX/drive_c/profile-$run.log"
done
[ "$failed_runs" = 0 ]
