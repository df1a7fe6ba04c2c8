#!/bin/bash
# When the temp copy cannot be made, the uninstaller removes the book itself and
# leaves only its own file and folder to the system, which deletes them at the
# next start (here: Wine's restart). A reinstall into the same folder before
# that start cancels the delete: its new Kestrun.exe survives the restart, and
# one uninstall then leaves nothing.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"
setup
prefix_snapshot "$work/fresh"
readonly environment='HKCU\Environment'
# environment_value NAME: the value as reg prints it, its type first.
environment_value() {
    "$WINELOADER" reg query "$environment" /v "$1" 2>/dev/null | tr -d '\r' |
        awk -v name="$1" '$1 == name { $1 = ""; sub(/^ +/, ""); print }'
}
saved_tmp=$(environment_value TMP)
saved_temp=$(environment_value TEMP)
install_book on
"$WINELOADER" reg add "$environment" /v TMP /d 'C:\no-such-folder' /f >/dev/null 2>&1
"$WINELOADER" reg add "$environment" /v TEMP /d 'C:\no-such-folder' /f >/dev/null 2>&1
uninstall_with_yes
wait_uninstall_done
expect_drive "msgbox: none" no-msgbox
left=$(ls -A "$pages_dir" 2>/dev/null)
[ "$left" = Kestrun.exe ] && log "pages folder: only Kestrun.exe left" || fail "pages folder holds '$left'"
expect_no_uninstall_key
expect_no_shortcut
pending_deletes() {
    "$WINELOADER" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations \
        2>/dev/null | tr -d '\r'
}
grep -qF 'Corvalin\Kestrun.exe' <<<"$(pending_deletes)" && log "Kestrun.exe: scheduled for the next start" ||
    fail "Kestrun.exe is not scheduled for deletion"

log "-- reinstalled into the same folder before the restart"
for name in TMP TEMP; do
    saved=saved_${name,,}
    read -r type value <<<"${!saved}"
    "$WINELOADER" reg add "$environment" /v "$name" /t "$type" /d "$value" /f >/dev/null 2>&1 ||
        fail "$name not restored"
done
install_book on
grep -qF 'Corvalin' <<<"$(pending_deletes)" && fail "the reinstall left the delete of its folder scheduled" ||
    log "the delete at the next start: cancelled"
timeout "$uninstall_timeout" "$WINELOADER" wineboot -r >/dev/null 2>&1 || fail "wineboot -r"
expect_book_installed 1
expect_uninstall_restores "$work/fresh" "after the restart and one uninstall"
conclude
