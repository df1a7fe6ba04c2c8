#!/bin/bash
# A file the user put into the pages folder survives the uninstall, and so
# does the folder that holds it; everything of the book goes, without an error.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"
setup
install_book off
printf 'my own notes\n' >"$pages_dir/notes.txt"
uninstall_with_yes
wait_uninstall_done
expect_drive "msgbox: none" no-msgbox
left=$(ls -A "$pages_dir" 2>/dev/null)
[ "$left" = notes.txt ] && log "pages folder: only notes.txt left" || fail "pages folder holds '$left'"
[ "$(cat "$pages_dir/notes.txt" 2>/dev/null)" = "my own notes" ] || fail "notes.txt changed"
expect_no_uninstall_key
expect_no_shortcut
conclude
