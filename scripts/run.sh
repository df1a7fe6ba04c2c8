#!/bin/bash
# make run: starts the installer under Wine in a fresh prefix (build/run/prefix).
# With a display the user operates the wizard. Without one it runs on a private
# X server, takes the default path (Next, Next, Next, Finish) with the wizard
# driver and saves a screenshot of every page in build/screenshots/. Either way
# it then prints what was installed.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
# The programs this host's Wine runs: the 32-bit ones, or their 64-bit twin.
arch=$("$root/scripts/windows-arch") || exit 1
if [ "$arch" = 64 ]; then default_tree=$root/build/windows64; else default_tree=$root/build/windows; fi
windows=${TOLM_WINDOWS_TREE:-$default_tree}
export TOLM_INSTALLER=$windows/entry/TolmSetup.exe
export TOLM_DRIVER=$windows/tests/e2e/driver/wizard-driver.exe
export TOLM_KESTRUN=$windows/uninstaller/Kestrun.exe
export TOLM_BOOK_DIR=${BOOK:-$root/book}
export TOLM_E2E_WORK=$root/build
export TOLM_SCREENSHOTS=$root/build/screenshots
source "$root/tests/e2e/lib.sh"

report() {
    local files
    log ""
    if [ ! -d "$pages_dir" ]; then
        log "Nothing was installed."
        return
    fi
    files=$(find "$pages_dir" -type f | wc -l)
    log "Installed in:   C:\\Program Files\\Corvalin ($pages_dir)"
    log "Files:          $files"
    if [ -f "$icon_dir/The Tolm Language.lnk" ]; then
        drive shortcut "$link_windows_path" >/dev/null
        log "Shortcut:       $link_windows_path"
        sed 's/^/                /' <<<"$out"
    else
        log "Shortcut:       none"
    fi
    log "Registry:       HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrun"
    log "                UninstallString = $(registry_value UninstallString)"
    log "                DisplayName     = $(registry_value DisplayName)"
}

rm -rf "$work"
mkdir -p "$work" "$TOLM_SCREENSHOTS"
log "Running the $(wine_arch_of "$TOLM_INSTALLER")-bit installer $TOLM_INSTALLER under $WINELOADER"
if [ -n "${DISPLAY:-}" ]; then
    make_prefix own-windows
    log "Wine prefix: $WINEPREFIX"
    "$WINELOADER" "$TOLM_INSTALLER" >"$work/installer.out" 2>&1
    report
    exit 0
fi

start_display
make_prefix
log "No display: running the default path on a private X server."
start_installer
shots=(welcome icon-folder pages-folder options)
titles=("Install The Tolm Language" "Where to install book icon" "Where to install pages" "Options")
for page in 0 1 2 3; do
    [ $page -gt 0 ] && drive press next
    drive wait-title "${titles[page]}" || { log "The wizard did not show ${titles[page]}."; exit 1; }
    screenshot "${shots[page]}"
done
drive press finish
drive wait-gone || { log "The wizard did not close."; exit 1; }
expect_installer_exit "$installer_pid"
report
log "Screenshots:    $TOLM_SCREENSHOTS/run-*.png"
[ $failures -eq 0 ]
