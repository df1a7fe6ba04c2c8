#!/bin/bash
# What is not the book's survives the uninstall, and so does the folder that
# holds it; everything of the book goes, without an error, and so does the
# key. That is a file the user put into the pages folder, and entries that
# bear a page's name without being the book's file: a page the user edited, a
# folder, and a link to a folder of the user's. Each of those is logged with
# its reason, and the last message names the folder that stays.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"
setup
install_book off
printf 'my own notes\n' >"$pages_dir/notes.txt"
folder_page=$(manifest_list main | sed -n 5p).htm
link_page=$(manifest_list main | sed -n 6p).htm
edited_page=$(manifest_list main | sed -n 7p).htm
printf '<p>my note</p>\n' >>"$pages_dir/$edited_page"
edited_sum=$(sha1sum <"$pages_dir/$edited_page")
rm "$pages_dir/$folder_page" "$pages_dir/$link_page"
mkdir "$pages_dir/$folder_page"
printf 'mine\n' >"$pages_dir/$folder_page/inside.txt"
mine=$(unix_path 'C:\Mine')
mkdir -p "$mine"
printf "the user's own\n" >"$mine/keep.txt"
ln -s "$mine" "$pages_dir/$link_page"

start_uninstaller "$kestrun_windows_path" "/LOG=$(z_path "$work/uninstall.log")"
answer_yes
expect_drive "msgbox caption: The Tolm Language" msgbox ok
grep -qxF "msgbox text: The book was removed. This folder stays:" <<<"$out" &&
    grep -qxF "$pages_windows" <<<"$out" && log "the last message names the folder that stays" ||
    fail "the last message does not name $pages_windows"
grep -qx "msgbox icon: information" <<<"$out" || fail "the last message is not for information"
wait_uninstall_done
expect_drive "msgbox: none" no-msgbox
read_run_log "$work/uninstall.log"
for name in "$folder_page" "$link_page"; do
    expect_log_line "left as it is" "$pages_windows\\$name" "a folder or a link"
done
expect_log_line "left as it is" "$pages_windows\\$edited_page" "not the book's file"
expect_log_line stayed "$pages_windows" "it holds what is not the book's"
expect_log_line result "removed (exit code 0)" ""
left=$(ls -A "$pages_dir" 2>/dev/null | sort | tr '\n' ' ')
expected=$(printf '%s\n' "$folder_page" "$link_page" "$edited_page" notes.txt | sort | tr '\n' ' ')
[ "$left" = "$expected" ] && log "pages folder: $left" || fail "pages folder holds '$left', not '$expected'"
[ "$(cat "$pages_dir/notes.txt" 2>/dev/null)" = "my own notes" ] || fail "notes.txt changed"
[ "$(sha1sum <"$pages_dir/$edited_page")" = "$edited_sum" ] || fail "the edited page changed"
[ "$(cat "$pages_dir/$folder_page/inside.txt" 2>/dev/null)" = "mine" ] || fail "the folder's file changed"
[ "$(cat "$mine/keep.txt" 2>/dev/null)" = "the user's own" ] || fail "the linked folder's file changed"
expect_no_uninstall_key
expect_no_shortcut
conclude
