#!/bin/bash
# An install of a release that did not record where its link is: the
# uninstaller searches both desktops. Links named like the book's but
# pointing elsewhere stay, with their folders; the book's own link and its
# folder go, and so does a link into the book on the all-users desktop.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"
setup
install_book on
"$WINELOADER" reg delete "$uninstall_key" /v InstallFolders /f >/dev/null 2>&1 || fail "no record to delete"
desktop_windows_path="C:\\users\\$(whoami)\\Desktop"
foreign_links=(
    "Other\\The Tolm Language.lnk|C:\\Books\\Tolm\\index.htm"
    "The Tolm Language.lnk|C:\\Program Files\\Corvalin\\old\\index.htm"
)
mkdir -p "$user_dir/Desktop/Other"
public_folder="$WINEPREFIX/drive_c/users/Public/Desktop/Shared Books"
mkdir -p "$public_folder"
timeout "$drive_timeout" "$WINELOADER" "$TOLM_FIXTURE" link "C:\\users\\Public\\Desktop\\Shared Books\\The Tolm Language.lnk" \
    "C:\\Program Files\\Corvalin\\$(manifest_list main | head -n1).htm" >/dev/null 2>&1 || fail "could not save the public link"
for entry in "${foreign_links[@]}"; do
    timeout "$drive_timeout" "$WINELOADER" "$TOLM_FIXTURE" link "$desktop_windows_path\\${entry%%|*}" "${entry#*|}" \
        >/dev/null 2>&1 || fail "could not save the link ${entry%%|*}"
done

uninstall_with_yes
wait_uninstall_done
expect_drive "msgbox: none" no-msgbox
for entry in "${foreign_links[@]}"; do
    expect_drive "target: ${entry#*|}" shortcut "$desktop_windows_path\\${entry%%|*}"
done
expect_no_shortcut
[ ! -e "$public_folder" ] && log "all-users link folder: removed" || fail "$public_folder remains"
[ -d "$WINEPREFIX/drive_c/users/Public/Desktop" ] || fail "the all-users desktop was removed"
expect_no_uninstall_key
conclude
