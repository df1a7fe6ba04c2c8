#!/bin/bash
# Command lines the programs must refuse, and the usage the installer gives.
#
# Each bad argument exits with 87 exactly, shows no window under /S, logs a
# message naming the argument and what is wrong with it, and creates nothing;
# a folder name the system would change or refuse is named itself. Without /S
# the same message comes in an error box. A log that a user could have
# planted, a hard link or a symbolic link to a file of theirs or a name in a
# folder linked elsewhere (by its long or its short name), is such a bad
# argument for both programs, and the file it leads to keeps its bytes. Short
# names are no links: /D= and /LOG= spelled with them install and log, and the
# install is registered under the long names. The usage that "/? /S /LOG="
# logs names every switch and every return code that the release's installer
# manifest promises.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/uninstall_steps.sh"
setup

readonly chain80='ccccccccc\ccccccccc\ccccccccc\ccccccccc\ccccccccc\ccccccccc\ccccccccc\cccccccccc'
readonly path260="C:\\$(printf '%257s' '' | tr ' ' d)"
[ ${#chain80} = 80 ] && [ ${#path260} = 260 ] || fail "the table's lengths are wrong"
# Files where a pages folder and an icon folder would be made.
taken='C:\Program Files\Tolm'
printf 'a file, not a folder\n' >"$(unix_path "$taken")"
printf 'a file, not a folder\n' >"$user_dir/Desktop/TolmIcons"

outside_desktop='must name folders below the desktop, without a drive, . or ..'
bad_name='ends in a dot or space, holds a character no name may hold, or names a device'

# short_name WINDOWS_PATH: the path with the system's short names.
short_name() {
    timeout "$drive_timeout" "$WINELOADER" "$TOLM_FIXTURE" short "$1" 2>/dev/null | tr -d '\r'
}

# What is wrong | the arguments after /S | the message: the argument (its
# first 79 characters at most) and the problem.
bad_arguments=(
    "an unknown switch|/X|/X: unknown option"
    "an empty /D=|/D=|/D=: needs a value"
    "an icon chain of 80 characters|/ICONS=$chain80|/ICONS=${chain80:0:72}: is longer than 79 characters"
    "a new pages chain of 80 characters|/D=C:\\Program Files\\$chain80|/D=C:\\Program Files\\${chain80:0:55}: needs more than 79 characters of new folders"
    "a pages folder of 260 characters|/D=$path260|/D=${path260:0:76}: is longer than its buffer"
    "a pages folder whose name a file has|/D=$taken|/D=$taken: New Folder name can't be the same as some file's name!"
    "an icon folder whose name a file has|/ICONS=TolmIcons\\Books|/ICONS=TolmIcons\\Books: New Folder name can't be the same as some file's name!"
    "an icon chain that climbs out of the desktop|/ICONS=..\\..\\..\\..\\Escaped|/ICONS=..\\..\\..\\..\\Escaped: $outside_desktop"
    "an icon chain with a drive|/ICONS=C:\\Elsewhere|/ICONS=C:\\Elsewhere: \"C:\" $bad_name"
    "a pages folder that climbs with ..|/D=C:\\Program Files\\new\\..\\Books|/D=C:\\Program Files\\new\\..\\Books: \"..\" $bad_name"
    "a colon inside the pages folder|/D=C:\\Program Files\\x:y|/D=C:\\Program Files\\x:y: \"x:y\" $bad_name"
    "a pages folder ending in a dot, which the system drops|/D=C:\\Books\\Tolm.|/D=C:\\Books\\Tolm.: \"Tolm.\" $bad_name"
    "a folder name ending in a space|/D=C:\\Books \\Tolm|/D=C:\\Books \\Tolm: \"Books \" $bad_name"
    "a forward slash in the pages folder|/D=C:\\Books/Tolm|/D=C:\\Books/Tolm: \"Books/Tolm\" $bad_name"
    "an icon folder ending in a dot|/ICONS=Books.|/ICONS=Books.: \"Books.\" $bad_name"
    "a device as the pages folder|/D=C:\\Books\\CON|/D=C:\\Books\\CON: \"CON\" $bad_name"
    "a device with an extension in the icon chain|/ICONS=Tolm\\aux.txt|/ICONS=Tolm\\aux.txt: \"aux.txt\" $bad_name"
    "a variant other than 0 and 1|/VARIANT=2|/VARIANT=2: must be 0 or 1"
    "a switch given twice|/VARIANT=0 /VARIANT=1|/VARIANT=1: is given twice"
)

drive_c_listing() {
    (cd "$WINEPREFIX/drive_c" && find . -printf '%P %y %s\n' | sort)
}

# A user's file, and two ways to it that a log path could take.
victim=$(unix_path 'C:\Victim')
mkdir -p "$victim" "$(unix_path 'C:\Logs')"
printf "the user's own notes\n" >"$victim/keep.txt"
ln "$victim/keep.txt" "$(unix_path 'C:\Logs\t.log')"
# Wine shows a symbolic link to a file as a plain file: only the system's
# final path for it tells.
ln -s "$victim/keep.txt" "$(unix_path 'C:\Logs\s.log')"
ln -s "$victim" "$(unix_path 'C:\LinkedLogs')"
short_linked=$(short_name 'C:\LinkedLogs')
[[ $short_linked == *'~'* ]] || fail "no short name for C:\\LinkedLogs: '$short_linked'"
planted_logs=(
    "a hard link to C:\\Victim\\keep.txt|C:\\Logs\\t.log"
    "a symbolic link to C:\\Victim\\keep.txt|C:\\Logs\\s.log"
    "a new file in a folder linked to C:\\Victim|C:\\LinkedLogs\\t.log"
    "a new file in that folder by its short name|$short_linked\\t.log"
)

prefix_snapshot "$work/before"
run=0
for row in "${bad_arguments[@]}"; do
    IFS='|' read -r what arguments message <<<"$row"
    run=$((run + 1))
    log "-- $what: $arguments"
    listing=$(drive_c_listing)
    watch_run "$(installer_command "/S /LOG=$(z_path "$work/bad-$run.log") $arguments")"
    expect_unattended $exit_bad_command_line
    read_run_log "$work/bad-$run.log"
    expect_log_line message "$message" ""
    expect_log_line result "bad command line (exit code 87)" ""
    [ "$(drive_c_listing)" = "$listing" ] || fail "$what: the disk changed"
done

log "-- the uninstaller: an unknown switch, after the log it names"
watch_run "\"$(z_path "$TOLM_KESTRUN")\" /S /LOG=$(z_path "$work/bad-kestrun.log") /X"
expect_unattended $exit_bad_command_line
read_run_log "$work/bad-kestrun.log"
expect_log_line "not understood" "/X" ""
expect_log_line result "bad command line (exit code 87)" ""

for row in "${planted_logs[@]}"; do
    IFS='|' read -r what planted <<<"$row"
    for program in "$(installer_command)" "\"$(z_path "$TOLM_KESTRUN")\""; do
        log "-- a log that is $what: $planted"
        listing=$(drive_c_listing)
        watch_run "$program /S /LOG=$planted"
        expect_unattended $exit_bad_command_line
        [ "$(cat "$victim/keep.txt")" = "the user's own notes" ] || fail "keep.txt was written"
        [ "$(drive_c_listing)" = "$listing" ] || fail "$what: the disk changed"
    done
done

log "-- without /S, the message comes in a box"
timeout "$installer_timeout" "$WINELOADER" "$TOLM_FIXTURE" run "$(installer_command /VARIANT=2)" \
    >"$work/box-run.out" 2>&1 &
box_run=$!
installer_pids+=("$box_run")
expect_drive "msgbox caption: Error during install:" msgbox ok
grep -qxF "msgbox text: /VARIANT=2: must be 0 or 1" <<<"$out" || fail "the box does not name the argument"
grep -qxF "msgbox icon: error" <<<"$out" || fail "the box has no error icon"
expect_installer_exit "$box_run" $exit_bad_command_line
grep -qxF "exit code: $exit_bad_command_line" <(tr -d '\r' <"$work/box-run.out") ||
    fail "exit code: $(cat "$work/box-run.out")"

expect_no_uninstall_key
prefix_snapshot "$work/after"
expect_same_snapshot "$work/before" "$work/after" "the bad command lines"

log "-- /D= and /LOG= by short names: installed and logged under the long names"
short_programs=$(short_name 'C:\Program Files')
[[ $short_programs == *'~'* ]] || fail "no short name for C:\\Program Files: '$short_programs'"
watch_run "$(installer_command "/S /LOG=$short_programs\\short.log /D=$short_programs\\Corvalin")"
expect_unattended $exit_done
read_run_log "$(unix_path 'C:\Program Files\short.log')"
expect_log_line result "done (exit code 0)" ""
expect_book_installed 1
expect_registration
watch_run "$(registry_value QuietUninstallString) /LOG=$short_programs\\unshort.log"
expect_unattended $exit_done
read_run_log "$(unix_path 'C:\Program Files\unshort.log')"
expect_log_line result "removed (exit code 0)" ""
wait_temp_copy_gone
expect_no_uninstall_key
[ -e "$pages_dir" ] && fail "the pages folder stayed"
rm -f "$(unix_path 'C:\Program Files\short.log')" "$(unix_path 'C:\Program Files\unshort.log')"

log "-- the usage names the manifest's switches and return codes"
watch_run "$(installer_command "/? /S /LOG=$(z_path "$work/usage.log")")"
expect_unattended $exit_done
read_run_log "$work/usage.log"
usage=$(grep $'^usage\t' <<<"$run_log")
[ -n "$usage" ] || fail "the log holds no usage"
# Each switch without its placeholder (/D=<INSTALLPATH> is /D=), then each return code.
promised=$(python3 -c '
import sys, yaml
manifest = yaml.safe_load(open(sys.argv[1]))
for switch in sorted(set(manifest["InstallerSwitches"].values())):
    print(switch.split("<")[0])
for code in manifest["ExpectedReturnCodes"]:
    print(code["InstallerReturnCode"])
' "$e2e_root/release/installer-command-line.yaml") || fail "cannot read the manifest's command line"
[ "$(wc -l <<<"$promised")" -ge 5 ] || fail "the manifest promises too little: $promised"
while read -r item; do
    # Each stands as a word of its own: "/S" is not "/SOMETHING", "87" not "1870".
    pattern="(^|[^\\w/])\\Q$item\\E"
    [[ $item == *= ]] || pattern+='(?!\w)'
    grep -qP "$pattern" <<<"$usage" || fail "the usage does not name $item"
done <<<"$promised"
[ $failures = 0 ] && log "the usage names: $(tr '\n' ' ' <<<"$promised")"
conclude
