#!/bin/bash
# Finish with the box cleared installs the plain book: all main pages and
# none of the variant's extra files.
source "$(dirname "$0")/lib.sh"
setup
start_installer
go_to_page 3
expect_drive "check 899: off" check 899 off
drive press finish
expect_drive "wizard: gone" wait-gone
expect_installer_exit "$installer_pid"
expect_book_installed 0
expect_registration
expect_shortcut
conclude
