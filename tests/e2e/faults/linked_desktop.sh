#!/bin/bash
# The desktop as Wine makes it in every new prefix (a Unix symbolic link to a
# folder outside the prefix), and as profile disks, container profiles or a
# desktop moved with a junction make it on Windows: reached through a link.
# The desktop is a root, like a drive: whatever it is linked to is accepted,
# and only the folders below it are checked. So each of these ends clean,
# with no journal and nothing set aside:
#   1. an install, an update, an update rolled back (a payload without its
#      last page), and an update killed at its icon box and settled by the
#      next run; then the uninstall, after which the real desktop folder holds
#      no Tolm;
#   2. a link below the desktop (the icon folder replaced by one) is refused
#      before anything is made;
#   3. an install of a release that recorded no icon folder, on a desktop
#      wider than the search for its link may open: an install into another
#      folder over it says where the search stopped, and does not count that
#      as a failure.
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/../uninstall_steps.sh"
source "$(dirname "$0")/faults.sh"

setup
real_desktop=$work/home/Desktop
mkdir -p "$real_desktop"
rm -rf "$user_dir/Desktop"
ln -s "$real_desktop" "$user_dir/Desktop"
desktop_windows="C:\\users\\$(whoami)\\Desktop"
readonly block_name=Blocked
block=$icon_dir/$block_name


# expect_installed: the variant in the default folder with its shortcut, and
# no run left open.
expect_installed() {
    expect_book_installed 1
    expect_shortcut
    expect_settled
}

log "-- 1. install, update, rollback, settle and uninstall"
silent_install "" $exit_done
expect_installed
[ -f "$real_desktop/Tolm/The Tolm Language.lnk" ] && log "the shortcut lies in the real desktop folder" ||
    fail "no shortcut in $real_desktop/Tolm"
silent_install "" $exit_done
expect_installed
silent_install "" $exit_failed "$TOLM_BROKEN_INSTALLER"
expect_log_line result "failed, rolled back (exit code 1603)" ""
expect_installed
kill_at_icon_box
silent_install "" $exit_done
expect_log_line "interrupted install found" "open: rolling it back" ""
expect_installed
quiet_uninstall $exit_done
expect_no_uninstall_key
[ -z "$(ls -A "$real_desktop")" ] && log "the real desktop folder: empty" ||
    fail "the real desktop folder holds: $(ls -A "$real_desktop")"

log "-- 2. a link below the desktop is refused before anything is made"
elsewhere=$work/elsewhere
mkdir -p "$elsewhere"
ln -s "$elsewhere" "$real_desktop/Tolm"
machine_snapshot "$work/before-link"
silent_install "" $exit_failed
expect_log_line message "The book's icon cannot be put in $desktop_windows\\Tolm  because it or a folder above it is a link (a junction, symbolic link or mount point), so the book could end up elsewhere.  Choose another folder." ""
expect_log_line result "refused, nothing was changed (exit code 1603)" ""
machine_snapshot "$work/after-link"
expect_same_snapshot "$work/before-link" "$work/after-link" "the refused install"
[ -z "$(ls -A "$elsewhere")" ] && log "the linked folder: untouched" || fail "the linked folder holds: $(ls -A "$elsewhere")"
rm "$real_desktop/Tolm"

log "-- 3. a desktop wider than the search, for an install that recorded no icon folder"
for ((i = 0; i <= 2100; i++)); do mkdir "$real_desktop/folder-$i"; done
silent_install "" $exit_done
forget_icon_folder() {
    timeout "$drive_timeout" "$WINELOADER" reg delete "$uninstall_key" /v InstallFolders /f >/dev/null 2>&1 ||
        fail "no record of the folders"
}
forget_icon_folder
silent_install '/D=C:\Other\Tolm' $exit_done
expect_log_line "shortcut search stopped" "$desktop_windows" ""
pages_windows='C:\Other\Tolm'
pages_dir=$(unix_path "$pages_windows")
expect_installed
silent_install '/D=C:\Other\Tolm' $exit_done
expect_installed
quiet_uninstall $exit_done
expect_no_uninstall_key
conclude
