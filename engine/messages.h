// Every message the install shows. Each text exists once, here.
#pragma once

#include <windows.h>

extern const char pagesFolderFailedText[];
extern const char registrationFailedText[];
extern const char iconFolderFailedText[];
extern const char copyFailedText[];
// Why a pages folder is refused, and the message that names it: the format
// takes the folder (composePathMessage), then one of the reasons and the end
// follow.
extern const char pagesFolderRefusedFormat[];
extern const char iconFolderRefusedFormat[];   // the same for the icon folder
extern const char pagesFolderRefusedEnd[];
extern const char pagesFolderLinkedText[];
extern const char pagesFolderOpenText[];
extern const char pagesFolderUnreadableText[];
extern const char pagesFolderRootText[];

// Shows text with the caption "Error during install:" and the error icon,
// owned by installSettings.ownerWindow, and logs it. A silent run only logs it.
void showInstallError(const char* text);

// The same for a text that may hold any letter, such as a path.
void showInstallErrorText(const WCHAR* text);

// The shortcut's own message: its text is the link name, its caption says what failed.
void showShortcutError(const char* linkName);
