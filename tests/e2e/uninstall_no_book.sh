#!/bin/bash
# A copy of the uninstaller in a folder that no install registered says that
# there is nothing to remove and touches nothing: not a file of the user's
# there with a book file's name, nor the book installed elsewhere. Silent, it
# exits 0 and logs the same.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"
setup
install_book on
spare_dir=$WINEPREFIX/drive_c/Spare
mkdir -p "$spare_dir"
cp "$pages_dir/Kestrun.exe" "$spare_dir/Kestrun.exe"
printf 'not a page\n' >"$spare_dir/readme.txt"
printf "the user's own index\n" >"$spare_dir/$(manifest_list main | head -n1).htm"
prefix_snapshot "$work/before"
start_uninstaller 'C:\Spare\Kestrun.exe'
expect_drive "msgbox caption: The Tolm Language" msgbox ok
grep -qx "msgbox text: There is nothing to remove: .*" <<<"$out" || fail "unexpected message"
grep -qx "msgbox icon: information" <<<"$out" || fail "the message has no information icon"
wait_uninstall_done
watch_run "\"C:\\Spare\\Kestrun.exe\" /S /LOG=$(z_path "$work/spare.log")"
expect_unattended $exit_done
read_run_log "$work/spare.log"
expect_log_line result "nothing to remove (exit code 0)" ""
prefix_snapshot "$work/after"
expect_same_snapshot "$work/before" "$work/after" "copy without a book"
conclude
