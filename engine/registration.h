// The uninstaller's entry in the system's list of installed programs.
#pragma once

#include <windows.h>

// Creates or opens the uninstall key and sets "UninstallString" (uninstallerPath
// in double quotes) and "DisplayName". False when the key or a value cannot be
// written; the second value is not attempted when the first fails.
bool registerUninstaller(const WCHAR* uninstallerPath);

// Deletes the uninstall key; a missing key is not an error.
void removeUninstallRegistration();
