#!/bin/bash
# A page file held open with share mode 0 by another program while the book is
# installed into an existing folder: the install stops at that page, removes
# everything it wrote, and reports the failed copy. The held file, the folder
# and everything else are as they were; no key and no shortcut are left. A
# page file already there further down the list, which the install never
# reached, is not the install's to delete: it keeps its bytes.
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/faults.sh"
setup
mkdir -p "$pages_dir"
held=$pages_dir/$(main_page 40)
printf 'a page another program has open\n' >"$held"
unreached=$pages_dir/$(main_page 60)
printf 'a page the install never reaches\n' >"$unreached"
before=$(snapshot)
hold_file "$held"

start_and_finish
expect_error_box "$copy_failed_text"
expect_closed $exit_failed
kill "$holder_pid" 2>/dev/null
wait "$holder_pid" 2>/dev/null

expect_nothing_written "$before"
[ "$(cat "$held")" = "a page another program has open" ] && log "held file: unchanged" ||
    fail "the held file was changed"
[ "$(cat "$unreached" 2>/dev/null)" = "a page the install never reaches" ] &&
    log "unreached page: unchanged" || fail "the page after the failure was deleted"
[ -e "$icon_dir" ] && fail "the icon folder is left"
conclude
