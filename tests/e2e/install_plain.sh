#!/bin/bash
# install_plain.sh [signed]: Finish with the box cleared installs the plain
# book: all main pages and none of the variant's extra files. With "signed",
# TOLM_INSTALLER comes from a signed tree: the signature changes nothing the
# installer reads, and the uninstaller it writes still verifies on disk.
signed=${1:-}
scenario=install_plain${signed:+-$signed}
source "$(dirname "$0")/lib.sh"
setup
[ -n "$signed" ] && expect_signed "$TOLM_INSTALLER"
start_installer
go_to_page 3
expect_drive "check 899: off" check 899 off
drive press finish
expect_drive "wizard: gone" wait-gone
expect_installer_exit "$installer_pid"
expect_book_installed 0
expect_registration
expect_shortcut
[ -n "$signed" ] && expect_signed "$pages_dir/Kestrun.exe"
conclude
