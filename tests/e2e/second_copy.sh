#!/bin/bash
# The single-instance guard. A second copy started while the first shows its
# welcome page, minimised, restores the first, brings it forward and exits 0
# without a window of its own. While another page shows, a second copy finds
# no window and exits silently. After both have ended the count is back, so a
# third copy shows the wizard again.
source "$(dirname "$0")/lib.sh"
setup
caption="Install The Tolm Language"

start_installer
first=$installer_pid
expect_drive "title: $caption" wait-title "$caption"
expect_drive "iconic: 1" minimize
start_installer
expect_installer_exit "$installer_pid"
expect_drive "iconic: 0" window-state
grep -qxF "foreground: 1" <<<"$out" || fail "the first copy's wizard is not in the foreground"
expect_drive "title: $caption" title
screenshot restored-by-second-copy

drive press next
expect_drive "title: Where to install book icon" wait-title "Where to install book icon"
start_installer
expect_installer_exit "$installer_pid"
expect_drive "msgbox: none" no-msgbox
expect_drive "title: Where to install book icon" title

drive press cancel
expect_drive "wizard: gone" wait-gone
expect_installer_exit "$first" $exit_cancelled

start_installer
expect_drive "title: $caption" wait-title "$caption"
drive press cancel
expect_drive "wizard: gone" wait-gone
expect_installer_exit "$installer_pid" $exit_cancelled
conclude
