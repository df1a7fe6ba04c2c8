#!/bin/bash
# The icon page's browser, rooted at the desktop, choosing the desktop itself
# with an empty "New Folder:" field: the display goes empty and the install
# puts the shortcut straight on the desktop, creating no folder there.
source "$(dirname "$0")/lib.sh"
setup
start_installer
desktop_windows="C:\\users\\$(whoami)\\Desktop"

go_to_page 1
expect_drive "clicked: 1003" click 1003
expect_drive "field: Tolm" browse-wait
expect_drive "selected: $desktop_windows" browse-select "$desktop_windows"
expect_drive "field: " browse-field ""
expect_drive "browse: closed" browse-press ok
screenshot icon-desktop-itself

drive press next
expect_drive "title: Where to install pages" wait-title "Where to install pages"
drive press next
expect_drive "title: Options" wait-title "Options"
drive press finish
expect_drive "wizard: gone" wait-gone
expect_installer_exit "$installer_pid"

[ -e "$icon_dir" ] && fail "the default icon folder was created"
first_page=$(manifest_list main | head -n1)
expect_drive "target: C:\\Program Files\\Corvalin\\$first_page.htm" shortcut \
    "$desktop_windows\\The Tolm Language.lnk"
expect_book_installed 1
conclude
