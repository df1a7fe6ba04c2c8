#!/bin/bash
# The signed installer (TOLM_INSTALLER from a signed tree) installs the book
# exactly as the unsigned one does: the signature changes nothing it reads.
# The uninstaller it writes is the signed one, and still verifies on disk.
source "$(dirname "$0")/lib.sh"
setup
expect_signed "$TOLM_INSTALLER"
start_installer
go_to_page 3
expect_drive "check 899: off" check 899 off
drive press finish
expect_drive "wizard: gone" wait-gone
expect_installer_exit "$installer_pid"
expect_book_installed 0
expect_registration
expect_shortcut
expect_signed "$pages_dir/Kestrun.exe"
conclude
