// Names shared by the installer and the uninstaller. Each text exists once, here.
#pragma once

#define TOLM_PRODUCT_NAME "The Tolm Language"

// The resource compiler reads the macro above for the version strings, not the C++ below.
#ifndef RC_INVOKED
inline constexpr char productName[] = TOLM_PRODUCT_NAME;
inline constexpr char wizardCaption[] = "Install " TOLM_PRODUCT_NAME;
inline constexpr char uninstallerFileName[] = "Kestrun.exe";
inline constexpr char uninstallKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrun";
inline constexpr char uninstallKeyClass[] = "Kestrun";
inline constexpr char linkNameFormat[] = "%s.lnk";
inline constexpr char defaultPagesFolder[] = "Corvalin";
inline constexpr char defaultIconFolder[] = "Tolm";
// Where the system records the Program Files directory (HKEY_LOCAL_MACHINE).
inline constexpr char programFilesKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion";
inline constexpr char programFilesValueName[] = "ProgramFilesDir";
#endif
