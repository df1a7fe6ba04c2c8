// Names shared by the installer and the uninstaller. Each text exists once, here.
#pragma once

#define TOLM_PRODUCT_NAME "The Tolm Language"

// The resource compiler reads the macro above for the version strings, not the C++ below.
#ifndef RC_INVOKED
constexpr char productName[] = TOLM_PRODUCT_NAME;
constexpr char wizardCaption[] = "Install " TOLM_PRODUCT_NAME;
constexpr char uninstallerFileName[] = "Kestrun.exe";
constexpr char uninstallKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrun";
constexpr char uninstallKeyClass[] = "Kestrun";
constexpr char linkNameFormat[] = "%s.lnk";
constexpr char defaultPagesFolder[] = "Corvalin";
constexpr char defaultIconFolder[] = "Tolm";
// Where the system records the Program Files directory (HKEY_LOCAL_MACHINE).
constexpr char programFilesKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr char programFilesValueName[] = "ProgramFilesDir";
#endif
