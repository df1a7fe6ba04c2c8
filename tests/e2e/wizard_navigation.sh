#!/bin/bash
# Walks the wizard forward and back: each page's title and buttons, the check
# box keeping its state across Back and Next, a screenshot of every page, and
# Cancel on the options page writing nothing.
source "$(dirname "$0")/lib.sh"
setup
before=$(snapshot)
start_installer

titles=("Install The Tolm Language" "Where to install book icon" "Where to install pages" "Options")
buttons=("buttons: next cancel" "buttons: back next cancel" "buttons: back next cancel"
         "buttons: back finish cancel")
shots=(welcome icon-folder pages-folder options)

for page in 0 1 2 3; do
    [ $page -gt 0 ] && drive press next
    expect_drive "title: ${titles[page]}" wait-title "${titles[page]}"
    expect_drive "${buttons[page]}" buttons
    screenshot "${shots[page]}"
done
expect_drive "check 899: on" get-check 899
expect_drive "check 899: off" check 899 off

for page in 2 1 0; do
    drive press back
    expect_drive "title: ${titles[page]}" wait-title "${titles[page]}"
    expect_drive "${buttons[page]}" buttons
done
for page in 1 2 3; do
    drive press next
    expect_drive "title: ${titles[page]}" wait-title "${titles[page]}"
done
expect_drive "check 899: off" get-check 899

drive press cancel
expect_drive "wizard: gone" wait-gone
expect_installer_exit "$installer_pid" $exit_cancelled
expect_nothing_written "$before"
conclude
