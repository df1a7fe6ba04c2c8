#!/bin/bash
# An update killed while its pages folder lies on a drive that then goes for
# good (a USB stick, a retired share): its journal can never be settled, and
# until it is, nothing can be installed or removed. Asked, the installer
# forgets it: what the killed run set aside where it can be reached (its
# shortcut on the desktop) is put back, what it left on that drive stays as
# it is, and the journal goes.
#   1. the wizard names the folder and asks; Yes forgets, and the wizard goes on;
#   2. a second such journal, answered No: nothing changes, and the run exits 1618;
#   3. /S /FORGET forgets it unattended, logs what it forgot, and installs the
#      book on C:, keeping no journal for the earlier install on the gone drive;
#   4. an update of that book to D:, killed, and D: gone: its uninstaller, past
#      its own question, asks the same, and holds the change lock while it
#      asks: an install started meanwhile changes nothing and exits 1618.
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/../uninstall_steps.sh"
source "$(dirname "$0")/faults.sh"

readonly block_name=Reference
readonly welcome_title="Install The Tolm Language"
readonly gone_folder='D:\Books\Tolm'

setup
block=$icon_dir/$block_name
ddrive=$work/ddrive
mkdir -p "$ddrive"

# drive_listing: every entry of the drive's folder, with its size.
drive_listing() {
    (cd "$ddrive" && find . -printf '%p %y %s\n' | sort)
}

# install_on_drive_and_lose_it: the book installed on D:, then an update of it
# killed at the box that reports its icon folder (the wizard's command line
# names one below the earlier icon folder, whose name a file takes once the
# wizard shows), and D: gone. The killed run's files are in $left_on_drive.
install_on_drive_and_lose_it() {
    ln -sfn "$ddrive" "$WINEPREFIX/dosdevices/d:"
    rm -rf "${ddrive:?}"/*
    watch_run "$(installer_command "/S /D=$gone_folder")"
    expect_unattended $exit_done
    kill_at_icon_box
    rm -f "$WINEPREFIX/dosdevices/d:"
    left_on_drive=$(drive_listing)
}

# expect_nothing_set_aside: no entry on the desktop, which is there, bears a
# set-aside name: a forget put back or removed what the killed run set aside
# wherever it can be reached.
expect_nothing_set_aside() {
    local aside
    aside=$(find "$user_dir/Desktop" -name '*~tolm')
    [ -z "$aside" ] && log "desktop: nothing set aside" || fail "set aside on the desktop: $aside"
}

expect_drive_as_left() {
    [ "$(drive_listing)" = "$left_on_drive" ] && log "D: holds what the killed run left, as it left it" ||
        fail "D: changed"
}

log "-- 1. the wizard asks, and Yes forgets"
install_on_drive_and_lose_it
start_installer
wait_for_box
screenshot forget-question
expect_drive "msgbox caption: Error during install:" msgbox yes
for line in "msgbox text: An interrupted install cannot be settled now, because" "$gone_folder\\" \
    "cannot be reached. Try again later, or forget it (/FORGET)." \
    "Forget it? What cannot be settled stays as it is."; do
    grep -qxF -- "$line" <<<"$out" || fail "the question lacks the line '$line'"
done
grep -qxF "msgbox icon: warning" <<<"$out" || fail "the question has no warning icon"
expect_drive "title: $welcome_title" wait-title "$welcome_title"
has_journal && fail "the journal is still there" || log "install journal: forgotten"
expect_drive_as_left
expect_nothing_set_aside
drive press cancel >/dev/null
expect_closed $exit_cancelled

log "-- 2. a second such journal, and No changes nothing"
install_on_drive_and_lose_it
machine_snapshot "$work/before-no"
start_installer
expect_drive "msgbox caption: Error during install:" msgbox no
grep -qxF "$gone_folder\\" <<<"$out" || fail "the question does not name $gone_folder"
expect_installer_exit "$installer_pid" $exit_busy
has_journal && log "install journal: kept" || fail "the journal is gone after No"
machine_snapshot "$work/after-no"
expect_same_snapshot "$work/before-no" "$work/after-no" "after No"
expect_drive_as_left

log "-- 3. /S /FORGET forgets it, and the book is installed where it can be"
watch_run "$(installer_command "/S /FORGET /LOG=$(z_path "$work/forget.log")")"
expect_unattended $exit_done
read_run_log "$work/forget.log"
# The journal of the killed run, settled where it can be reached; then at
# this run's own end the earlier install the key named, which lies on the
# gone drive too.
expect_log_line "interrupted install forgotten" "$gone_folder\\" ok
expect_log_line "left as it is, forgotten" "$gone_folder" ""
expect_settled
expect_nothing_set_aside
expect_book_installed 1
expect_registration
expect_drive_as_left

log "-- 4. the uninstaller asks too, and holds the lock while it asks"
ln -sfn "$ddrive" "$WINEPREFIX/dosdevices/d:"
rm -rf "${ddrive:?}"/*
kill_at_icon_box "/D=$gone_folder"
rm -f "$WINEPREFIX/dosdevices/d:"
start_uninstaller
answer_yes
wait_for_box
machine_snapshot "$work/asking"
watch_run "$(installer_command /S)"
expect_unattended $exit_busy
machine_snapshot "$work/still-asking"
expect_same_snapshot "$work/asking" "$work/still-asking" "while the uninstaller asks"
expect_drive "msgbox caption: Error during uninstall:" msgbox no
grep -qxF "$gone_folder\\" <<<"$out" || fail "the question does not name $gone_folder"
wait_uninstall_done $exit_busy
has_journal && log "install journal: kept" || fail "the journal is gone after No"
conclude
