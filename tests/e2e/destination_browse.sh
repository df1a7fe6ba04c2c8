#!/bin/bash
# Browse on both destination pages: Cancel leaves each destination as it was;
# then a chain typed into "New Folder:" on the pages page, with doubled and
# trailing backslashes, is where the install lands. The install after Browse
# still creates the shortcut.
source "$(dirname "$0")/lib.sh"
setup
start_installer

chain='Tolm Books\\Deep\'          # typed as a user might: a doubled and a trailing backslash
pages_dir="$WINEPREFIX/drive_c/Program Files/Tolm Books/Deep"
pages_windows='C:\Program Files\Tolm Books\Deep'

# browse_and_cancel BUTTON FIELD: opens Browse, checks the offered chain, cancels.
browse_and_cancel() {
    expect_drive "clicked: $1" click "$1"
    expect_drive "field: $2" browse-wait
    expect_drive "browse: closed" browse-press cancel
}

go_to_page 1
screenshot icon-default
browse_and_cancel 1003 Tolm
# The same chain is offered again: Cancel changed nothing.
browse_and_cancel 1003 Tolm
screenshot icon-after-cancel

drive press next
expect_drive "title: Where to install pages" wait-title "Where to install pages"
screenshot pages-default
browse_and_cancel 1001 Corvalin
browse_and_cancel 1001 Corvalin

# Selecting another folder after typing clears the field.
expect_drive "clicked: 1001" click 1001
expect_drive "field: typed" browse-field typed
expect_drive 'selected: C:\windows' browse-select 'C:\windows'
expect_drive "field: " browse-field
expect_drive 'selected: C:\Program Files' browse-select 'C:\Program Files'
expect_drive "field: $chain" browse-field "$chain"
screenshot browse-new-folder
expect_drive "browse: closed" browse-press ok
# Reopened, the browser offers the normalised chain still to be created.
expect_drive "clicked: 1001" click 1001
expect_drive 'field: Tolm Books\Deep' browse-wait
expect_drive "browse: closed" browse-press cancel
screenshot pages-typed-chain

drive press next
expect_drive "title: Options" wait-title "Options"
drive press finish
expect_drive "wizard: gone" wait-gone
expect_installer_exit "$installer_pid"

if [ -d "$pages_dir" ] && [ -f "$pages_dir/Kestrun.exe" ]; then
    log "pages: in $pages_dir ($(ls "$pages_dir" | wc -l) files)"
else
    fail "nothing installed in $pages_dir"
fi
[ -e "$WINEPREFIX/drive_c/Program Files/Corvalin" ] && fail "the default pages folder was created too"
uninstall=$(registry_value UninstallString)
[ "$uninstall" = "\"$pages_windows\\Kestrun.exe\"" ] || fail "UninstallString is '$uninstall'"
first_page=$(manifest_list main | head -n1)
expect_drive "target: $pages_windows\\$first_page.htm" shortcut "$link_windows_path"
conclude
