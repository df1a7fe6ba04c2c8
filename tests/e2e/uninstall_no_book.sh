#!/bin/bash
# A copy of the uninstaller in a folder without the book says that there is
# nothing to remove and touches nothing, not even the book installed elsewhere.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"
setup
install_book on
spare_dir=$WINEPREFIX/drive_c/Spare
mkdir -p "$spare_dir"
cp "$pages_dir/Kestrun.exe" "$spare_dir/Kestrun.exe"
printf 'not a page\n' >"$spare_dir/readme.txt"
prefix_snapshot "$work/before"
start_uninstaller 'C:\Spare\Kestrun.exe'
expect_drive "msgbox caption: The Tolm Language" msgbox ok
grep -qx "msgbox text: There is nothing to remove: .*" <<<"$out" || fail "unexpected message"
grep -qx "msgbox icon: information" <<<"$out" || fail "the message has no information icon"
wait_uninstall_done
prefix_snapshot "$work/after"
expect_same_snapshot "$work/before" "$work/after" "copy without a book"
conclude
