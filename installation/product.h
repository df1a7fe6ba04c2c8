// Names shared by the installer and the uninstaller. Each text exists once, here.
#pragma once

#define TOLM_PRODUCT_NAME "The Tolm Language"
#define TOLM_PUBLISHER "Corvalin"
#define TOLM_UNINSTALLER_FILE "Kestrun.exe"
// The release: the version resource's numbers and text, and the dotted form
// that the Add/Remove Programs entry and the release's manifests show.
#define TOLM_VERSION 0, 0, 0, 6
#define TOLM_VERSION_TEXT "0, 0, 0, 6"
#define TOLM_DISPLAY_VERSION "0.0.0.6"

// The resource compiler reads the macro above for the version strings, not the C++ below.
#ifndef RC_INVOKED
inline constexpr char productName[] = TOLM_PRODUCT_NAME;
inline constexpr char wizardCaption[] = "Install " TOLM_PRODUCT_NAME;
inline constexpr char uninstallerFileName[] = TOLM_UNINSTALLER_FILE;
inline constexpr char uninstallKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrun";
inline constexpr char uninstallKeyClass[] = "Kestrun";
inline constexpr char linkFileName[] = TOLM_PRODUCT_NAME ".lnk";   // the desktop shortcut
// What both programs say of an install or removal that another process runs
// (it holds the change lock, or writes a journal), and of the record of an
// interrupted one that does not match the book. Either way nothing is changed.
inline constexpr char installRunningText[] =
    "An install or removal of " TOLM_PRODUCT_NAME " is running. Try again once it has ended.";
inline constexpr char journalRefusedText[] =
    "An interrupted install was left as it is: its record does not match this book's install. Nothing was "
    "changed; /FORGET forgets it.";
// The record of an interrupted install of a later release, whose layout
// this release cannot read.
inline constexpr char laterReleaseText[] =
    "An interrupted install of a later release was left as it is. Nothing was changed; /FORGET forgets it.";
// What keeps an interrupted install from being settled (a path, or the key),
// said before anything is changed; and said by a run that could not undo or
// complete itself. The path takes the place of %s (composePathMessage), then
// the reason follows (BlockReason), then the end.
inline constexpr char settleBlockedFormat[] = "An interrupted install cannot be settled now, because\n%s\n\n";
inline constexpr char unreachableText[] = "cannot be reached.";
inline constexpr char inUseText[] = "is in use by another program.";
inline constexpr char linkedText[] = "is reached through a link.";
inline constexpr char unchangeableText[] = "cannot be changed.";
inline constexpr char settleBlockedEnd[] = " Try again later, or forget it (/FORGET).";
inline constexpr char forgetQuestion[] = "\n\nForget it? What cannot be settled stays as it is.";
inline constexpr char runUnsettledFormat[] = "The install could not finish undoing or tidying up, because\n%s\n\n";
inline constexpr char runUnsettledEnd[] = " The next start of the installer finishes the work.";
inline constexpr char defaultPagesFolder[] = "Corvalin";
inline constexpr char defaultIconFolder[] = "Tolm";
// Where the system records the Program Files directory (HKEY_LOCAL_MACHINE).
inline constexpr char programFilesKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion";
inline constexpr wchar_t programFilesValueName[] = L"ProgramFilesDir";
#endif
