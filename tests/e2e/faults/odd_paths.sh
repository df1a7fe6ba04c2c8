#!/bin/bash
# Destinations whose names are in the ANSI code page but not ASCII, hold
# spaces, and lie deep: chosen through both Browse dialogs, partly existing,
# partly typed into "New Folder:". First an installer with a corrupt entry
# must remove every folder of those chains it made; then the real one installs
# there completely, and the shortcut (its target from its item ID list) and
# the uninstall key read back.
#
# Every letter here is in the ANSI code page, 1252: "ü" is one byte to an
# ANSI program and two bytes (UTF-8) in the Unix file name.
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/faults.sh"

setup
require_code_page 1252
programs='C:\Program Files'
existing='Bücher für Leser\Ebene zwei'
typed="$existing\\Ebene drei\\Ebene vier – ä ö ß\\Tolm ¼ Ü"
icon_typed='Verknüpfungen für Bücher\Sprachbücher'
desktop_windows="C:\\users\\$(whoami)\\Desktop"
pages_windows="$programs\\${typed}"
pages_dir="$WINEPREFIX/drive_c/Program Files/${typed//\\//}"
icon_dir="$user_dir/Desktop/${icon_typed//\\//}"
link_windows_path="$desktop_windows\\$icon_typed\\The Tolm Language.lnk"
[ ${#typed} -le 79 ] || fail "the typed chain is longer than the field keeps"

mkdir -p "$WINEPREFIX/drive_c/Program Files/${existing//\\//}"
before=$(snapshot)

# choose_destinations: types both chains into the Browse dialogs and goes on
# to the options page.
choose_destinations() {
    go_to_page 1
    expect_drive "clicked: 1003" click 1003
    expect_drive "field: Tolm" browse-wait
    expect_drive "selected: $desktop_windows" browse-select "$desktop_windows"
    expect_drive "field: $icon_typed" browse-field "$icon_typed"
    expect_drive "browse: closed" browse-press ok
    drive press next >/dev/null
    expect_drive "title: Where to install pages" wait-title "Where to install pages"
    expect_drive "clicked: 1001" click 1001
    expect_drive "selected: $programs" browse-select "$programs"
    expect_drive "field: $typed" browse-field "$typed"
    expect_drive "browse: closed" browse-press ok
    # Reopened, the browser offers the part still to be created.
    expect_drive "clicked: 1001" click 1001
    expect_drive "field: ${typed#"$existing\\"}" browse-wait
    expect_drive "browse: closed" browse-press cancel
    drive press next >/dev/null
    expect_drive "title: Options" wait-title "Options"
}

start_installer "$TOLM_CORRUPT_INSTALLER"
choose_destinations
drive press finish >/dev/null
expect_error_box "$copy_failed_text"
expect_closed $exit_failed
expect_nothing_written "$before"

start_installer
choose_destinations
screenshot options-odd-paths
drive press finish >/dev/null
expect_closed
expect_book_installed 1
expect_shortcut
expect_registration
conclude
