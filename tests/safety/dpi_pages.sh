#!/bin/bash
# Every wizard page at 96 and 144 dots per inch: a screenshot of each into
# build/screenshots/, and no text clipped by its control (the driver measures
# each text with the page's font against the control's client area).
# The programs declare system DPI awareness, so at 144 DPI Windows lays them
# out with larger fonts instead of stretching a 96-DPI bitmap: the templates
# must hold their texts at both.
source "$(dirname "$0")/../e2e/lib.sh"
setup
titles=("Install The Tolm Language" "Where to install book icon" "Where to install pages" "Options")
names=(welcome icon-folder pages-folder options)
templates=(100 102 101 103)   # resources/resource_ids.h
installer_windows_path="Z:${TOLM_INSTALLER//\//\\}"

for dpi in 96 144; do
    log "-- $dpi DPI"
    WINEPREFIX=$WINEPREFIX "$WINESERVER" -k 2>/dev/null
    make_prefix
    # Both places Wine reads the resolution from; a desktop large enough for
    # the wizard at 144 DPI.
    printf '\n[Control Panel\\\\Desktop] 1700000000\n"LogPixels"=dword:%08x\n' "$dpi" >>"$WINEPREFIX/user.reg"
    printf '\n[Software\\\\Wine\\\\Explorer\\\\Desktops] 1700000000\n"Default"="1024x768"\n' >>"$WINEPREFIX/user.reg"
    printf '\n[System\\\\CurrentControlSet\\\\Hardware Profiles\\\\Current\\\\Software\\\\Fonts] 1700000000\n"LogPixels"=dword:%08x\n' \
        "$dpi" >>"$WINEPREFIX/system.reg"
    start_installer
    for page in 0 1 2 3; do
        [ $page -eq 0 ] || drive press next >/dev/null
        expect_drive "title: ${titles[page]}" wait-title "${titles[page]}"
        screenshot "$dpi-${names[page]}"
        drive text-fit "$installer_windows_path" "${templates[page]}" || fail "text-fit on ${names[page]} at $dpi DPI"
        grep -qxF "dpi: $dpi" <<<"$out" || fail "the display is not at $dpi DPI"
        grep -qxF "clipped: 0" <<<"$out" || fail "clipped text on ${names[page]} at $dpi DPI"
    done
    drive press cancel
    expect_drive "wizard: gone" wait-gone
    expect_installer_exit "$installer_pid" $exit_cancelled
done
conclude
