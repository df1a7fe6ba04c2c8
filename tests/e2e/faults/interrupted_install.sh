#!/bin/bash
# An install killed half-way over an earlier install: the next start of the
# installer rolls the killed run back before it shows its wizard, so the
# earlier install is exactly as it was; run to the end, the install then
# completes, and one uninstall leaves the prefix as fresh as it was.
#
# Half-way is a message box the run waits at: the icon folder typed into
# Browse's "New Folder:" field, below the earlier install's icon folder, is
# made a file once Browse has closed, so the run reports it after it has set
# the earlier install's files aside and written the uninstaller, the
# registration and the first page. The run is killed there, and the prefix's
# server is ended with it, as a restart would end it: the single-instance
# counter lives on in the server. While a page of the killed run is held open,
# a silent run cannot settle it: it keeps the journal and exits 1618. Then an
# update loses its pages folder while it waits at the same box (renamed away
# from the Unix side, as a drive would go): it keeps its journal and exits
# 1603, and once the folder is back the next start restores the earlier install.
# Last, a journal write that fails at that box stops the run the same way.
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/../uninstall_steps.sh"
source "$(dirname "$0")/faults.sh"

readonly block_name=Reference
readonly welcome_title="Install The Tolm Language"

setup
block=$icon_dir/$block_name
prefix_snapshot "$work/fresh"
install_book on
mark_earlier_registration
earlier_files=$(find "$pages_dir" -type f | wc -l)
machine_snapshot "$work/earlier"

update_to_icon_box
# Half-way indeed: every earlier file is set aside and the journal is open.
set_aside=$(set_aside_files | wc -l)
[ "$set_aside" = "$earlier_files" ] && log "set aside at the box: $set_aside files" ||
    fail "set aside at the box: $set_aside files, not the earlier install's $earlier_files"
has_journal && log "install journal: open" || fail "no journal while the run waits"
kill_installer "$installer_pid"
"$WINESERVER" -k 2>/dev/null
"$WINESERVER" -w 2>/dev/null

# A page of the killed run held open without delete sharing: its rollback
# cannot finish, so the next run keeps the journal and installs nothing.
hold_file "$pages_dir/$(main_page 1)"
watch_run "$(installer_command "/S /LOG=$(z_path "$work/blocked.log")")"
expect_unattended $exit_busy
read_run_log "$work/blocked.log"
grep -qF "cannot be settled now, because $(windows_path "$pages_dir")\\$(main_page 1)" <<<"$run_log" &&
    log "blocked: the held page is named" || fail "the log does not name the held page"
has_journal && log "install journal: kept while the page is held" || fail "the journal is gone"
kill "$holder_pid" 2>/dev/null
wait "$holder_pid" 2>/dev/null

start_installer
expect_drive "title: $welcome_title" wait-title "$welcome_title"
rm "$block"
machine_snapshot "$work/restored"
expect_same_snapshot "$work/earlier" "$work/restored" "at the next start"
expect_settled

go_to_page 3
drive press finish >/dev/null
expect_closed
expect_book_installed 1
expect_registration
expect_shortcut
expect_settled

expect_uninstall_restores "$work/fresh" "after the uninstall"

log "-- an update whose pages folder goes away while the run waits"
# As a drive that is pulled: the run cannot reach what it set aside, so its
# rollback keeps the journal; once the folder is back, the next start finishes it.
install_book on
mark_earlier_registration
machine_snapshot "$work/earlier-again"
update_to_icon_box
mv "$pages_dir" "$pages_dir.away"
drive msgbox ok >/dev/null
expect_error_box "$copy_failed_text"
expect_drive "msgbox caption: Error during install:" msgbox ok
grep -qF "could not finish undoing or tidying up, because" <<<"$out" &&
    grep -qF "$(windows_path "$pages_dir")" <<<"$out" && log "the box names the folder it could not reach" ||
    fail "the box does not name the folder it could not reach"
expect_closed $exit_failed
has_journal && log "install journal: kept" || fail "the journal is gone with the folder away"
mv "$pages_dir.away" "$pages_dir"
start_installer
expect_drive "title: $welcome_title" wait-title "$welcome_title"
rm "$block"
machine_snapshot "$work/restored-again"
expect_same_snapshot "$work/earlier-again" "$work/restored-again" "with the folder back"
expect_settled
drive press cancel >/dev/null
expect_closed $exit_cancelled

log "-- an update whose next journal write fails while the run waits"
# The key refuses new values from here: the write before the shortcut fails,
# the run stops and puts every file back; the registration it wrote cannot be
# undone yet, so the journal stays, and the next start finishes the rollback.
update_to_icon_box
fixture key-rights 'D:P(D;;0x6;;;WD)(A;;KA;;;WD)'
drive msgbox ok >/dev/null
expect_error_box "The Tolm Language.lnk" "ERROR: Didn't save the Desktop icon for"
expect_error_box "$copy_failed_text"
expect_drive "msgbox caption: Error during install:" msgbox ok
grep -qF 'CurrentVersion\Uninstall\Kestrun' <<<"$out" && log "the box names the key" || fail "the box does not name the key"
expect_closed $exit_failed
has_journal && log "install journal: kept" || fail "the journal is gone"
fixture key-rights 'D:(A;;KA;;;WD)'
start_installer
expect_drive "title: $welcome_title" wait-title "$welcome_title"
rm "$block"
machine_snapshot "$work/restored-third"
expect_same_snapshot "$work/earlier-again" "$work/restored-third" "once the key is writable"
expect_settled
drive press cancel >/dev/null
expect_closed $exit_cancelled
expect_uninstall_restores "$work/fresh" "after the second uninstall"
conclude
