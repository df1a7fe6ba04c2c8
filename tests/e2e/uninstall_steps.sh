# Steps shared by the uninstall scenarios; sourced after lib.sh.
#
# Environment (set by CTest) besides lib.sh's: TOLM_FIXTURE, the bookfixture
# program (saves a shell link, holds a file open, starts a command line).

# The shell's menu builder would copy each new link to the Unix desktop,
# outside the prefix; the uninstall scenarios compare the whole prefix.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="

readonly uninstall_timeout=90      # seconds the uninstaller and its temp copy may take
readonly kestrun_windows_path="$default_pages_windows\\Kestrun.exe"

# What Wine itself changes while programs run, and which therefore differs
# between two snapshots of a prefix that no installer touched. No file of
# drive_c does; in the registry:
#   "#time=" lines    each exported key's last-write time
#   the display devices' keys, which Wine's display driver writes anew whenever a
#   program starts the display (the graphics adapter's video id and LUID among
#   them; under Wine the only PCI devices are the adapters it registers):
#     HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Class\...
#     HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum\DISPLAY\...
#     HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum\PCI\...
#   the keys that Wine's device, mount and network services fill in after the
#   prefix's server starts, most of them volatile, so that an export made soon
#   after a start may or may not have them yet:
#     HKEY_LOCAL_MACHINE\Hardware\...  (the serial and parallel port maps)
#     HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\DeviceClasses\...
#     HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\ServiceCurrent
#     HKEY_LOCAL_MACHINE\System\MountedDevices
#     HKEY_LOCAL_MACHINE\Software[\Wow6432Node]\Microsoft\Windows NT\CurrentVersion\NetworkCards\...
readonly housekeeping_keys='^\[HKEY_LOCAL_MACHINE\\(System\\CurrentControlSet\\(Control\\(Class|DeviceClasses|ServiceCurrent)|Enum\\(DISPLAY|PCI))|System\\MountedDevices|Hardware|Software\\(Wow6432Node\\)?Microsoft\\Windows NT\\CurrentVersion\\NetworkCards)(\\|\])'

# Drops the housekeeping keys (header and values) and time lines of a .reg export.
registry_filter() {
    keys=$housekeeping_keys awk '/^\[/ { skip = $0 ~ ENVIRON["keys"] } !skip && !/^#time=/'
}

# install_book SPECIFIC: the whole wizard with the box set to SPECIFIC (on|off).
install_book() {
    start_installer
    go_to_page 3
    drive check 899 "$1" >/dev/null || fail "could not set the option to $1"
    drive press finish >/dev/null
    expect_drive "wizard: gone" wait-gone
    expect_installer_exit "$installer_pid"
    [ -f "$pages_dir/Kestrun.exe" ] || fail "the install left no uninstaller"
}

# export_hive HIVE: Wine's reg writes the hive to $work/hive.reg. On a loaded
# machine a start of reg can fail while the prefix's server is still coming
# up: it is tried three times, never reading a file an earlier export left.
export_hive() {
    local try
    for try in 1 2 3; do
        rm -f "$work/hive.reg"
        timeout "$drive_timeout" "$WINELOADER" reg export "$1" "Z:${work//\//\\}\\hive.reg" /y >/dev/null 2>&1 &&
            [ -s "$work/hive.reg" ] && return 0
        log "reg export $1: attempt $try failed"
    done
    return 1
}

# prefix_snapshot FILE: every path of drive_c with its type and, for files,
# a content hash; then both registry hives as exported by Wine's reg. Nothing
# of the scenario runs any longer; the prefix's server is ended first, so that
# the volatile keys of a display that is still up never reach the export.
prefix_snapshot() {
    local out=$1 hive
    "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -w 2>/dev/null
    (cd "$WINEPREFIX/drive_c" && {
        find . -mindepth 1 ! -type f -printf '%y %P\n'
        find . -mindepth 1 -type f -printf '%P\0' | xargs -0 -r sha1sum --zero | tr '\0' '\n' | sed 's/^/f /'
    } | sort) >"$out.files"
    : >"$out.registry"
    for hive in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER; do
        export_hive "$hive" || { fail "reg export $hive"; continue; }
        iconv -f UTF-16LE -t UTF-8 "$work/hive.reg" | tr -d '\r' | registry_filter >>"$out.registry"
    done
    rm -f "$work/hive.reg"
}

# The drives an install may write to: "LETTER: UNIX_FOLDER" for C: and for each
# drive the scenario mapped to a folder of its own (a small D:).
scenario_drives() {
    local link target
    for link in "$WINEPREFIX"/dosdevices/[a-y]:; do
        target=$(readlink -f "$link") || continue
        case $target in "$work"/*) printf '%s %s\n' "${link##*/}" "$target" ;; esac
    done
}

# machine_snapshot FILE: what an install touches, exactly, in the two parts
# that expect_same_snapshot compares. FILE.files: every folder, and every file
# with a content hash, of each scenario drive, C: without Wine's own windows
# folder (so the pages, the desktop trees, the temp folders). FILE.registry:
# the uninstall key with all its values. It reads only files and that one key,
# so it may run while an installer waits on a page.
machine_snapshot() {
    local out=$1 letter root
    while read -r letter root; do
        (cd "$root" && {
            find . -mindepth 1 -path ./windows -prune -o ! -type f -printf "$letter %y %P\n"
            find . -mindepth 1 -path ./windows -prune -o -type f -printf '%P\0' | xargs -0 -r sha1sum --zero |
                tr '\0' '\n' | sed "s/^/$letter f /"
        })
    done < <(scenario_drives) | sort >"$out.files"
    if timeout "$drive_timeout" "$WINELOADER" reg export "$uninstall_key" "Z:${work//\//\\}\\key.reg" /y \
        >/dev/null 2>&1; then
        iconv -f UTF-16LE -t UTF-8 "$work/key.reg" | tr -d '\r' | registry_filter >"$out.registry"
    else
        echo "no uninstall key" >"$out.registry"
    fi
    rm -f "$work/key.reg"
}

# Set-aside files (NAME~tolm) on the scenario's drives, one path a line.
set_aside_files() {
    local letter root
    while read -r letter root; do
        (cd "$root" && find . -path ./windows -prune -o -name '*~tolm' -printf "$letter%P\n")
    done < <(scenario_drives)
}

has_journal() {
    timeout "$drive_timeout" "$WINELOADER" reg query "$uninstall_key" /v InstallJournal >/dev/null 2>&1
}

# expect_settled: no run is open: no set-aside file and no journal remain.
expect_settled() {
    local aside
    aside=$(set_aside_files)
    [ -z "$aside" ] && log "set-aside files: none" || fail "set-aside files remain: $(head -3 <<<"$aside")"
    if has_journal; then fail "the install journal remains"; else log "install journal: none"; fi
}

# expect_same_snapshot BEFORE AFTER WHAT
expect_same_snapshot() {
    local part
    for part in files registry; do
        if cmp -s "$1.$part" "$2.$part"; then
            log "$3: $part equal ($(wc -l <"$1.$part") lines)"
        else
            fail "$3: $part differ"
            diff "$1.$part" "$2.$part" | head -20
        fi
    done
}

# The uninstaller the key names, unquoted; empty when the key names none.
registered_uninstaller() {
    local named
    named=$(registry_value UninstallString)
    named=${named#\"}
    printf '%s' "${named%\"}"
}

# start_uninstaller [WINDOWS_PATH [ARGUMENTS...]]: runs the installed (or
# another) Kestrun.exe.
start_uninstaller() {
    local program=${1:-$kestrun_windows_path}
    [ $# -gt 0 ] && shift
    timeout "$uninstall_timeout" "$WINELOADER" "$program" "$@" >"$work/uninstaller.out" 2>&1 &
    uninstaller_pid=$!
    installer_pids+=("$uninstaller_pid")
}

# start_uninstaller_from_key: runs the uninstall key's UninstallString the way
# Add/Remove Programs does, as a whole command line, and waits for it.
start_uninstaller_from_key() {
    local command
    command=$(registry_value UninstallString)
    [ -n "$command" ] || fail "the uninstall key has no UninstallString"
    timeout "$uninstall_timeout" "$WINELOADER" "$TOLM_FIXTURE" run "$command" >"$work/uninstaller.out" 2>&1 &
    uninstaller_pid=$!
    installer_pids+=("$uninstaller_pid")
}

# Lines of the temp copies still present, each in a folder of its own
# (kstNNNN) and moved out to kstNNNN.tmp at its end: each lives exactly as long
# as its process. A scenario that moves the user's temp folder names it in temp_dir.
temp_copies() {
    find "$user_dir/Temp" "$user_dir/AppData/Local/Temp" ${temp_dir:+"$temp_dir"} -maxdepth 1 -name 'kst*' \
        2>/dev/null
}

# wait_uninstall_done [EXPECTED]: the original has exited with the exit code
# EXPECTED (default 0) and its temp copy is gone.
wait_uninstall_done() {
    local rc=0
    wait "$uninstaller_pid" || rc=$?
    expect_exit_code uninstaller "$rc" "${1:-0}"
    wait_temp_copy_gone
}

# wait_temp_copy_gone: the uninstaller's temp copy has ended and is deleted.
wait_temp_copy_gone() {
    local tries=0
    while [ -n "$(temp_copies)" ]; do
        tries=$((tries + 1))
        if [ $tries -gt $((uninstall_timeout * 10)) ]; then
            fail "the temp copy is still there: $(temp_copies)"
            return
        fi
        sleep 0.1
    done
    log "uninstaller and its temp copy: gone"
}

# wait_for_box: a message box is on screen (not answered).
wait_for_box() {
    local tries
    for ((tries = 0; tries < driver_wait * 5; tries++)); do
        timeout "$drive_timeout" "$WINELOADER" "$TOLM_DRIVER" no-msgbox >/dev/null 2>&1 || return 0
        sleep 0.2
    done
    fail "no message box appeared"
}

# uninstall_with_yes [SCREENSHOT]: starts the uninstaller the key names, as
# Add/Remove Programs does, and answers its question Yes.
uninstall_with_yes() {
    local registered
    registered=$(registered_uninstaller)
    start_uninstaller "${registered:-$kestrun_windows_path}"
    answer_yes "$@"
}

# expect_uninstall_restores BEFORE WHAT [SCREENSHOT]: the uninstaller the key
# names, answered Yes, ends without a box and leaves the prefix as the
# snapshot BEFORE was.
expect_uninstall_restores() {
    local before=$1 what=$2
    shift 2
    uninstall_with_yes "$@"
    wait_uninstall_done
    expect_drive "msgbox: none" no-msgbox
    prefix_snapshot "$work/after"
    expect_same_snapshot "$before" "$work/after" "$what"
}

# answer_yes [SCREENSHOT]: optionally takes a screenshot of the uninstaller's
# question, checks it and answers it Yes.
answer_yes() {
    if [ $# -gt 0 ]; then
        wait_for_box
        screenshot "$1"
    fi
    expect_drive "msgbox caption: The Tolm Language" msgbox yes
    grep -qx "msgbox text: Do you want to remove The Tolm Language .*" <<<"$out" || fail "unexpected question"
    grep -qx "msgbox icon: question" <<<"$out" || fail "the question has no question icon"
}

expect_no_shortcut() {
    [ ! -e "$icon_dir" ] && log "icon folder: removed" || fail "icon folder $icon_dir remains"
}
