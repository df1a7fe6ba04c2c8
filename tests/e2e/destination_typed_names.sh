#!/bin/bash
# Names typed into the browser's "New Folder:" field that the destination
# cannot take as typed: a name held by a file (its message, then only the
# existing part remains), and 100 characters (the first 79 are kept). A long
# chain is drawn with "..." in its middle. Cancel then writes nothing.
source "$(dirname "$0")/lib.sh"
setup
: >"$WINEPREFIX/drive_c/Program Files/Taken"
before=$(snapshot)
start_installer

long_name=$(printf 'x%.0s' {1..100})
long_chain='Tolm Language Books\Reference Manual Edition\Corvalin'

# type_chain TEXT: opens Browse on the pages page, types TEXT below
# C:\Program Files and presses OK.
type_chain() {
    expect_drive "clicked: 1001" click 1001
    expect_drive 'selected: C:\Program Files' browse-select 'C:\Program Files'
    expect_drive "field: $1" browse-field "$1"
    expect_drive "browse: closed" browse-press ok
}

# expect_offered CHAIN: Browse offers CHAIN as the folders still to create.
expect_offered() {
    expect_drive "clicked: 1001" click 1001
    expect_drive "field: $1" browse-wait
    expect_drive "browse: closed" browse-press cancel
}

go_to_page 2
type_chain 'Taken\sub'
expect_drive "msgbox caption: Error during install:" msgbox ok
grep -qxF "msgbox text: New Folder name can't be the same as some file's name!" <<<"$out" ||
    fail "file-name conflict message"
grep -qxF "msgbox icon: error" <<<"$out" || fail "file-name conflict icon"
expect_offered ""
screenshot pages-name-taken-by-file

type_chain "$long_name"
expect_offered "${long_name:0:79}"

type_chain "$long_chain"
expect_offered "$long_chain"
screenshot pages-long-path

drive press cancel
expect_drive "wizard: gone" wait-gone
expect_installer_exit "$installer_pid" $exit_cancelled
expect_nothing_written "$before"
conclude
