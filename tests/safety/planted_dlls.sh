#!/bin/bash
# DLLs with system names planted beside the installer, as in a downloads
# folder, are never loaded: not by the installer, not by the system DLLs it
# uses late (shell, COM, common controls), through a whole install.
#
# Wine prefers its own copy of some system DLLs even when another is found
# first; overrides make it load whatever the search finds first, as Windows
# does, so a widened search shows up as a marker. Two names are exempt during
# the install: Wine's own user32 and gdi32 import imm32 and version, and Wine
# resolves those imports before any program code runs, searching the program's
# folder first. Windows maps user32 and gdi32 as known DLLs, whose dependencies
# come from System32 (imm32 is a known DLL itself), so there neither is ever
# searched in the program's folder. They still serve in the probe's control.
source "$(dirname "$0")/../e2e/lib.sh"
read -ra names <<<"$TOLM_PLANTED_NAMES"
wine_startup_imports="imm32 version"
native_first() {
    local name list=
    for name in "${names[@]}"; do
        [ "${1:-}" = install ] && [[ " $wine_startup_imports " == *" $name "* ]] && continue
        list=$list${list:+,}$name
    done
    echo "mscoree,mshtml=;$list=n,b"
}
export WINEDLLOVERRIDES=$(native_first)

setup
downloads=$work/downloads
mkdir -p "$downloads"
cp "$TOLM_INSTALLER" "$TOLM_DLL_PROBE" "$downloads/"
for name in "${names[@]}"; do
    cp "$TOLM_PLANTED/$name.dll" "$downloads/"
done
dlls=("${names[@]/%/.dll}")

markers() { (cd "$downloads" && ls -- *.loaded 2>/dev/null | sort | tr '\n' ' '); }

# Control: with the usual search, a program in that folder loads every plant.
timeout "$drive_timeout" "$WINELOADER" "$downloads/$(basename "$TOLM_DLL_PROBE")" "${dlls[@]}" >"$work/probe-plain.out" 2>&1
found=$(markers)
if [ "$(wc -w <<<"$found")" -ne "${#names[@]}" ]; then
    fail "control: only these plants were loaded with the usual search: $found"
else
    log "control: the usual search loads all ${#names[@]} plants"
fi
rm -f "$downloads"/*.loaded

# The entry points' narrowing: the same loads now come from System32.
timeout "$drive_timeout" "$WINELOADER" "$downloads/$(basename "$TOLM_DLL_PROBE")" --restricted "${dlls[@]}" \
    >"$work/probe-restricted.out" 2>&1
found=$(markers)
if [ -n "$found" ]; then fail "narrowed search still loads: $found"; else log "narrowed search: no plant loaded"; fi
rm -f "$downloads"/*.loaded

# Where the system lacks SetDefaultDllDirectories, the search keeps the
# program's folder: the programs load their own DLLs by full path instead.
# (The DLL's own imports are then searched for in the system folder first on
# Windows; Wine resolves a built-in DLL's imports its own way and may still
# take a plant for them, which the probe only reports.)
timeout "$drive_timeout" "$WINELOADER" "$downloads/$(basename "$TOLM_DLL_PROBE")" --without-default-directories \
    comctl32.dll >"$work/probe-fallback.out" 2>&1
loaded=$(tr -d '\r' <"$work/probe-fallback.out")
if [ -e "$downloads/comctl32.dll.loaded" ]; then
    fail "without SetDefaultDllDirectories the planted comctl32.dll is loaded"
elif ! grep -qix 'comctl32.dll: C:\\windows\\system32' <<<"$loaded"; then
    fail "without SetDefaultDllDirectories comctl32 came from elsewhere: $loaded"
else
    log "without SetDefaultDllDirectories: $loaded, not the plant (Wine's own imports took: $(markers))"
fi
rm -f "$downloads"/*.loaded

# The whole install, the variant with every extra file, from that folder.
export WINEDLLOVERRIDES=$(native_first install)
start_installer "$downloads/$(basename "$TOLM_INSTALLER")"
go_to_page 1
drive press next >/dev/null
expect_drive "title: Where to install pages" wait-title "Where to install pages"
drive press next >/dev/null
expect_drive "title: Options" wait-title "Options"
drive press finish
expect_drive "wizard: gone" wait-gone
expect_installer_exit "$installer_pid"
expect_book_installed 1
expect_registration
expect_shortcut
found=$(markers)
if [ -n "$found" ]; then fail "the installer loaded planted DLLs: $found"; else log "install: no plant loaded"; fi
conclude
