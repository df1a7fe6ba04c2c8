#!/bin/bash
# Install the plain book, uninstall it: the prefix's files and registry are as
# they were before the install, apart from Wine's own housekeeping.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"
setup
prefix_snapshot "$work/before"
install_book off
expect_book_installed 0
expect_uninstall_restores "$work/before" "plain book" question
conclude
