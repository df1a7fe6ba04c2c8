#!/bin/bash
# Install the variant book, uninstall it: the prefix's files and registry are
# as they were before the install, apart from Wine's own housekeeping.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"
setup
prefix_snapshot "$work/before"
install_book on
expect_book_installed 1
expect_uninstall_restores "$work/before" "variant book"
conclude
