#!/bin/bash
# Folders whose names the ANSI code page (1252) cannot hold. Each case takes a
# fresh prefix, installs through the real wizard, reads the install back (the
# files and their bytes, the link's target, the uninstall key), runs the key's
# UninstallString as Add/Remove Programs does and answers Yes, and then finds
# the prefix as it was before the install, apart from Wine's own housekeeping.
#
# The uninstaller removes exactly the folders the install made, so a case's
# "before" is taken after making the folder it chooses through Browse: that
# one stays.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"

readonly link_name="The Tolm Language.lnk"
readonly programs='C:\Program Files'
readonly user=$(whoami)

# One case a row, fields separated by "|":
#   name
#   desktop       the user's desktop folder, when not the default
#   temp          the user's temp folder (TEMP and TMP), when not the default;
#                 the default one is then removed, so the uninstaller's temp
#                 copy can be made in this one only (without a copy, the
#                 uninstaller leaves its own file to the next start, and the
#                 snapshot shows it)
#   chosen        a folder made beforehand and chosen in the pages page's Browse
#   pages chain   typed into "New Folder:" below the chosen folder
#   icon chain    typed into "New Folder:" of the icon page's Browse, below the desktop
cases=(
    "cyrillic-desktop|C:\\users\\$user\\Рабочий стол||||"
    "greek-user|C:\\users\\Παύλος\\Desktop|C:\\users\\Παύλος\\Temp|||"
    "chosen-folder|||$programs\\Łódź 東京||"
    "typed-chain|||$programs\\Łódź 東京|Βιβλία\\Тома 東|Ярлыки\\Książki"
)

# choose_icon_chain DESKTOP CHAIN: types CHAIN below the desktop in the icon
# page's Browse.
choose_icon_chain() {
    expect_drive "clicked: 1003" click 1003
    expect_drive "field: Tolm" browse-wait
    expect_drive "selected: $1" browse-select "$1"
    expect_drive "field: $2" browse-field "$2"
    expect_drive "browse: closed" browse-press ok
}

# choose_pages_folder CASE FOLDER CHAIN: chooses FOLDER and types CHAIN in the
# pages page's Browse; reopened, the dialog offers CHAIN as still to be made.
choose_pages_folder() {
    expect_drive "clicked: 1001" click 1001
    expect_drive "field: Corvalin" browse-wait
    expect_drive "selected: $2" browse-select "$2"
    expect_drive "field: " browse-field
    [ -n "$3" ] && expect_drive "field: $3" browse-field "$3"
    screenshot "$1-browse"
    expect_drive "browse: closed" browse-press ok
    expect_drive "clicked: 1001" click 1001
    expect_drive "field: $3" browse-wait
    expect_drive "browse: closed" browse-press cancel
}

# run_case ROW: one whole case in a fresh prefix.
run_case() {
    local name desktop temp chosen pages_chain icon_chain
    IFS='|' read -r name desktop temp chosen pages_chain icon_chain <<<"$1"
    log "case $name"
    "$WINESERVER" -k 2>/dev/null
    make_prefix
    require_code_page 1252
    temp_dir=
    if [ -n "$desktop" ]; then
        # Both keys, as after the user moved the desktop: the shell keeps the
        # resolved path in "Shell Folders" and would write it there itself.
        set_value "$shell_folders_key" Desktop REG_EXPAND_SZ "$desktop"
        set_value "${shell_folders_key%\\*}\\Shell Folders" Desktop REG_SZ "$desktop"
        mkdir -p "$(unix_path "$desktop")"
    else
        desktop="C:\\users\\$user\\Desktop"
    fi
    if [ -n "$temp" ]; then
        set_value 'HKCU\Environment' TEMP REG_EXPAND_SZ "$temp"
        set_value 'HKCU\Environment' TMP REG_EXPAND_SZ "$temp"
        temp_dir=$(unix_path "$temp")
        mkdir -p "$temp_dir"
        rm -rf "$user_dir/Temp" "$user_dir/AppData/Local/Temp"
    fi
    [ -n "$chosen" ] && mkdir -p "$(unix_path "$chosen")"
    prefix_snapshot "$work/$name-before"

    start_installer
    go_to_page 1
    if [ -n "$icon_chain" ]; then
        choose_icon_chain "$desktop" "$icon_chain"
        screenshot "$name-icon"
    fi
    drive press next >/dev/null
    expect_drive "title: Where to install pages" wait-title "Where to install pages"
    [ -n "$chosen" ] && choose_pages_folder "$name" "$chosen" "$pages_chain"
    screenshot "$name-pages"
    drive press next >/dev/null
    expect_drive "title: Options" wait-title "Options"
    drive check 899 on >/dev/null || fail "could not choose the variant"
    drive press finish >/dev/null
    expect_drive "wizard: gone" wait-gone
    expect_installer_exit "$installer_pid"

    pages_windows=${chosen:-$programs\\Corvalin}${pages_chain:+\\$pages_chain}
    pages_dir=$(unix_path "$pages_windows")
    link_windows_path="$desktop\\${icon_chain:-Tolm}\\$link_name"
    icon_dir=$(unix_path "${link_windows_path%\\*}")
    expect_book_installed 1
    expect_shortcut
    expect_registration

    start_uninstaller_from_key
    answer_yes
    wait_uninstall_done
    expect_drive "msgbox: none" no-msgbox
    expect_no_uninstall_key
    prefix_snapshot "$work/$name-after"
    expect_same_snapshot "$work/$name-before" "$work/$name-after" "$name"
}

setup
for row in "${cases[@]}"; do
    run_case "$row"
done
conclude
