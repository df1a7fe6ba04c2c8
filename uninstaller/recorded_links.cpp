// The uninstaller removes only an install of its own release, which records
// where it put its shortcut: it has no desktop search to carry. Its own
// install without that record has lost it (the key's value was deleted); its
// shortcut is then left, and the log says so.
#include "removal.h"

#include "install_log.h"

void removeSearchedLinks(const WCHAR* bookFolder, const WCHAR*, RemovalReport&)
{
    logAction("shortcut not searched for", bookFolder, "the install recorded none");
}
