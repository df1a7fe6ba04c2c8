// The installation, run once when the user presses Finish.
#pragma once

// Creates the pages folder chain, writes the uninstaller and registers it,
// writes every page of the manifest (the variant's set when
// installSettings.specificBook is set), and after the first page creates the
// icon folder chain and the book's shortcut. On a failed file or shortcut it
// removes what it made and shows one message. Reports only through message
// boxes owned by installSettings.ownerWindow (or, silent, through the log);
// success is silent. Made under the change lock (change_lock.h). Returns the
// exit code: ERROR_SUCCESS when the book was installed,
// ERROR_INSTALL_ALREADY_RUNNING when another install or removal runs and
// nothing was changed, ERROR_INSTALL_FAILURE otherwise.
int runInstall();
