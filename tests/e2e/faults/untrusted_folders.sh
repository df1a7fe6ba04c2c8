#!/bin/bash
# Folders that are not provably the book's own, as a user without
# administrator rights could leave them, and what the programs, which run as
# administrator, do with them:
#   1. a parent that lets everyone change what is made in it (the server's
#      umask at 000): the folders the install makes, and every file it
#      writes, grant others nothing all the same;
#   2. an existing pages folder that everyone may change: refused, by /S and
#      in the wizard, which stays on the pages page; nothing is written;
#   3. the registered install's own folder, opened to everyone since: the
#      update goes on and protects it;
#   4. a pages folder that is a symbolic link to C:\Victim: the install, the
#      uninstaller (its folder swapped for the link), the settle of a journal
#      naming the link and the removal of an earlier install registered there
#      all refuse, and C:\Victim keeps every byte;
#   5. a journal naming C:\Victim and names that are not the book's: neither
#      program acts on it, until asked to forget it: then only the journal goes;
#   6. a drive's root as the pages folder: refused, with its reason, and
#      nothing is made.
# Wine maps a DACL to the Unix mode bits: "Everyone" is the bits of others.
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/../uninstall_steps.sh"
source "$(dirname "$0")/faults.sh"
setup

readonly victim_windows='C:\Victim'
readonly link_windows='C:\Lnk\Tolm'
victim=$(unix_path "$victim_windows")
# Any of these lets a grantee change a folder or file, or who may: write and
# append data, write extended attributes and attributes, delete a child,
# delete, write the DACL or the owner, and the generic write and all.
readonly change_rights=$((0x2 | 0x4 | 0x10 | 0x40 | 0x100 | 0x10000 | 0x40000 | 0x80000 | 0x40000000 | 0x10000000))
readonly everyone_sid=S-1-1-0 users_sid=S-1-5-32-545

# expect_closed_to_others WINDOWS_PATH: its DACL grants Everyone and Users no
# right to change it, and its mode has no write bit for others.
expect_closed_to_others() {
    local kind sid mask mode open=
    fixture rights "$1"
    while read -r kind sid mask; do
        [ "$kind" = allow ] && { [ "$sid" = $everyone_sid ] || [ "$sid" = $users_sid ]; } &&
            (((mask & change_rights) != 0)) && open="$open $sid:$mask"
    done <<<"$out"
    mode=$(stat -c %a "$(unix_path "$1")")
    if [ -z "$open" ] && (((8#$mode & 2) == 0)); then
        log "closed to others: $1 (mode $mode)"
    else
        fail "$1 is open to others:${open:- none in its DACL} (mode $mode)"
    fi
}

# The victim: files with book names, a set-aside name, the user's own, and a
# real uninstaller, so that one can run from there.
plant_victim() {
    local name
    rm -rf "$victim"
    mkdir -p "$victim"
    for name in "$(main_page 1)" "$(main_page 2)" "$(main_page 3)~tolm" keep.txt; do
        printf "the user's own %s\n" "$name" >"$victim/$name"
    done
    cp "$TOLM_KESTRUN" "$victim/Kestrun.exe"
    victim_sums=$(cd "$victim" && sha1sum -- * | sort)
}

expect_victim_kept() {
    if [ "$(cd "$victim" && sha1sum -- * 2>/dev/null | sort)" = "$victim_sums" ]; then
        log "$victim_windows: every byte kept"
    else
        fail "$victim_windows changed: $(cd "$victim" && ls -A | tr '\n' ' ')"
    fi
}

# refusal FOLDER REASON: the install's message for a refused pages folder.
refusal() {
    printf 'The book cannot be installed in\n%s\n\nbecause %s\n\nChoose another folder.' "$1" "$2"
}
readonly open_reason="users other than administrators may change it or own it, so they could replace what an administrator runs later."
readonly linked_reason="it or a folder above it is a link (a junction, symbolic link or mount point), so the book could end up elsewhere."

# expect_logged_message TEXT: the log read last holds TEXT as a message, its
# line breaks written as spaces.
expect_logged_message() {
    expect_log_line message "${1//$'\n'/ }" ""
}


log "-- 1. folders made below a parent that lets everyone change them"
"$WINESERVER" -k 2>/dev/null
"$WINESERVER" -w 2>/dev/null
umask 000   # the server the run starts takes it: a folder made without rights of its own is 0777
silent_install '/D=C:\Books\Tolm' $exit_done
umask 022
"$WINESERVER" -k 2>/dev/null
"$WINESERVER" -w 2>/dev/null
[ "$(stat -c %a "$icon_dir")" = 777 ] && log "control: the icon folder, which inherits, is 777" ||
    fail "control: the icon folder is $(stat -c %a "$icon_dir"), not 777: the umask did not reach the server"
for made in 'C:\Books' 'C:\Books\Tolm' 'C:\Books\Tolm\Kestrun.exe' "C:\\Books\\Tolm\\$(main_page 1)"; do
    expect_closed_to_others "$made"
done
quiet_uninstall $exit_done

log "-- 2. an existing pages folder that everyone may change"
mkdir -p "$(unix_path 'C:\Open\Tolm')"
chmod 0777 "$(unix_path 'C:\Open\Tolm')"
machine_snapshot "$work/before-open"
silent_install '/D=C:\Open\Tolm' $exit_failed
expect_logged_message "$(refusal 'C:\Open\Tolm' "$open_reason")"
# The wizard, the folder given on its command line.
timeout "$installer_timeout" "$WINELOADER" "$TOLM_FIXTURE" run "$(installer_command '/D=C:\Open\Tolm')" \
    >"$work/wizard-run.out" 2>&1 &
installer_pid=$!
installer_pids+=("$installer_pid")
go_to_page 2
drive press next >/dev/null
expect_drive "msgbox caption: Error during install:" msgbox ok
for line in "msgbox text: The book cannot be installed in" 'C:\Open\Tolm' "because $open_reason"; do
    grep -qxF -- "$line" <<<"$out" || fail "the box lacks the line '$line'"
done
grep -qxF "msgbox icon: error" <<<"$out" || fail "the box has no error icon"
expect_drive "title: Where to install pages" title
drive press cancel >/dev/null
expect_drive "wizard: gone" wait-gone
expect_installer_exit "$installer_pid" $exit_cancelled
machine_snapshot "$work/after-open"
expect_same_snapshot "$work/before-open" "$work/after-open" "the open folder"

log "-- 3. the registered install's folder, opened to everyone since"
silent_install "" $exit_done
chmod 0777 "$pages_dir"
silent_install "" $exit_done
expect_log_line "folder protected" "$pages_windows\\" ok
expect_book_installed 1
expect_closed_to_others "$pages_windows"
quiet_uninstall $exit_done

log "-- 3. a page that is a link to a file outside, for an update and the uninstaller"
# Under Wine a link to a file looks plain and opens its target: only the
# final path tells. Neither program moves or deletes the target.
silent_install "" $exit_done
linked_page=$(main_page 7)
outside=$(unix_path 'C:\outside.txt')
printf "the user's own file\n" >"$outside"
rm "$pages_dir/$linked_page"
ln -s "$outside" "$pages_dir/$linked_page"
silent_install "" $exit_failed
expect_log_line "cannot be set aside" "$pages_windows\\$linked_page" "a folder or a link"
quiet_uninstall $exit_done
expect_log_line "left as it is" "$pages_windows\\$linked_page" "a folder or a link"
[ "$(cat "$outside")" = "the user's own file" ] && [ -L "$pages_dir/$linked_page" ] &&
    log "the linked file: kept where it is, with its bytes" || fail "the file the page linked to changed or moved"
rm -rf "$pages_dir" "$outside"

log "-- 4. a pages folder that is a link"
plant_victim
mkdir -p "$(unix_path 'C:\Lnk')"
ln -s "$victim" "$(unix_path "$link_windows")"
machine_snapshot "$work/before-link"
silent_install "/D=$link_windows" $exit_failed
expect_logged_message "$(refusal "$link_windows" "$linked_reason")"
expect_victim_kept

log "-- 4. the uninstaller, its folder swapped for the link"
silent_install "" $exit_done
mv "$pages_dir" "$pages_dir.real"
ln -s "$victim" "$pages_dir"
quiet_uninstall $exit_failed
expect_log_line "folder refused" "$pages_windows" "reached through a link"
expect_victim_kept
rm "$pages_dir"
mv "$pages_dir.real" "$pages_dir"
quiet_uninstall $exit_done

# A refused journal is kept, and nothing else is done until it is gone: a new
# run's journal would overwrite it.
readonly refused_journal_text="An interrupted install was left as it is: its record does not match this book's install. Nothing was changed; /FORGET forgets it."
remove_journal() {
    timeout "$drive_timeout" "$WINELOADER" reg delete "$uninstall_key" /v InstallJournal /f >/dev/null 2>&1 ||
        fail "the journal could not be removed"
}

log "-- 4. an install registered in the link, with a journal naming it"
set_value "$uninstall_key" UninstallString REG_SZ "\"$link_windows\\Kestrun.exe\""
fixture plant-journal "$link_windows\\"
silent_install '/D=C:\Other\Tolm' $exit_busy
# Refused for the true reason, which the message names.
expect_log_line "interrupted install left alone" "$link_windows\\" ""
expect_logged_message "$(printf 'An interrupted install cannot be settled now, because\n%s\\\n\n%s' "$link_windows" \
    "is reached through a link. Try again later, or forget it (/FORGET).")"
has_journal || fail "the refused journal is gone"
remove_journal
silent_install '/D=C:\Other\Tolm' $exit_done
expect_log_line "folder refused" "$link_windows" "reached through a link"
expect_victim_kept
pages_dir=$(unix_path 'C:\Other\Tolm')
expect_book_installed 1

log "-- 5. a journal naming C:\\Victim and names that are not the book's"
fixture plant-journal "$victim_windows\\" keep.txt Kestrun.exe "$(main_page 3)~tolm"
for program in installer uninstaller; do
    if [ $program = installer ]; then silent_install "" $exit_busy; else quiet_uninstall $exit_busy; fi
    expect_log_line "interrupted install found" "its record is not this book's install: left alone" ""
    expect_logged_message "$refused_journal_text"
    expect_victim_kept
    has_journal || fail "the refused journal is gone after the $program"
done
expect_book_installed 1
watch_run "$(registry_value QuietUninstallString) /FORGET /LOG=$(z_path "$work/uninstall.log")"
expect_unattended $exit_done
read_run_log "$work/uninstall.log"
expect_log_line "interrupted install forgotten" "" ok
expect_victim_kept
wait_temp_copy_gone
expect_no_uninstall_key

log "-- 6. a drive's root"
readonly root_reason="it is the root of a drive."
mkdir -p "$work/rdrive"
ln -sfn "$work/rdrive" "$WINEPREFIX/dosdevices/r:"
printf "the drive's own file\n" >"$work/rdrive/own.txt"
machine_snapshot "$work/before-root"
silent_install '/D=R:\' $exit_failed
expect_logged_message "$(refusal 'R:\' "$root_reason")"
expect_log_line result "refused, nothing was changed (exit code 1603)" ""
machine_snapshot "$work/after-root"
expect_same_snapshot "$work/before-root" "$work/after-root" "the drive's root"
conclude
