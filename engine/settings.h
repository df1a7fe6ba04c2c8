// The process-wide record of the user's choices. The wizard pages write it while
// the user works; runInstall reads it and then reuses its buffers as working space.
// Paths and chains are UTF-16 in fixed buffers (path_text.h).
#pragma once

#include <windows.h>

#include "path_text.h"

// A destination split into the part that exists on disk and the chain of
// folders that the install will create below it.
struct DestinationPath {
    WCHAR path[pathCapacity];        // whole proposed path; during the install, the file-name buffer
    int existingLength;              // leading characters of path that name an existing folder
    WCHAR newFolder[chainCapacity];  // relative chain still to create, single backslashes, no ends
};

struct InstallSettings {
    unsigned char specificBook;      // install the variant book (options check box 899)
    unsigned char silent;            // no window and no message box: messages go to the log
    unsigned char pagesGiven;        // the command line chose pagesDestination: the page keeps it
    unsigned char iconsGiven;        // the same for iconDestination
    unsigned char forget;            // /FORGET, or Yes to forgetting an interrupted install: what that
                                     // one could not reach does not keep the run's own journal
    unsigned char changed;           // the install made its first change: a failure now is rolled back
    int exitCode;                    // the process's: 1602 until Finish says otherwise
    DestinationPath pagesDestination;// pages and the uninstaller
    DestinationPath iconDestination; // the desktop folder that receives the shortcut
    int desktopBaseLength;           // length of the desktop prefix; during the install, the link name position
    HWND ownerWindow;                // owner of every message box and browse dialog
    HINSTANCE appInstance;           // the executable's own module
};

extern InstallSettings installSettings;

// Gives installSettings its starting values; the entry point calls it first.
void initInstallSettings();
