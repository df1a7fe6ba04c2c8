#!/bin/bash
# Cancel on any page closes the wizard at once, asks nothing, exits 0 and
# writes nothing to disk or registry.
source "$(dirname "$0")/lib.sh"
setup
before=$(snapshot)
for page in 0 1 2 3; do
    log "-- cancel on page $page"
    start_installer
    go_to_page $page
    drive press cancel
    expect_drive "wizard: gone" wait-gone
    expect_drive "msgbox: none" no-msgbox
    expect_installer_exit "$installer_pid" $exit_cancelled
done
expect_nothing_written "$before"
conclude
