#!/bin/bash
# Names taken by the other kind of entry:
#   1. The default pages folder's name is taken by a file. The pages page does
#      not test for that, so the install finds it: it reports that the folder
#      cannot be made and writes nothing at all; the file keeps its bytes.
#   2. A page's name in the pages folder is taken by a folder. The install
#      cannot write that page: it reports the failed copy and removes all it
#      wrote, the key and its journal too; the folder stays.
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/faults.sh"
setup
printf 'a file where the folder should go\n' >"$pages_dir"
before=$(snapshot)

start_and_finish
expect_error_box "Can't create the new directory for program files!"
expect_closed $exit_failed

expect_nothing_written "$before"
[ "$(cat "$pages_dir")" = "a file where the folder should go" ] || fail "the file was changed"
[ -e "$icon_dir" ] && fail "an icon folder was made"

rm "$pages_dir"
mkdir -p "$pages_dir/$(main_page 30)"
before=$(snapshot)
start_and_finish
expect_error_box "$copy_failed_text"
expect_closed $exit_failed
expect_nothing_written "$before"
conclude
