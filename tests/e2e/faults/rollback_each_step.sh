#!/bin/bash
# rollback_each_step.sh STATE: an install that fails at any step leaves the
# machine exactly as it found it. STATE is what the runs start from:
#   fresh          nothing installed;
#   same-variant   the variant installed with the defaults;
#   other-variant  the plain book installed with the defaults.
# Every failing run installs the variant with the defaults: over an earlier
# install it replaces that install in its own folder, and its extra files are
# a step it can fail at. For each row of the table the fault is arranged, the
# machine is snapshotted (every file's bytes on C: outside Wine's own folder
# and on D:, the uninstall key with its values), the run fails showing the
# row's message boxes, each read and answered, and the machine must then be
# exactly as in the snapshot, with no set-aside file and no journal left.
#
# The full drive is a small tmpfs mounted as D: in a private mount namespace,
# as in fault_full_drive.sh. Where no namespace can be made, that row is
# skipped, and the scenario reports itself skipped (77) if all else passed.
state=${1:-}
case $state in
fresh | same-variant | other-variant) ;;
*) echo "usage: $0 fresh|same-variant|other-variant" >&2; exit 2 ;;
esac
if [ -z "${TOLM_PRIVATE_MOUNTS:-}" ] && unshare -m true 2>/dev/null; then
    TOLM_PRIVATE_MOUNTS=1 exec unshare -m bash "$0" "$@"
fi
scenario=rollback_each_step-$state
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/../uninstall_steps.sh"
source "$(dirname "$0")/faults.sh"

readonly link_name="The Tolm Language.lnk"
readonly drive_bytes=$((4 * 1024 * 1024))
# tmpfs counts whole 4 KiB pages: room for the uninstaller and a dozen pages.
readonly room_bytes=$((($(stat -c %s "$TOLM_KESTRUN") + 4095) / 4096 * 4096 + 12 * 4096))

# step | installer | fault arranged before the snapshot | boxes the run shows, in order
steps=(
    # The payload lacks the uninstaller's entry, the first file written.
    "uninstaller|$TOLM_NO_UNINSTALLER_INSTALLER|none|copy"
    # The payload lacks the first page's entry; the registration is written.
    "first page|$TOLM_NO_FIRST_PAGE_INSTALLER|none|copy"
    # The 30th page's entry has an inverted byte; the shortcut is saved.
    "middle page|$TOLM_CORRUPT_INSTALLER|none|copy"
    # The payload lacks the last main page's entry.
    "last main page|$TOLM_BROKEN_INSTALLER|none|copy"
    # The sixth extra file's entry ends halfway through its data.
    "extra file|$TOLM_TRUNCATED_INSTALLER|none|copy"
    # Fresh: a folder holds the link file's name. Earlier install: its link
    # is held open without sharing, so it cannot be set aside.
    "shortcut|$TOLM_INSTALLER|link|link copy"
    # A new machine whose Program Files directory is D:, where the earlier
    # book is installed with room before the drive is nearly filled.
    "nearly full drive|$TOLM_INSTALLER|full_drive|copy"
)

install_earlier() {
    case $state in
    same-variant) install_book on && expect_book_installed 1 ;;
    other-variant) install_book off && expect_book_installed 0 ;;
    *) return 0 ;;
    esac
    mark_earlier_registration
}

expect_copy_box() { expect_error_box "$copy_failed_text"; }
expect_link_box() { expect_error_box "$link_name" "ERROR: Didn't save the Desktop icon for"; }

arrange_none() { :; }
release_none() { :; }

arrange_link() {
    if [ "$state" = fresh ]; then
        mkdir -p "$icon_dir/$link_name"
    else
        hold_file "$icon_dir/$link_name"
    fi
}

release_link() {
    if [ "$state" = fresh ]; then
        rm -rf "$icon_dir"
    else
        kill "$holder_pid" 2>/dev/null
        wait "$holder_pid" 2>/dev/null
    fi
}

# A new prefix whose Program Files directory is D:, a tmpfs: the earlier book
# is installed there with room, then a filler leaves room_bytes free.
arrange_full_drive() {
    if [ -z "${TOLM_PRIVATE_MOUNTS:-}" ]; then
        log "SKIP: no private mount namespace here (unshare -m needs CAP_SYS_ADMIN)"
        skipped=1
        return 1
    fi
    "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -w 2>/dev/null
    make_prefix
    local drive=$work/drive-d free
    mkdir -p "$drive"
    if ! mount -t tmpfs -o size=$drive_bytes,mode=0755 tmpfs "$drive"; then
        log "SKIP: cannot mount a tmpfs"
        skipped=1
        return 1
    fi
    ln -sfn "$drive" "$WINEPREFIX/dosdevices/d:"
    timeout "$drive_timeout" "$WINELOADER" reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion' \
        /v ProgramFilesDir /t REG_SZ /d 'D:\' /f >"$work/reg.out" 2>&1 || fail "ProgramFilesDir not set"
    pages_dir=$drive/Corvalin
    install_earlier
    free=$(($(stat -f -c %a "$drive") * $(stat -f -c %S "$drive")))
    head -c $((free - room_bytes)) /dev/zero >"$drive/filler"
    log "D: $(($(stat -f -c %a "$drive") * $(stat -f -c %S "$drive") / 1024)) KiB free"
}

# The mount ends with the namespace, when the scenario ends.
release_full_drive() { :; }

run_step() {
    local step=$1 installer=$2 fault=$3 boxes=$4 box
    log "-- $state: the run fails at the $step"
    arrange_$fault || return
    machine_snapshot "$work/before"
    start_and_finish "$installer"
    for box in $boxes; do
        expect_${box}_box
    done
    expect_closed $exit_failed
    machine_snapshot "$work/after"
    expect_same_snapshot "$work/before" "$work/after" "failed at the $step"
    expect_settled
    release_$fault
}

setup
skipped=
install_earlier
for row in "${steps[@]}"; do
    IFS='|' read -r step installer fault boxes <<<"$row"
    run_step "$step" "$installer" "$fault" "$boxes"
done
if [ $failures -eq 0 ] && [ -n "$skipped" ]; then
    log "every other row passed; the scenario counts as skipped"
    exit 77
fi
conclude
