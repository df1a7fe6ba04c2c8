#!/bin/bash
# An installer whose payload lacks the last main page: Finish reports the
# failed copy with the error icon after removing everything it made, and the
# wizard then closes. Nothing is left on disk or in the registry.
source "$(dirname "$0")/lib.sh"
setup
before=$(snapshot)
start_installer "$TOLM_BROKEN_INSTALLER"
go_to_page 3
drive press finish
expect_drive "msgbox caption: Error during install:" msgbox ok
grep -qxF "msgbox text: Can't copy the program files to the desired directory!" <<<"$out" ||
    fail "message text"
grep -qxF "msgbox icon: error" <<<"$out" || fail "message icon"
expect_drive "wizard: gone" wait-gone
expect_installer_exit "$installer_pid" $exit_failed
expect_nothing_written "$before"
conclude
