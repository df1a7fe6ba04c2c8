#!/bin/bash
# Answering No to the uninstaller's question changes nothing at all. The
# question holds no lock: an update started while it waits runs to its end.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"
setup
install_book on
prefix_snapshot "$work/before"
start_uninstaller
expect_drive "msgbox caption: The Tolm Language" msgbox no
wait_uninstall_done $exit_cancelled
expect_drive "msgbox: none" no-msgbox
prefix_snapshot "$work/after"
expect_same_snapshot "$work/before" "$work/after" "after No"

log "-- an update while the question waits"
start_uninstaller
wait_for_box
watch_run "$(installer_command /S)"
expect_unattended $exit_done
expect_drive "msgbox caption: The Tolm Language" msgbox no
wait_uninstall_done $exit_cancelled
# The uninstaller's own file was in use: the update set it aside, and the
# next run of either program finishes the work.
watch_run "$(installer_command "/S /LOG=$(z_path "$work/next.log")")"
expect_unattended $exit_done
read_run_log "$work/next.log"
expect_log_line "interrupted install found" "committed: completing it" ""
expect_book_installed 1
expect_settled
conclude
