# Shared steps of the end-to-end scenarios; each scenario sources this file.
#
# A scenario runs in its own work folder with a fresh Wine prefix and its own
# X server, so scenarios can run in parallel and leave nothing running: the
# EXIT trap ends the installer copies, the prefix's wineserver and the X server.
#
# Environment (set by CTest): TOLM_INSTALLER, TOLM_DRIVER, TOLM_KESTRUN,
# TOLM_BOOK_DIR, TOLM_E2E_WORK, TOLM_SCREENSHOTS; optional TOLM_BROKEN_INSTALLER,
# and TOLM_SIGNING_CA, the certificate that verifies signed programs.
set -u

# Wine hands Unix file names and arguments over in the locale's character set;
# in a UTF-8 locale every name arrives whole, and Wine's ANSI code page is 1252.
export LANG=C.UTF-8
unset LC_ALL

e2e_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# A scenario run once per row of its table sets scenario to a name of its own first.
scenario=${scenario:-$(basename "$0" .sh)}
work=$TOLM_E2E_WORK/$scenario
failures=0
installer_pids=()
xvfb_pid=

# Generous: on a loaded machine a window or a box has been seen to take over 20
# seconds; a wait that ends sooner only ever costs a failing run its time.
readonly drive_timeout=90        # seconds for one driver command, start included
readonly driver_wait=45          # seconds the driver waits for a window
readonly installer_timeout=180   # seconds an installer copy may run
readonly desktop_size=640x400

# Every program a scenario runs comes from the installer's build tree, so the
# installer's architecture chooses Wine's loader and server for all of them.
tolm_root=$e2e_root
source "$e2e_root/scripts/wine-env"
wine_select_for "$TOLM_INSTALLER"

log() { printf '%s\n' "$*"; }
fail() { log "FAIL: $*"; failures=$((failures + 1)); }

finish() {
    local pid
    for pid in "${installer_pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    [ -n "${WINEPREFIX:-}" ] && WINEPREFIX=$WINEPREFIX "$WINESERVER" -k 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
}
trap finish EXIT

# Starts a private X server; -displayfd picks a free display without races.
start_display() {
    local numberFile=$work/display tries=0
    : >"$numberFile"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numberFile" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    until [ -s "$numberFile" ]; do
        tries=$((tries + 1))
        [ $tries -gt 100 ] && { log "no X server"; exit 1; }
        sleep 0.1
    done
    export DISPLAY=:$(head -n1 "$numberFile")
}

# A fresh prefix whose programs share one virtual desktop, so that title bars
# are drawn without a window manager; "make_prefix own-windows" leaves that out.
make_prefix() {
    export WINEPREFIX=$work/prefix
    rm -rf "$WINEPREFIX"
    "$e2e_root/scripts/wine-prefix" "$WINEPREFIX"
    [ "${1:-}" = own-windows ] || cat >>"$WINEPREFIX/user.reg" <<REG

[Software\\\\Wine\\\\Explorer] 1700000000
"Desktop"="Default"

[Software\\\\Wine\\\\Explorer\\\\Desktops] 1700000000
"Default"="$desktop_size"
REG
    user_dir=$WINEPREFIX/drive_c/users/$(whoami)
    pages_windows='C:\Program Files\Corvalin'
    pages_dir="$WINEPREFIX/drive_c/Program Files/Corvalin"
    icon_dir=$user_dir/Desktop/Tolm
    link_windows_path="C:\\users\\$(whoami)\\Desktop\\Tolm\\The Tolm Language.lnk"
}

setup() {
    rm -rf "$work"
    mkdir -p "$work" "$TOLM_SCREENSHOTS"
    start_display
    make_prefix
    log "scenario $scenario in $work"
}

# start_installer [EXE [ARGUMENTS...]]: starts an installer copy (default
# TOLM_INSTALLER) in the background; its process id is in $installer_pid, its
# output in $work/installer-N.out.
start_installer() {
    local exe=${1:-$TOLM_INSTALLER}
    [ $# -gt 0 ] && shift
    timeout "$installer_timeout" "$WINELOADER" "$exe" "$@" >"$work/installer-${#installer_pids[@]}.out" 2>&1 &
    installer_pid=$!
    installer_pids+=("$installer_pid")
}

# The programs' exit codes.
readonly exit_done=0 exit_cancelled=1602 exit_failed=1603 exit_busy=1618 exit_bad_command_line=87

# expect_exit_code WHAT RC [EXPECTED]: RC, as a Unix parent saw it, is the exit
# code EXPECTED (default 0). Such a parent gets only the code's low byte,
# which still tells every code above from the others.
expect_exit_code() {
    local what=$1 rc=$2 expected=${3:-0}
    if [ "$rc" -eq $((expected % 256)) ]; then
        log "$what exit code: $expected"
    else
        fail "$what exit code $rc, expected $expected (low byte $((expected % 256)))"
    fi
}

# expect_installer_exit PID [EXPECTED]: waits for an installer copy and checks its exit code.
expect_installer_exit() {
    local rc=0
    wait "$1" || rc=$?
    expect_exit_code installer "$rc" "${2:-0}"
}

# kill_installer PID: ends an installer copy started by start_installer at
# once, as a forced end would; PID is the timeout whose child the program is.
kill_installer() {
    local children
    children=$(cat "/proc/$1/task/$1/children" 2>/dev/null)
    [ -n "$children" ] || fail "no installer process to kill"
    kill -KILL $children 2>/dev/null
    wait "$1" 2>/dev/null
}

# z_path UNIX_PATH: a file outside the prefix as Windows programs reach it (drive Z:).
z_path() {
    printf 'Z:%s' "${1//\//\\}"
}

# installer_command [OPTIONS]: the Windows command line that starts the
# installer with OPTIONS, which stand as they are (/D= takes the rest of the line).
installer_command() {
    printf '"%s"%s' "$(z_path "$TOLM_INSTALLER")" "${1:+ $1}"
}

# watch_run COMMAND_LINE [PATH|HKLM\KEY...]: the driver starts the command
# line itself and watches it to its end (its command "watch"): every window
# of the run, the paths still there when it exited, and the exit code, exact.
# Its lines are in $out, the exit code in $run_exit.
watch_run() {
    local rc=0
    timeout $((installer_timeout + drive_timeout)) "$WINELOADER" "$TOLM_DRIVER" --timeout "$installer_timeout" \
        watch "$@" >"$work/watch.out" 2>&1 || rc=$?
    out=$(tr -d '\r' <"$work/watch.out")
    log "> watch $1"
    log "$out"
    run_exit=$(sed -n 's/^exit code: //p' <<<"$out")
    [ $rc = 0 ] || fail "the watched run did not end by itself (driver: $rc)"
}

# expect_unattended EXPECTED: the watched run showed no window, visible or
# hidden, and exited with the exit code EXPECTED exactly. The one window
# allowed is the hidden one that COM makes for the apartment of the thread
# that saves or reads the shortcut: it lives only between CoInitialize and
# CoUninitialize, so a poll sees it or not by chance, and no user ever does.
expect_unattended() {
    local windows
    windows=$(grep '^window: ' <<<"$out" | grep -vE '^window: hidden OleMainThreadWndClass: ?$')
    [ -z "$windows" ] || fail "the run had windows: $(tr '\n' ' ' <<<"$windows")"
    if [ "$run_exit" = "$1" ]; then log "exit code: $1, exactly"; else fail "exit code '$run_exit', expected $1"; fi
}

# read_run_log FILE: a program's log, each line "time<TAB>action<TAB>subject
# <TAB>result" in UTF-8; $run_log gets its lines without the time.
read_run_log() {
    local file=$1 bad
    run_log=
    [ -s "$file" ] || { fail "no log in $file"; return; }
    iconv -f UTF-8 -t UTF-8 "$file" >/dev/null 2>&1 || fail "the log is not UTF-8"
    bad=$(tr -d '\r' <"$file" | grep -vP '^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\t[^\t]+\t[^\t]*\t[^\t]*$')
    [ -z "$bad" ] || fail "log lines that are not time, action, subject and result: $(head -3 <<<"$bad")"
    run_log=$(tr -d '\r' <"$file" | cut -f2-)
}

# expect_log_line ACTION SUBJECT RESULT: the log read last holds that line.
expect_log_line() {
    local line
    line=$(printf '%s\t%s\t%s' "$1" "$2" "$3")
    grep -qxF -- "$line" <<<"$run_log" || fail "the log lacks the line '$1 | $2 | $3'"
}

# drive ARGS...: runs one driver command; its lines are in $out and logged.
drive() {
    local rc=0
    timeout "$drive_timeout" "$WINELOADER" "$TOLM_DRIVER" --timeout "$driver_wait" "$@" >"$work/driver.out" 2>&1 || rc=$?
    out=$(tr -d '\r' <"$work/driver.out")
    log "> $* -> $out"
    return $rc
}

# expect_drive EXPECTED_LINE ARGS...: the driver command prints the line.
expect_drive() {
    local expected=$1
    shift
    drive "$@" || fail "driver '$*' failed"
    grep -qxF -- "$expected" <<<"$out" || fail "driver '$*': expected '$expected'"
}

# screenshot NAME: the whole virtual desktop, as build/screenshots/SCENARIO-NAME.png.
screenshot() {
    local bmp=$work/$1.bmp
    drive screenshot "Z:${bmp//\//\\}" || { fail "screenshot $1"; return; }
    convert "$bmp" "$TOLM_SCREENSHOTS/$scenario-$1.png" && rm -f "$bmp"
}

uninstall_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kestrun'
readonly shell_folders_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'

# export_uninstall_key: the uninstall key's values into $work/key.txt, one
# '"NAME"=DATA' line each (empty when there is no key). reg query prints in the
# OEM code page, which lacks most letters; an export is UTF-16 and holds each
# value exactly, strings with each \ and " escaped by a backslash.
export_uninstall_key() {
    local file=$work/key.reg
    rm -f "$file"
    : >"$work/key.txt"
    timeout "$drive_timeout" "$WINELOADER" reg export "$uninstall_key" "Z:${file//\//\\}" /y >/dev/null 2>&1 || return 0
    iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | grep '^"' >"$work/key.txt"
    rm -f "$file"
}

# key_value NAME: a value of the last export: a string as it is, a REG_DWORD
# as a decimal number, and any other type as its export line.
key_value() {
    local line
    line=$(grep -m1 "^\"$1\"=" "$work/key.txt")
    case $line in
    "\"$1\"=dword:"*) printf '%d' "0x${line#*=dword:}" ;;
    "\"$1\"=\""*) sed 's/^"[^"]*"="\(.*\)"$/\1/; s/\\\(.\)/\1/g' <<<"$line" ;;
    *) printf '%s' "$line" ;;
    esac
}

# key_type NAME: REG_SZ, REG_DWORD, other, or absent, from the last export.
key_type() {
    local line
    line=$(grep -m1 "^\"$1\"=" "$work/key.txt")
    case $line in
    "") echo absent ;;
    "\"$1\"=dword:"*) echo REG_DWORD ;;
    "\"$1\"=\""*) echo REG_SZ ;;
    *) echo other ;;
    esac
}

# registry_value NAME: a value of the uninstall key as it is now.
registry_value() {
    export_uninstall_key
    key_value "$1"
}

# set_value KEY NAME TYPE DATA
set_value() {
    timeout "$drive_timeout" "$WINELOADER" reg add "$1" /v "$2" /t "$3" /d "$4" /f >>"$work/reg.out" 2>&1 ||
        fail "cannot set $2"
}

# require_code_page N: Wine's ANSI code page is N; otherwise the scenario
# would prove nothing about names inside or outside that code page, and ends.
require_code_page() {
    local acp
    acp=$(timeout "$drive_timeout" "$WINELOADER" reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' \
        /v ACP 2>/dev/null | tr -d '\r' | sed -n 's/^ *ACP *REG_SZ *//p')
    if [ "$acp" != "$1" ]; then
        fail "the ANSI code page is '$acp', not $1"
        conclude
    fi
    log "ANSI code page: $acp"
}

# unix_path WINDOWS_PATH: the same folder on the prefix's C: drive.
unix_path() {
    local relative=${1#C:\\}
    printf '%s/drive_c/%s' "$WINEPREFIX" "${relative//\\//}"
}

# has_uninstall_key: true when the uninstall key exists.
has_uninstall_key() {
    timeout "$drive_timeout" "$WINELOADER" reg query "$uninstall_key" >/dev/null 2>&1
}

expect_no_uninstall_key() {
    if has_uninstall_key; then
        fail "the uninstall key exists"
    else
        log "uninstall key: absent"
    fi
}

# The book's lists, from its manifest: main base names and extra file names.
manifest_list() {
    sed -n "/^\[$1\]/,/^\[/p" "$TOLM_BOOK_DIR/manifest.txt" | grep -v '^\[' | grep -v '^#' | grep -v '^ *$'
}

# expect_book_installed SPECIFIC: the pages folder holds exactly the files of
# the plain (0) or variant (1) book and the uninstaller, byte for byte.
expect_book_installed() {
    local specific=$1 index=0 name expected=$work/expected-files
    : >"$expected"
    while read -r name; do
        index=$((index + 1))
        # In the variant, the extra list replaces the 71st to 73rd pages.
        if [ "$specific" = 1 ] && [ $index -ge 71 ] && [ $index -le 73 ]; then continue; fi
        printf '%s\t%s\n' "$name.htm" "$TOLM_BOOK_DIR/$name.htm" >>"$expected"
    done < <(manifest_list main)
    if [ "$specific" = 1 ]; then
        while read -r name; do
            printf '%s\t%s\n' "$name" "$TOLM_BOOK_DIR/extra/$name" >>"$expected"
        done < <(manifest_list extra)
    fi
    printf '%s\t%s\n' "Kestrun.exe" "$TOLM_KESTRUN" >>"$expected"

    local wanted actual
    wanted=$(cut -f1 "$expected" | sort -u)
    actual=$(cd "$pages_dir" 2>/dev/null && find . -mindepth 1 -printf '%P\n' | sort)
    if [ "$wanted" != "$actual" ]; then
        fail "installed file set differs"
        diff <(echo "$wanted") <(echo "$actual") | head -20
        return
    fi
    local differ=0 source
    while IFS=$'\t' read -r name source; do
        cmp -s "$pages_dir/$name" "$source" || { fail "bytes of $name differ"; differ=1; }
    done < <(sort -u -t$'\t' -k1,1 "$expected")
    [ $differ = 0 ] && log "installed: $(wc -l <<<"$actual") files, each equal to its source"
}

readonly default_pages_windows='C:\Program Files\Corvalin'

# expect_shortcut [PAGES_FOLDER]: the one link in the icon folder opens the
# first page in PAGES_FOLDER (a Windows path; default $pages_windows).
expect_shortcut() {
    local target="${1:-$pages_windows}\\$(manifest_list main | head -n1).htm"
    [ -f "$icon_dir/The Tolm Language.lnk" ] || { fail "no shortcut in $icon_dir"; return; }
    [ "$(ls "$icon_dir")" = "The Tolm Language.lnk" ] || fail "icon folder holds more than the shortcut"
    expect_drive "target: $target" shortcut "$link_windows_path"
    grep -qxF "description: The Tolm Language" <<<"$out" || fail "shortcut description"
}

# expect_registration [PAGES_FOLDER]: the uninstall key holds every value of
# an install into PAGES_FOLDER (a Windows path; default $pages_windows), each
# with its type; EstimatedSize is the bytes of the files in pages_dir in KB,
# rounded up.
expect_registration() {
    local folder=${1:-$pages_windows} bytes name type expected actual wrong=0
    bytes=$(find "$pages_dir" -maxdepth 1 -type f -printf '%s\n' | awk '{ sum += $1 } END { print sum + 0 }')
    export_uninstall_key
    while IFS='|' read -r name type expected; do
        actual=$(key_value "$name")
        if [ "$(key_type "$name")" != "$type" ] || [ "$actual" != "$expected" ]; then
            fail "$name is $(key_type "$name") '$actual', expected $type '$expected'"
            wrong=1
        fi
    done <<VALUES
UninstallString|REG_SZ|"$folder\\Kestrun.exe"
QuietUninstallString|REG_SZ|"$folder\\Kestrun.exe" /S
DisplayName|REG_SZ|The Tolm Language
DisplayIcon|REG_SZ|$folder\\Kestrun.exe,0
DisplayVersion|REG_SZ|0.0.0.6
Publisher|REG_SZ|Corvalin
InstallLocation|REG_SZ|$folder
NoModify|REG_DWORD|1
NoRepair|REG_DWORD|1
EstimatedSize|REG_DWORD|$(((bytes + 1023) / 1024))
VALUES
    [ $wrong = 0 ] && log "registry: $(wc -l <"$work/key.txt") values, each as expected (UninstallString=$(key_value UninstallString))"
}

# expect_signed FILE: its Authenticode signature verifies against TOLM_SIGNING_CA.
expect_signed() {
    if osslsigncode verify -CAfile "$TOLM_SIGNING_CA" -in "$1" >"$work/verify.out" 2>&1; then
        log "signature verifies: $1"
    else
        fail "the signature of $1 does not verify: $(grep -o -m1 -e 'No signature found' -e 'Verify error: .*' -e 'MISMATCH.*' "$work/verify.out")"
    fi
}

# A listing of every folder the installer may write to, for before/after checks.
snapshot() {
    (cd "$WINEPREFIX/drive_c" && find "Program Files" "users" -printf '%P %s\n' | sort)
}

expect_nothing_written() {
    local before=$1
    if [ "$(snapshot)" != "$before" ]; then
        fail "files changed"
        diff <(echo "$before") <(snapshot) | head -20
    else
        log "disk: unchanged"
    fi
    expect_no_uninstall_key
}

# Walks from the welcome page forward to page N (0 welcome ... 3 options).
go_to_page() {
    local titles=("Install The Tolm Language" "Where to install book icon" "Where to install pages" "Options")
    local page
    expect_drive "title: ${titles[0]}" wait-title "${titles[0]}"
    for ((page = 1; page <= $1; page++)); do
        drive press next >/dev/null
        expect_drive "title: ${titles[page]}" wait-title "${titles[page]}"
    done
}

conclude() {
    if [ $failures -eq 0 ]; then log "PASS: $scenario"; exit 0; fi
    log "$failures failure(s) in $scenario"
    exit 1
}
