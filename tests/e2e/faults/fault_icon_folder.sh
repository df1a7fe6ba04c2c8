#!/bin/bash
# The icon folder chain fails: a file holds the name "Tolm" on the desktop. The
# install reports it, goes on, and saves the shortcut in the deepest folder
# that exists, the desktop itself. The book is installed completely.
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/faults.sh"
setup
printf 'a file named like the icon folder\n' >"$icon_dir"
desktop_link="C:\\users\\$(whoami)\\Desktop\\The Tolm Language.lnk"

start_and_finish
expect_error_box "Didn't create the new Desktop Folder!"
expect_closed

expect_book_installed 1
expect_registration
[ "$(cat "$icon_dir")" = "a file named like the icon folder" ] || fail "the Tolm file was changed"
first_page=$(main_page 1)
expect_drive "target: C:\\Program Files\\Corvalin\\$first_page" shortcut "$desktop_link"
conclude
