#!/bin/bash
# When the temp copy cannot be made, the uninstaller removes the book itself and
# leaves only its own file and folder to the system, which deletes them at the
# next start (here: Wine's restart).
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"
setup
install_book on
"$WINELOADER" reg add 'HKCU\Environment' /v TMP /d 'C:\no-such-folder' /f >/dev/null 2>&1
"$WINELOADER" reg add 'HKCU\Environment' /v TEMP /d 'C:\no-such-folder' /f >/dev/null 2>&1
uninstall_with_yes
wait_uninstall_done
expect_drive "msgbox: none" no-msgbox
left=$(ls -A "$pages_dir" 2>/dev/null)
[ "$left" = Kestrun.exe ] && log "pages folder: only Kestrun.exe left" || fail "pages folder holds '$left'"
expect_no_uninstall_key
expect_no_shortcut
pending=$("$WINELOADER" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null | tr -d '\r')
grep -qF 'Corvalin\Kestrun.exe' <<<"$pending" && log "Kestrun.exe: scheduled for the next start" ||
    fail "Kestrun.exe is not scheduled for deletion"

timeout "$uninstall_timeout" "$WINELOADER" wineboot -r >/dev/null 2>&1 || fail "wineboot -r"
[ ! -e "$pages_dir" ] && log "after the restart: pages folder gone" || fail "after the restart: $(ls -A "$pages_dir")"
conclude
