#!/bin/bash
# install_over_earlier.sh SEQUENCE: a second install over a first one loses
# nothing and leaves nothing behind. SEQUENCE is a row of the table below:
#   same-folder         the variant, then the variant again where proposed;
#   plain-then-variant  the plain book, then the variant where proposed;
#   another-folder      the variant, then the variant into another folder,
#                       which removes the first install;
#   another-icon-folder the variant, then the variant with its icon in another
#                       folder, which takes the first one's icon and icon
#                       folder: one shortcut is left.
# The first install goes to C:\Program Files\Tolm Books, chosen with Browse
# and the "New Folder:" field, so the second run's pages page must propose
# that folder rather than its own default: Browse starts there with nothing
# to create. After the second install the book is installed exactly as a
# fresh install of the variant into its folder would be; then one uninstall
# (the uninstaller the key names) leaves the prefix as the fresh one was.
sequence=${1:-}
scenario=install_over_earlier-$sequence
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"

readonly programs_windows='C:\Program Files'
readonly first_folder='Tolm Books'

# sequence | the first install's option | the second's folder below C:\Program Files (empty: the proposed one)
# | the second's icon chain below the desktop (empty: the proposed one)
sequences=(
    "same-folder|on||"
    "plain-then-variant|off||"
    "another-folder|on|Tolm Reader|"
    "another-icon-folder|on||Books\\Tolm"
)

# choose_icon_chain CHAIN: on the icon page, Browse, select the desktop and
# type CHAIN as the new folders.
choose_icon_chain() {
    expect_drive "clicked: 1003" click 1003
    drive browse-wait >/dev/null || fail "no Browse dialog"
    expect_drive "selected: $desktop_windows" browse-select "$desktop_windows"
    expect_drive "field: $1" browse-field "$1"
    expect_drive "browse: closed" browse-press ok
}

# choose_pages_folder NAME: on the pages page, Browse, select C:\Program Files
# and type NAME as the new folder.
choose_pages_folder() {
    expect_drive "clicked: 1001" click 1001
    expect_drive "selected: $programs_windows" browse-select "$programs_windows"
    expect_drive "field: $1" browse-field "$1"
    expect_drive "browse: closed" browse-press ok
}

# expect_proposed NAME: the pages page proposes the existing folder
# C:\Program Files\NAME: Browse starts on it, with no new folder to make.
expect_proposed() {
    expect_drive "clicked: 1001" click 1001
    expect_drive "field: " browse-wait
    grep -qx "selection: .* > Program Files > $1" <<<"$out" || fail "Browse does not start on $1"
    expect_drive "browse: closed" browse-press cancel
}

# install_into NAME OPTION [PROPOSED [ICONS]]: the whole wizard, the icon
# chain ICONS when given, the pages folder C:\Program Files\NAME (chosen
# unless it is the proposed one), the option box set to OPTION (on|off).
install_into() {
    start_installer
    go_to_page 1
    if [ -n "${4:-}" ]; then choose_icon_chain "$4"; fi
    drive press next >/dev/null
    expect_drive "title: Where to install pages" wait-title "Where to install pages"
    [ -n "${3:-}" ] && expect_proposed "$3"
    [ "$1" = "${3:-}" ] || choose_pages_folder "$1"
    drive press next >/dev/null
    expect_drive "title: Options" wait-title "Options"
    drive check 899 "$2" >/dev/null || fail "could not set the option to $2"
    drive press finish >/dev/null
    expect_drive "wizard: gone" wait-gone
    expect_installer_exit "$installer_pid"
}

row=$(printf '%s\n' "${sequences[@]}" | grep "^$sequence|") ||
    { echo "usage: $0 same-folder|plain-then-variant|another-folder|another-icon-folder" >&2; exit 2; }
IFS='|' read -r _ first_option second_folder second_icons <<<"$row"
second_folder=${second_folder:-$first_folder}

setup
desktop_windows="C:\\users\\$(whoami)\\Desktop"
prefix_snapshot "$work/fresh"
install_into "$first_folder" "$first_option"
pages_dir="$WINEPREFIX/drive_c/Program Files/$first_folder"
expect_book_installed "$([ "$first_option" = on ] && echo 1 || echo 0)"
first_icon_dir=$icon_dir
install_into "$second_folder" on "$first_folder" "$second_icons"
if [ -n "$second_icons" ]; then
    icon_dir=$user_dir/Desktop/${second_icons//\\//}
    link_windows_path="$desktop_windows\\$second_icons\\The Tolm Language.lnk"
    [ ! -e "$first_icon_dir" ] && log "the first icon folder: removed" ||
        fail "the first icon folder remains: $(ls -A "$first_icon_dir")"
fi

pages_dir="$WINEPREFIX/drive_c/Program Files/$second_folder"
expect_book_installed 1
expect_registration "$programs_windows\\$second_folder"
expect_shortcut "$programs_windows\\$second_folder"
expect_settled
[ -e "$WINEPREFIX/drive_c/Program Files/Corvalin" ] && fail "the default pages folder was made"
if [ "$second_folder" != "$first_folder" ]; then
    [ ! -e "$WINEPREFIX/drive_c/Program Files/$first_folder" ] && log "the first install: removed" ||
        fail "the first install's folder remains: $(ls -A "$WINEPREFIX/drive_c/Program Files/$first_folder")"
fi

expect_uninstall_restores "$work/fresh" "after the uninstall"
conclude
