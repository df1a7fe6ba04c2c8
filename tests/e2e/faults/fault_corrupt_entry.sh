#!/bin/bash
# An installer whose 30th page entry has an inverted byte in its compressed
# data: the install fails at that page, removes every file, folder, the key
# and the shortcut it made, and reports the failed copy.
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/faults.sh"
setup
before=$(snapshot)
start_and_finish "$TOLM_CORRUPT_INSTALLER"
expect_error_box "$copy_failed_text"
expect_closed $exit_failed
expect_nothing_written "$before"
conclude
