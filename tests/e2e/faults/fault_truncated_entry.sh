#!/bin/bash
# An installer whose sixth extra file entry ends halfway through its compressed
# data: the decoder must stop at the entry's end, and the install fails after
# the whole main list, removing everything it made.
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/faults.sh"
setup
before=$(snapshot)
start_and_finish "$TOLM_TRUNCATED_INSTALLER"
expect_error_box "$copy_failed_text"
expect_closed $exit_failed
expect_nothing_written "$before"
conclude
