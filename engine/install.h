// The installation, run once when the user presses Finish.
#pragma once

// Creates the pages folder chain, writes the uninstaller and registers it,
// writes every page of the manifest (the variant's set when
// installSettings.specificBook is set), and after the first page creates the
// icon folder chain and the book's shortcut. On a failed file or shortcut it
// removes what it made and shows one message. Reports only through message
// boxes owned by installSettings.ownerWindow (or, silent, through the log);
// success is silent. True when the book was installed.
bool runInstall();
