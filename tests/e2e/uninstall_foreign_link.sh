#!/bin/bash
# Links named like the book's but pointing elsewhere stay, with their folders;
# the book's own link and its folder go.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"
setup
install_book on
desktop_windows_path="C:\\users\\$(whoami)\\Desktop"
foreign_links=(
    "Other\\The Tolm Language.lnk|C:\\Books\\Tolm\\index.htm"
    "The Tolm Language.lnk|C:\\Program Files\\Corvalin\\old\\index.htm"
)
mkdir -p "$user_dir/Desktop/Other"
for entry in "${foreign_links[@]}"; do
    timeout "$drive_timeout" wine "$TOLM_FIXTURE" link "$desktop_windows_path\\${entry%%|*}" "${entry#*|}" \
        >/dev/null 2>&1 || fail "could not save the link ${entry%%|*}"
done

uninstall_with_yes
wait_uninstall_done
expect_drive "msgbox: none" no-msgbox
for entry in "${foreign_links[@]}"; do
    expect_drive "target: ${entry#*|}" shortcut "$desktop_windows_path\\${entry%%|*}"
done
expect_no_shortcut
expect_no_uninstall_key
conclude
