#!/bin/bash
# The pages go to a nearly full drive: D: is a small tmpfs, mapped as a Wine
# drive and named as the Program Files directory, with room for the uninstaller
# and a few pages only. A write fails part way through the main list; the
# install removes every file, folder, the key and the shortcut it made, and
# reports the failed copy. D: holds exactly what it held before. Given room,
# the same install then completes there.
#
# The file system is mounted in a private mount namespace, so it is gone when
# the scenario ends, however it ends. Where no namespace can be made, the
# scenario is skipped (exit code 77) and says why.
if [ -z "${TOLM_PRIVATE_MOUNTS:-}" ]; then
    if unshare -m true 2>/dev/null; then
        TOLM_PRIVATE_MOUNTS=1 exec unshare -m bash "$0" "$@"
    fi
    echo "SKIP: no private mount namespace here (unshare -m needs CAP_SYS_ADMIN)"
    exit 77
fi
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/faults.sh"
readonly drive_bytes=$((128 * 1024))
readonly filler_bytes=$((48 * 1024))

setup
drive=$work/drive-d
mkdir -p "$drive"
if ! mount -t tmpfs -o size=$drive_bytes,mode=0755 tmpfs "$drive"; then
    log "SKIP: cannot mount a tmpfs"
    exit 77
fi
head -c $filler_bytes /dev/zero >"$drive/filler"
ln -sfn "$drive" "$WINEPREFIX/dosdevices/d:"
timeout "$drive_timeout" "$WINELOADER" reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion' \
    /v ProgramFilesDir /t REG_SZ /d 'D:\' /f >"$work/reg.out" 2>&1 || fail "ProgramFilesDir not set"
log "D: $(df -k --output=size,avail "$drive" | tail -n1 | awk '{print $1 " KB, " $2 " KB free"}')"
drive_before=$(cd "$drive" && find . -printf '%P %s\n' | sort)
before=$(snapshot)

start_and_finish
expect_error_box "$copy_failed_text"
expect_closed $exit_failed

drive_after=$(cd "$drive" && find . -printf '%P %s\n' | sort)
if [ "$drive_after" = "$drive_before" ]; then
    log "D: unchanged"
else
    fail "D: changed"
    diff <(echo "$drive_before") <(echo "$drive_after") | head -20
fi
expect_nothing_written "$before"

# The same install with room to spare completes on D:, so the failure above
# came from the full drive and nothing else.
mount -o remount,size=$((4 * 1024 * 1024)) "$drive" || fail "cannot grow D:"
pages_dir=$drive/Corvalin
start_and_finish
expect_closed
expect_book_installed 1
uninstall=$(registry_value UninstallString)
[ "$uninstall" = '"D:\Corvalin\Kestrun.exe"' ] || fail "UninstallString is '$uninstall'"
conclude
