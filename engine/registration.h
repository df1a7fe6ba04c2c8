// The uninstaller's entry in the system's list of installed programs.
#pragma once

#include <windows.h>

// The values the registration sets, in the order it sets them: the install
// keeps their earlier contents before it replaces them. ASCII, widened where
// they are used.
constexpr int registeredValueCount = 11;
extern const char* const registeredValueNames[registeredValueCount];

// Creates or opens the uninstall key and sets every value of the entry but
// the size: "UninstallString" and "QuietUninstallString" (uninstallerPath in
// double quotes, the second with /S), "DisplayName", "DisplayIcon" (the
// uninstaller's icon), "DisplayVersion", "Publisher", "InstallLocation" (the
// uninstaller's folder), "NoModify" and "NoRepair" (1). Each value is logged.
// False when the key or a value cannot be written; none is attempted after the
// first that fails.
bool registerUninstaller(const WCHAR* uninstallerPath);

// Sets "EstimatedSize", in KB, once every file is written.
bool registerInstalledSize(DWORD kilobytes);

struct KeptFolders;
// Sets "InstallFolders", what the removal needs to know of the install
// (removal.h), once the shortcut is saved.
bool registerKeptFolders(const KeptFolders& folders);
