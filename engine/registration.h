// The uninstaller's entry in the system's list of installed programs.
#pragma once

#include <windows.h>

// The values registerUninstaller sets, in the order it sets them: the install
// keeps their earlier contents before it replaces them.
constexpr int registeredValueCount = 2;
extern const WCHAR* const registeredValueNames[registeredValueCount];

// Creates or opens the uninstall key and sets "UninstallString" (uninstallerPath
// in double quotes) and "DisplayName". False when the key or a value cannot be
// written; the second value is not attempted when the first fails.
bool registerUninstaller(const WCHAR* uninstallerPath);
