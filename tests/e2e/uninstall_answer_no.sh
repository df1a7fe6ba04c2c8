#!/bin/bash
# Answering No to the uninstaller's question changes nothing at all.
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
conclude
