#!/bin/bash
# A page held open by another program cannot be deleted: the uninstaller lists
# it in one error box at the end and removes everything else but the key and
# itself, so that the book stays listed and the uninstaller can run again.
# Once the page is released, a second run removes the rest, and the prefix is
# as fresh as before the install.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"
setup
prefix_snapshot "$work/fresh"
install_book on
page=$(manifest_list main | sed -n 3p).htm
page_windows_path="C:\\Program Files\\Corvalin\\$page"
release=$work/release
timeout "$uninstall_timeout" "$WINELOADER" "$TOLM_FIXTURE" hold "$page_windows_path" "Z:${release//\//\\}" >"$work/hold.out" 2>&1 &
holder_pid=$!
installer_pids+=($holder_pid)
for ((tries = 0; tries < 300; tries++)); do
    grep -q held "$work/hold.out" 2>/dev/null && break
    sleep 0.1
done
grep -q held "$work/hold.out" || fail "the page could not be held open"

uninstall_with_yes
expect_drive "msgbox caption: Error during uninstall:" msgbox ok
grep -qx "msgbox icon: error" <<<"$out" || fail "the report has no error icon"
grep -qxF "$page_windows_path" <<<"$out" || fail "the report does not list $page"
[ "$(grep -c 'Corvalin' <<<"$out")" = 1 ] || fail "the report lists more than the held page"
wait_uninstall_done $exit_failed

left=$(ls -A "$pages_dir" 2>/dev/null | sort | tr '\n' ' ')
[ "$left" = "Kestrun.exe $page " ] && log "pages folder: $left" || fail "pages folder holds '$left'"
[ "$(registered_uninstaller)" = "$kestrun_windows_path" ] && log "uninstall key: kept" ||
    fail "the uninstall key does not name the uninstaller any longer"
expect_no_shortcut

touch "$release"
wait "$holder_pid" 2>/dev/null
expect_uninstall_restores "$work/fresh" "after the second run"
conclude
