#!/bin/bash
# Destinations at the path buffer's limit, through the real wizard, each run in
# a fresh prefix:
#   1. a Program Files directory and a desktop directory so long that the
#      longest page and the link file end at character 259: a complete install;
#   2. the same with the longest page at 260: the install fails at that page
#      and leaves nothing behind;
#   3. a desktop directory that puts the link file at 260: the shortcut fails,
#      and nothing is left;
#   4. a Program Files directory of 261 characters, longer than the buffer:
#      the pages go to C:\Corvalin, completely;
#   5. chains of 80 and 81 characters typed into "New Folder:": the first 79
#      are kept, and the install creates all eight folders of that chain.
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/faults.sh"

readonly link_name="The Tolm Language.lnk"
readonly version_key='HKLM\Software\Microsoft\Windows\CurrentVersion'

# deep_path LENGTH: a Windows path of exactly LENGTH characters below C:\deep,
# in components of at most 100 characters.
deep_path() {
    local path='C:\deep' room name
    while [ ${#path} -lt "$1" ]; do
        room=$(($1 - ${#path}))
        name=$((room - 1 < 100 ? room - 1 : 100))
        [ $((room - name - 1)) -eq 1 ] && name=$((name - 1))
        path+="\\$(printf "%${name}s" '' | tr ' ' d)"
    done
    printf '%s' "$path"
}

longest_name() {
    { manifest_list main | sed 's/$/.htm/'; manifest_list extra; echo Kestrun.exe; } |
        awk '{ if (length > longest) longest = length } END { print longest }'
}

# fresh_run PROGRAM_FILES DESKTOP: a new prefix whose Program Files directory
# and desktop are these (folders made when they fit); sets programs_dir,
# desktop_dir and before.
fresh_run() {
    "$WINESERVER" -k 2>/dev/null
    make_prefix
    set_value "$version_key" ProgramFilesDir REG_SZ "$1"
    set_value "$shell_folders_key" Desktop REG_EXPAND_SZ "$2"
    programs_dir=$(unix_path "$1")
    desktop_dir=$(unix_path "$2")
    [ ${#1} -lt 260 ] && mkdir -p "$programs_dir"
    mkdir -p "$desktop_dir"
    before=$(snapshot; cd "$WINEPREFIX/drive_c" && find deep -printf '%P %s\n' 2>/dev/null | sort)
}

expect_nothing_left() {
    local after
    after=$(snapshot; cd "$WINEPREFIX/drive_c" && find deep -printf '%P %s\n' 2>/dev/null | sort)
    if [ "$after" = "$before" ]; then log "disk: unchanged"; else
        fail "files changed"
        diff <(echo "$before") <(echo "$after") | head -10
    fi
    expect_no_uninstall_key
}

setup
longest=$(longest_name)
# Lengths of the parents that end the longest target or the link file at a given length.
pages_parent() { echo $(($1 - longest - 1 - 8 - 1)); }
icon_parent() { echo $(($1 - ${#link_name} - 1 - 4 - 1)); }

log "run 1: longest target and link at 259"
programs=$(deep_path "$(pages_parent 259)")
desktop=$(deep_path "$(icon_parent 259)")
fresh_run "$programs" "$desktop"
start_and_finish
expect_closed
pages_dir=$programs_dir/Corvalin
expect_book_installed 1
expect_drive "target: $programs\\Corvalin\\$(main_page 1)" shortcut "$desktop\\Tolm\\$link_name"

log "run 2: longest target at 260"
fresh_run "$(deep_path "$(pages_parent 260)")" "$(deep_path 40)"
start_and_finish
expect_error_box "$copy_failed_text"
expect_closed $exit_failed
expect_nothing_left

log "run 3: link at 260"
fresh_run "$(deep_path 40)" "$(deep_path "$(icon_parent 260)")"
start_and_finish
expect_error_box "$link_name" "ERROR: Didn't save the Desktop icon for"
expect_error_box "$copy_failed_text"
expect_closed $exit_failed
expect_nothing_left

log "run 4: Program Files directory of 261 characters"
fresh_run "$(deep_path 261)" "$(deep_path 40)"
start_and_finish
expect_closed
pages_dir=$WINEPREFIX/drive_c/Corvalin
expect_book_installed 1

log "run 5: typed chains of 80 and 81 characters"
fresh_run 'C:\Program Files' "$(deep_path 40)"
component=ccccccccc
chain80=$(printf "$component\\\\%.0s" 1 2 3 4 5 6 7 8)
kept=${chain80:0:79}
start_installer
go_to_page 2
for typed in "$chain80" "${chain80}x"; do
    expect_drive "clicked: 1001" click 1001
    expect_drive 'selected: C:\Program Files' browse-select 'C:\Program Files'
    expect_drive "field: $typed" browse-field "$typed"
    expect_drive "browse: closed" browse-press ok
    expect_drive "clicked: 1001" click 1001
    expect_drive "field: $kept" browse-wait
    expect_drive "browse: closed" browse-press cancel
done
drive press next >/dev/null
expect_drive "title: Options" wait-title "Options"
drive press finish >/dev/null
expect_closed
pages_dir="$WINEPREFIX/drive_c/Program Files/${kept//\\//}"
expect_book_installed 1
conclude
