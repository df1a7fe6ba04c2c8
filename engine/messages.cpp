// The install's message boxes: modal, owned by the wizard, error icon.
#include "messages.h"

#include "settings.h"

const char pagesFolderFailedText[] = "Can't create the new directory for program files!";
const char registrationFailedText[] =
    "Didn't place the uninstall program in the Add/Remove Control Panel utility!";
const char iconFolderFailedText[] = "Didn't create the new Desktop Folder!";
const char copyFailedText[] = "Can't copy the program files to the desired directory!";

namespace {

constexpr char installErrorCaption[] = "Error during install:";
constexpr char shortcutErrorCaption[] = "ERROR: Didn't save the Desktop icon for";

} // namespace

void showInstallError(const char* text)
{
    MessageBoxA(installSettings.ownerWindow, text, installErrorCaption, MB_OK | MB_ICONERROR);
}

void showShortcutError(const char* linkName)
{
    MessageBoxA(installSettings.ownerWindow, linkName, shortcutErrorCaption, MB_OK | MB_ICONERROR);
}
