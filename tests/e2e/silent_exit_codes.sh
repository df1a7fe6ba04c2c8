#!/bin/bash
# The exit codes, each read exactly on the Windows side:
#   1618  a silent copy started while a wizard shows: it touches nothing and
#         raises nothing (the wizard, minimised on its welcome page, stays so);
#   1602  Cancel in that wizard;
#   1603  a wizard install that fails (a payload without its last page);
#   1618  a copy of the installer under another name, and the uninstaller,
#         while an install waits at a message box with its journal written:
#         both touch nothing, and the waiting install then completes;
#   1603  a silent install over an earlier one while one of its pages is held
#         open: everything is rolled back, the earlier install whole again;
#   1603  the silent uninstall while a page is held open: the page stays and
#         the log names it, everything else of the book goes but its key and
#         the uninstaller; once the page is released, the key's uninstaller
#         runs again and leaves the prefix as fresh as it was;
#      0  the next install after one that was killed while it held the
#         change lock (its server left running): the lock went with it;
#   1618  an uninstall and an update started together, at offsets from 0 to
#         0.3 s: whichever finds the other's lock changes nothing, and each
#         round ends with the book whole or with nothing of it left.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"
source "$(dirname "$0")/faults/faults.sh"
setup
caption="Install The Tolm Language"
prefix_snapshot "$work/fresh"

# start_fixture_run COMMAND_LINE: the fixture starts the command line and waits
# for it in the background; wait_fixture_run then checks its exact exit code.
start_fixture_run() {
    timeout "$installer_timeout" "$WINELOADER" "$TOLM_FIXTURE" run "$1" >"$work/fixture-run.out" 2>&1 &
    fixture_run=$!
    installer_pids+=("$fixture_run")
}

wait_fixture_run() {
    expect_installer_exit "$fixture_run" "$1"
    grep -qxF "exit code: $1" <(tr -d '\r' <"$work/fixture-run.out") ||
        fail "the exact exit code: $(tr -d '\r' <"$work/fixture-run.out"), expected $1"
}

log "-- a silent copy while the wizard shows"
before=$(snapshot)
start_fixture_run "$(installer_command)"
expect_drive "title: $caption" wait-title "$caption"
expect_drive "iconic: 1" minimize
watch_run "$(installer_command "/S /LOG=$(z_path "$work/busy.log")")"
expect_unattended $exit_busy
read_run_log "$work/busy.log"
expect_log_line result "another install runs or is not settled (exit code 1618)" ""
[ "$(grep -cv $'^command line\t\|^result\t' <<<"$run_log")" = 0 ] || fail "the busy copy logged actions"
expect_drive "iconic: 1" window-state
expect_drive "title: $caption" title
expect_nothing_written "$before"

log "-- Cancel in that wizard"
drive press cancel
expect_drive "wizard: gone" wait-gone
wait_fixture_run $exit_cancelled

log "-- a wizard install that fails"
start_fixture_run "\"$(z_path "$TOLM_BROKEN_INSTALLER")\""
go_to_page 3
drive press finish
expect_error_box "$copy_failed_text"
expect_drive "wizard: gone" wait-gone
wait_fixture_run $exit_failed
expect_nothing_written "$before"

log "-- an install waiting at a message box, its journal written"
start_fixture_run "$(installer_command)"
go_to_page 1
# The icon folder's name is taken once its page has composed the path.
printf 'a file where the icon folder should go\n' >"$icon_dir"
finish_at_icon_box
has_journal && log "install journal: open" || fail "no journal while the install waits"
machine_snapshot "$work/waiting"
cp "$TOLM_INSTALLER" "$work/AnotherName.exe"
for command in "\"$(z_path "$work/AnotherName.exe")\" /S" "$(registry_value QuietUninstallString)"; do
    watch_run "$command /LOG=$(z_path "$work/while-waiting.log")"
    expect_unattended $exit_busy
    read_run_log "$work/while-waiting.log"
    expect_log_line message "An install or removal of The Tolm Language is running. Try again once it has ended." ""
done
machine_snapshot "$work/still-waiting"
expect_same_snapshot "$work/waiting" "$work/still-waiting" "while the install waits"
expect_drive "msgbox caption: Error during install:" msgbox ok
expect_drive "wizard: gone" wait-gone
wait_fixture_run $exit_done
rm "$icon_dir"
expect_book_installed 1
expect_registration
expect_settled
# The link went into the deepest folder that exists: the desktop.
[ -f "$user_dir/Desktop/The Tolm Language.lnk" ] || fail "no shortcut on the desktop"
watch_run "$(registry_value QuietUninstallString)"
expect_unattended $exit_done
wait_temp_copy_gone
expect_nothing_written "$before"

log "-- a silent install over an earlier one, a page of it held open"
watch_run "$(installer_command "/S /VARIANT=0")"
expect_unattended $exit_done
expect_book_installed 0
prefix_snapshot "$work/earlier"
held=$pages_dir/$(main_page 40)
hold_file "$held"
watch_run "$(installer_command "/S /LOG=$(z_path "$work/fault.log")")"
expect_unattended $exit_failed
read_run_log "$work/fault.log"
expect_log_line message "$copy_failed_text" ""
expect_log_line result "failed, rolled back (exit code 1603)" ""
grep -q $'^rollback\t' <<<"$run_log" || fail "the log has no rollback"
kill "$holder_pid" 2>/dev/null
wait "$holder_pid" 2>/dev/null
prefix_snapshot "$work/rolled-back"
expect_same_snapshot "$work/earlier" "$work/rolled-back" "after the rollback"

log "-- the silent uninstall, a page held open"
hold_file "$held"
quiet=$(registry_value QuietUninstallString)
watch_run "$quiet /LOG=$(z_path "$work/uninstall.log")" "$(windows_path "$held")" "$link_windows_path"
expect_unattended $exit_failed
[ "$(sed -n 's/^left: //p' <<<"$out")" = "$(windows_path "$held")" ] ||
    fail "at the uninstaller's exit, not only the held page was left"
read_run_log "$work/uninstall.log"
expect_log_line stayed "$(windows_path "$held")" ""
expect_log_line "file removed" "$(windows_path "$held")" "failed (error 32)"
[ "$(grep -c $'^stayed\t' <<<"$run_log")" = 1 ] || fail "the log names more than the held page as stayed"
expect_log_line result "something stayed (exit code 1603)" ""
wait_temp_copy_gone
kill "$holder_pid" 2>/dev/null
wait "$holder_pid" 2>/dev/null
left=$(ls -A "$pages_dir" 2>/dev/null | sort | tr '\n' ' ')
[ "$left" = "$(printf '%s\n' Kestrun.exe "$(main_page 40)" | sort | tr '\n' ' ')" ] &&
    log "pages folder: the held page and the uninstaller left" || fail "pages folder holds '$left'"
[ "$(registry_value QuietUninstallString)" = "$quiet" ] && log "uninstall key: kept" || fail "the key is gone"
expect_no_shortcut

log "-- the same uninstall once the page is released"
watch_run "$quiet"
expect_unattended $exit_done
wait_temp_copy_gone
prefix_snapshot "$work/second"
expect_same_snapshot "$work/fresh" "$work/second" "after the second uninstall"

log "-- an install into another folder, a page of the earlier install held open"
# The install is complete, and keeps its journal for the earlier install
# whose held page stayed; the next run says the page is in use; /FORGET
# lets the journal go, and the run after it finds nothing to settle.
watch_run "$(installer_command /S)"
expect_unattended $exit_done
hold_file "$held"
watch_run "$(installer_command '/S /D=C:\Other\Tolm')"
expect_unattended $exit_done
has_journal && log "install journal: kept for the held page" || fail "no journal for the earlier install"
watch_run "$(installer_command "/S /LOG=$(z_path "$work/held-earlier.log")")"
expect_unattended $exit_busy
read_run_log "$work/held-earlier.log"
expect_log_line message "An interrupted install cannot be settled now, because $(windows_path "$held")  is in use by another program. Try again later, or forget it (/FORGET)." ""
watch_run "$(installer_command '/S /FORGET /D=C:\Other\Tolm')"
expect_unattended $exit_done
expect_settled
kill "$holder_pid" 2>/dev/null
wait "$holder_pid" 2>/dev/null
watch_run "$(installer_command '/S /D=C:\Other\Tolm')"
expect_unattended $exit_done
watch_run "$(registry_value QuietUninstallString)"
expect_unattended $exit_done
wait_temp_copy_gone
# What the forgotten removal left of the earlier install: the held page.
left=$(ls -A "$pages_dir" 2>/dev/null | tr '\n' ' ')
[ "$left" = "$(main_page 40) " ] && log "the earlier install's folder: the held page left" ||
    fail "the earlier install's folder holds '$left'"
rm -rf "$pages_dir"
expect_nothing_written "$before"

log "-- an install killed while it holds the lock"
start_installer
go_to_page 1
printf 'a file where the icon folder should go\n' >"$icon_dir"
finish_at_icon_box
has_journal && log "install journal: open" || fail "no journal while the install waits"
# The server lives on: the lock must go with the killed process alone.
kill_installer "$installer_pid"
rm -f "$icon_dir"
watch_run "$(installer_command "/S /LOG=$(z_path "$work/after-kill.log")")"
expect_unattended $exit_done
read_run_log "$work/after-kill.log"
expect_log_line "interrupted install found" "open: rolling it back" ""
expect_book_installed 1
expect_settled
watch_run "$(registry_value QuietUninstallString)"
expect_unattended $exit_done
wait_temp_copy_gone
expect_nothing_written "$before"

log "-- an uninstall and an update started together"
# round OFFSET: the book installed, then the uninstall started and the update
# OFFSET seconds later; both are waited for, the uninstall's temp copy too.
# An uninstaller whose file the update has just set aside does not start at
# all: Wine says it failed to open it, and exits 53.
round() {
    local rc_uninstall=0 rc_update=0
    if ! has_uninstall_key; then
        watch_run "$(installer_command /S)" >/dev/null
        [ "$run_exit" = 0 ] || fail "the install before the round exited $run_exit"
    fi
    timeout "$installer_timeout" "$WINELOADER" "$kestrun_windows_path" /S >"$work/round-uninstall.out" 2>&1 &
    local uninstall=$!
    sleep "$1"
    timeout "$installer_timeout" "$WINELOADER" "$TOLM_INSTALLER" /S >/dev/null 2>&1 &
    local update=$!
    wait "$uninstall" || rc_uninstall=$?
    wait "$update" || rc_update=$?
    wait_temp_copy_gone >/dev/null
    round_codes="uninstall $rc_uninstall, update $rc_update"
    case "$rc_uninstall $rc_update" in
    "0 0" | "0 82" | "82 0") ;;
    "53 0") grep -q "failed to open" "$work/round-uninstall.out" ||
        fail "offset $1: the uninstaller exited 53 without Wine's word that it did not start" ;;
    *) fail "offset $1: exit codes $round_codes (82 is 1618's low byte)" ;;
    esac
}
for offset in 0 0.015 0.03 0.045 0.06 0.075 0.09 0.105 0.12 0.135 0.15 0.165 0.18 0.195 0.21 0.225 0.24 \
    0.255 0.27 0.3; do
    round "$offset"
    # An update that ran while the uninstaller's process was still ending
    # could not remove that file: the next run completes it, and nothing else.
    if has_journal; then
        watch_run "$(installer_command "/S /LOG=$(z_path "$work/round-$offset.log")")" >/dev/null
        read_run_log "$work/round-$offset.log"
        expect_log_line "interrupted install found" "committed: completing it" ""
        round_codes="$round_codes, then completed"
    fi
    # One whole state: the book installed and registered, or nothing of it.
    if has_uninstall_key; then
        state=installed
        expect_book_installed 1 >/dev/null
        [ "$(registry_value UninstallString)" = "\"$pages_windows\\Kestrun.exe\"" ] || fail "offset $offset: not registered"
        [ -f "$icon_dir/The Tolm Language.lnk" ] || fail "offset $offset: no shortcut"
    else
        state=removed
        [ -e "$pages_dir" ] && fail "offset $offset: the pages folder stayed: $(ls -A "$pages_dir" | head -3 | tr '\n' ' ')"
        [ -e "$icon_dir" ] && fail "offset $offset: the icon folder stayed"
    fi
    has_journal && fail "offset $offset: a journal stayed"
    log "offset $offset: $round_codes; $state"
done
conclude
