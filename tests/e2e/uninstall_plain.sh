#!/bin/bash
# Install the plain book, uninstall it: the prefix's files and registry are as
# they were before the install, apart from Wine's own housekeeping.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"
setup
prefix_snapshot "$work/before"
install_book off
expect_book_installed 0
uninstall_with_yes question
wait_uninstall_done
expect_drive "msgbox: none" no-msgbox
prefix_snapshot "$work/after"
expect_same_snapshot "$work/before" "$work/after" "plain book"
conclude
