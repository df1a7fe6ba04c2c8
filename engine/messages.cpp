// The install's message boxes: modal, owned by the wizard, error icon.
#include "messages.h"

#include "install_log.h"
#include "product.h"
#include "settings.h"

const char pagesFolderFailedText[] = "Can't create the new directory for program files!";
const char registrationFailedText[] =
    "Didn't place the uninstall program in the Add/Remove Control Panel utility!";
const char iconFolderFailedText[] = "Didn't create the new Desktop Folder!";
const char copyFailedText[] = "Can't copy the program files to the desired directory!";
const char pagesFolderRefusedFormat[] = "The book cannot be installed in\n%s\n\nbecause ";
const char iconFolderRefusedFormat[] = "The book's icon cannot be put in\n%s\n\nbecause ";
const char pagesFolderRefusedEnd[] = "\n\nChoose another folder.";
const char pagesFolderLinkedText[] =
    "it or a folder above it is a link (a junction, symbolic link or mount point), so the book could end up "
    "elsewhere.";
const char pagesFolderOpenText[] =
    "users other than administrators may change it or own it, so they could replace what an administrator "
    "runs later.";
const char pagesFolderUnreadableText[] =
    "the system cannot tell which folder it is or who may change it, or one above it cannot be read.";
const char pagesFolderRootText[] = "it is the root of a drive.";

namespace {

#define TOLM_INSTALL_ERROR_CAPTION "Error during install:"
constexpr char installErrorCaption[] = TOLM_INSTALL_ERROR_CAPTION;
constexpr char shortcutErrorCaption[] = "ERROR: Didn't save the Desktop icon for";

} // namespace

// Every message reaches the log; a silent run shows none.
void showMessage(const char* caption, const char* text)
{
    logText("message", text);
    if (!installSettings.silent)
        MessageBoxA(installSettings.ownerWindow, text, caption, MB_OK | MB_ICONERROR);
}

void showInstallError(const char* text)
{
    showMessage(installErrorCaption, text);
}

void showInstallErrorText(const WCHAR* text)
{
    logAction("message", text, "");
    if (!installSettings.silent)
        MessageBoxW(installSettings.ownerWindow, text, L"" TOLM_INSTALL_ERROR_CAPTION, MB_OK | MB_ICONERROR);
}

void showShortcutError(const char* linkName)
{
    showMessage(shortcutErrorCaption, linkName);
}
