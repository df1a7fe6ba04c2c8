# Steps shared by the fault and path scenarios; sourced after ../lib.sh.

# windows_path UNIX_PATH: the C: drive path of a file inside the prefix.
windows_path() {
    local relative=${1#"$WINEPREFIX/drive_c/"}
    printf 'C:\\%s' "${relative//\//\\}"
}

# expect_error_box TEXT [CAPTION]: a message box with the error icon shows
# TEXT under CAPTION (default "Error during install:"); answers it with OK.
expect_error_box() {
    local caption=${2:-Error during install:}
    expect_drive "msgbox caption: $caption" msgbox ok
    grep -qxF "msgbox text: $1" <<<"$out" || fail "message text: expected '$1'"
    grep -qxF "msgbox icon: error" <<<"$out" || fail "message icon"
}

# expect_box_shown TEXT [CAPTION]: like expect_error_box, but the box is left
# open, unanswered (needs uninstall_steps.sh for wait_for_box).
expect_box_shown() {
    local caption=${2:-Error during install:}
    wait_for_box
    drive no-msgbox
    grep -qxF "msgbox caption: $caption" <<<"$out" || fail "message caption: expected '$caption'"
    grep -qxF "msgbox text: $1" <<<"$out" || fail "message text: expected '$1'"
}

# fixture ARGS...: runs the fixture; its lines are in $out.
fixture() {
    timeout "$drive_timeout" "$WINELOADER" "$TOLM_FIXTURE" "$@" >"$work/fixture.out" 2>&1 || fail "fixture $1 failed"
    out=$(tr -d '\r' <"$work/fixture.out")
}

# mark_earlier_registration: the installed book's key gets another display
# name than an install writes, so that a rollback must put the earlier value
# back rather than leave one that merely looks the same. Like an export, a
# start of reg on a loaded machine can fail: setting the value is tried again.
mark_earlier_registration() {
    local try
    for try in 1 2 3; do
        timeout "$drive_timeout" "$WINELOADER" reg add "$uninstall_key" /v DisplayName /t REG_SZ \
            /d "The Tolm Language (earlier release)" /f >"$work/reg.out" 2>&1 && return 0
        log "reg add DisplayName: attempt $try failed"
    done
    fail "DisplayName not set"
}

readonly copy_failed_text="Can't copy the program files to the desired directory!"

# start_and_finish [INSTALLER]: starts the installer, accepts every default,
# presses Finish. The caller then answers what the install shows.
start_and_finish() {
    start_installer "$@"
    go_to_page 3
    drive press finish >/dev/null
}

# expect_closed [EXPECTED]: the wizard closes and its process exits with code
# EXPECTED (default 0, installed).
expect_closed() {
    expect_drive "wizard: gone" wait-gone
    expect_installer_exit "$installer_pid" "${1:-0}"
}

# expect_no_more_boxes: nothing else is waiting for an answer.
expect_no_more_boxes() {
    expect_drive "msgbox: none" no-msgbox
}

# hold_file UNIX_PATH: another process opens the file with share mode 0 and
# keeps it open until it is ended; its process id is in $holder_pid.
hold_file() {
    local windows tries=0
    windows=$(windows_path "$1")
    # The release file is never made: the scenario ends the holder itself.
    timeout "$installer_timeout" "$WINELOADER" "$TOLM_FIXTURE" hold "$windows" "C:\\never-released" \
        >"$work/holder.out" 2>&1 &
    holder_pid=$!
    installer_pids+=("$holder_pid")
    until grep -q '^held' "$work/holder.out" 2>/dev/null; do
        tries=$((tries + 1))
        if [ $tries -gt 300 ] || ! kill -0 "$holder_pid" 2>/dev/null; then
            fail "the file could not be held: $(cat "$work/holder.out")"
            return 1
        fi
        sleep 0.1
    done
    log "held: $windows"
}

# finish_at_icon_box: from the icon page, once the icon folder's name is taken
# by a file, on to Finish; the run then waits at the box that reports the
# icon folder, after the uninstaller, its registration and the first page.
# (Needs uninstall_steps.sh for wait_for_box.)
finish_at_icon_box() {
    drive press next >/dev/null
    expect_drive "title: Where to install pages" wait-title "Where to install pages"
    drive press next >/dev/null
    expect_drive "title: Options" wait-title "Options"
    drive press finish >/dev/null
    expect_box_shown "Didn't create the new Desktop Folder!"
}

# kill_at_icon_box [OPTION...]: a wizard install with /ICONS=Tolm\<block_name>
# and the OPTIONs, killed at the box that reports the icon folder once the
# file block has taken that folder's name; its journal stays open. The
# prefix's server ends with it (so that nothing the run held stays open), and
# the block is removed. (Needs uninstall_steps.sh.)
kill_at_icon_box() {
    start_installer "$TOLM_INSTALLER" "/ICONS=Tolm\\$block_name" "$@"
    go_to_page 1
    printf 'a file named like the new icon folder\n' >"$block"
    finish_at_icon_box
    has_journal && log "install journal: open" || fail "no journal while the run waits"
    kill_installer "$installer_pid"
    "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -w 2>/dev/null
    rm -f "$block"
}

# update_to_icon_box: an update through the wizard, held at the box that
# reports the icon folder: the scenario's block_name typed into Browse below
# the earlier install's icon folder, where the file block (the same, as a
# Unix path) then takes the name. (Needs uninstall_steps.sh.)
update_to_icon_box() {
    start_installer
    go_to_page 1
    # Browse starts on the earlier install's icon folder; the new one goes below it.
    expect_drive "clicked: 1003" click 1003
    expect_drive "selection: Desktop > Tolm" browse-wait
    expect_drive "field: $block_name" browse-field "$block_name"
    expect_drive "browse: closed" browse-press ok
    printf 'a file named like the new icon folder\n' >"$block"
    finish_at_icon_box
}

# The name of the Nth page of the main list, as installed.
main_page() {
    printf '%s.htm' "$(manifest_list main | sed -n "${1}p")"
}

# silent_install OPTIONS EXPECTED [INSTALLER]: an unattended install (by
# default TOLM_INSTALLER) with its log read.
silent_install() {
    watch_run "\"$(z_path "${3:-$TOLM_INSTALLER}")\" /S /LOG=$(z_path "$work/install.log") $1"
    expect_unattended "$2"
    read_run_log "$work/install.log"
}

# quiet_uninstall EXPECTED: the key's QuietUninstallString, with its log read
# (needs uninstall_steps.sh).
quiet_uninstall() {
    watch_run "$(registry_value QuietUninstallString) /LOG=$(z_path "$work/uninstall.log")"
    expect_unattended "$1"
    read_run_log "$work/uninstall.log"
    wait_temp_copy_gone
}
