#!/bin/bash
# An install of a release that did not record where its link is, replaced by
# an install into another folder: the installer removes it as its own
# uninstaller would, searching both desktops for its links. Links named like
# the book's but pointing elsewhere stay, with their folders; the earlier
# install's own link and its folder go, and so does a link into it on the
# all-users desktop. The new install's link, recorded, goes with its uninstall.
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

watch_run "$(installer_command '/S "/ICONS=Books" /D=C:\Other\Tolm')"
expect_unattended $exit_done
for entry in "${foreign_links[@]}"; do
    expect_drive "target: ${entry#*|}" shortcut "$desktop_windows_path\\${entry%%|*}"
done
[ ! -e "$icon_dir" ] && log "the earlier install's link folder: removed" || fail "$icon_dir remains"
[ ! -e "$public_folder" ] && log "all-users link folder: removed" || fail "$public_folder remains"
[ -d "$WINEPREFIX/drive_c/users/Public/Desktop" ] || fail "the all-users desktop was removed"
[ ! -e "$pages_dir" ] && log "the earlier install: removed" || fail "$pages_dir remains"

watch_run "$(registry_value QuietUninstallString)"
expect_unattended $exit_done
wait_temp_copy_gone
[ ! -e "$user_dir/Desktop/Books" ] && log "the new install's link folder: removed" || fail "its link folder remains"
expect_no_uninstall_key
conclude
