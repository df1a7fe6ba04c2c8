#!/bin/bash
# A read-only page file already in the target folder: the install cannot
# replace it, so it stops there, removes everything it wrote and reports the
# failed copy. The read-only file and the folder are as they were.
#
# Wine keeps the read-only attribute in the Unix permission bits, which a
# process running as root may ignore; Windows refuses to replace or delete a
# read-only file even for an administrator. So when the tests run as root, the
# file is also made immutable, which makes the system refuse just as Windows does.
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/faults.sh"
[ -d "$work" ] && chattr -R -i "$work" 2>/dev/null
release_readonly() {
    [ -n "${readonly_page:-}" ] && chattr -i "$readonly_page" 2>/dev/null
    finish
}
trap release_readonly EXIT
setup
mkdir -p "$pages_dir"
readonly_page=$pages_dir/$(main_page 12)
printf 'an older, read-only page\n' >"$readonly_page"
timeout "$drive_timeout" "$WINELOADER" attrib +r "$(windows_path "$readonly_page")" >"$work/attrib.out" 2>&1
if [ -w "$readonly_page" ] && [ "$(id -u)" != 0 ]; then
    fail "the read-only attribute did not reach the file"
fi
before=$(snapshot)

start_installer
go_to_page 3
# Immutable only while the install runs: a file left so would block removing the build folder.
if [ "$(id -u)" = 0 ] && ! chattr +i "$readonly_page" 2>/dev/null; then
    log "SKIP: running as root on a file system without immutable files"
    exit 77
fi
drive press finish >/dev/null
expect_error_box "$copy_failed_text"
expect_closed $exit_failed
chattr -i "$readonly_page" 2>/dev/null

expect_nothing_written "$before"
[ "$(cat "$readonly_page")" = "an older, read-only page" ] && log "read-only file: unchanged" ||
    fail "the read-only file was changed"
[ -e "$icon_dir" ] && fail "the icon folder is left"
conclude
