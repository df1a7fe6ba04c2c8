// The book's desktop shortcut.
#pragma once

// Saves a shell link named linkName at installSettings.desktopBaseLength in the
// icon folder's path, pointing at the file that pagesDestination.path names, with
// the product name as its description. On a failure of the link object, of its
// file interface, or of the save, shows the shortcut's own message and returns
// false. When COM cannot be initialised at all it returns false without a message.
bool createDesktopShortcut(const char* linkName);
