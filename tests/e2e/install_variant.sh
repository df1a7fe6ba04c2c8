#!/bin/bash
# The default path: Next, Next, Next, Finish with the box ticked installs the
# variant book, registers the uninstaller and puts the shortcut on the desktop.
source "$(dirname "$0")/lib.sh"
setup
start_installer
go_to_page 3
expect_drive "check 899: on" get-check 899
drive press finish
expect_drive "wizard: gone" wait-gone
expect_installer_exit "$installer_pid"
expect_book_installed 1
expect_registration
expect_shortcut
conclude
