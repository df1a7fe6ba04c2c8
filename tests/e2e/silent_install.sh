#!/bin/bash
# Unattended installs, each removed again by the uninstall key's
# QuietUninstallString, in one prefix. Both programs are started the way
# another program would start them (the driver's watch): no window of any
# kind may appear and the exit code must be 0 exactly. The install must equal
# the wizard's (files and bytes, the shortcut, every value of the key) and log
# every value it sets. The uninstaller's process may exit only once the book,
# the shortcut and the key are gone; only Kestrun.exe and its folder may still
# go after it. The prefix is then as it was before the first install.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"
setup
require_code_page 1252
readonly default_pages='C:\Program Files\Corvalin'
desktop_windows="C:\\users\\$(whoami)\\Desktop"

# One install per row: what it is | its options | the book it must install
# (1 the variant) | the pages folder | the icon chain below the desktop. /D=
# takes the rest of the line, so its spaces need no quotes; /ICONS= is one
# argument only when quoted.
installs=(
    "defaults|/S|1|$default_pages|Tolm"
    "the plain book|/S /VARIANT=0|0|$default_pages|Tolm"
    "the variant, options in lower case|/s /variant=1|1|$default_pages|Tolm"
    "a pages folder with spaces and code page 1252 letters|/S /VARIANT=0 /D=C:\\Program Files\\Bücher für Leser\\Tolm Bände ¼|0|C:\\Program Files\\Bücher für Leser\\Tolm Bände ¼|Tolm"
    "a new icon chain|/S \"/ICONS=Sprachen\\Tolm Bücher\"|1|$default_pages|Sprachen\\Tolm Bücher"
    "two new folders outside Program Files|/S /D=C:\\My Books\\Tolm Book|1|C:\\My Books\\Tolm Book|Tolm"
    "a new folder in one that was there|/S /D=C:\\Shelf\\Tolm|1|C:\\Shelf\\Tolm|Tolm"
)

# expect_install_log FILE: the install logged every value it set and its
# result, and make bench's profile knows the phase of each of its actions.
expect_install_log() {
    local name profile
    read_run_log "$1"
    for name in UninstallString QuietUninstallString DisplayName DisplayIcon DisplayVersion Publisher \
        InstallLocation NoModify NoRepair EstimatedSize; do
        expect_log_line "value set" "$name = $(key_value "$name")" ok
    done
    expect_log_line "file written" "$pages_windows\\Kestrun.exe" ok
    expect_log_line result "done (exit code 0)" ""
    [ "$(grep -c $'^file written\t' <<<"$run_log")" = "$(find "$pages_dir" -type f | wc -l)" ] ||
        fail "the log does not list each file written"
    profile=$("$e2e_root/scripts/profile-log" --strict "$1" 2>&1 >/dev/null) || fail "the log's profile: $profile"
}

# installed_paths: every file of the pages folder, the shortcut and the icon
# folders the install made, as Windows paths, and the uninstall key.
installed_paths() {
    local name
    while read -r name; do
        printf '%s\n' "$pages_windows\\$name"
    done < <(ls "$pages_dir")
    printf '%s\n' "$link_windows_path" "$desktop_windows\\$icon_chain" "$desktop_windows\\${icon_chain%%\\*}" \
        "$uninstall_key"
}

# expect_gone_at_exit: when the uninstaller's process exited, of what the
# install made only Kestrun.exe was left.
expect_gone_at_exit() {
    local left
    left=$(sed -n 's/^left: //p' <<<"$out" | grep -vxF "$pages_windows\\Kestrun.exe")
    [ -z "$left" ] && log "at the uninstaller's exit: the book, its shortcut and its key were gone" ||
        fail "left when the uninstaller exited: $(tr '\n' ' ' <<<"$left")"
}

# Each uninstall must bring the prefix back to this: the folders each
# install made go, wherever they are, and a folder that was there stays.
mkdir -p "$WINEPREFIX/drive_c/Shelf"
prefix_snapshot "$work/before"
run=0
for row in "${installs[@]}"; do
    IFS='|' read -r what options specific pages_windows icon_chain <<<"$row"
    run=$((run + 1))
    log "-- $what: $options"
    pages_dir=$(unix_path "$pages_windows")
    icon_dir=$user_dir/Desktop/${icon_chain//\\//}
    link_windows_path="$desktop_windows\\$icon_chain\\The Tolm Language.lnk"

    install_log=$work/install-$run.log
    # /D= comes last: it takes the rest of the line.
    watch_run "$(installer_command "/LOG=$(z_path "$install_log") $options")"
    expect_unattended $exit_done
    expect_book_installed "$specific"
    expect_shortcut
    expect_registration
    expect_install_log "$install_log"

    uninstall_log=$work/uninstall-$run.log
    quiet=$(key_value QuietUninstallString)
    mapfile -t paths < <(installed_paths)
    watch_run "$quiet /LOG=$(z_path "$uninstall_log")" "${paths[@]}"
    expect_unattended $exit_done
    expect_gone_at_exit
    read_run_log "$uninstall_log"
    expect_log_line result "removed (exit code 0)" ""
    wait_temp_copy_gone
    prefix_snapshot "$work/after-$run"
    expect_same_snapshot "$work/before" "$work/after-$run" "$what"
done
conclude
