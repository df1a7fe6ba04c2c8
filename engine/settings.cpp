// The one InstallSettings record and its built-in defaults.
#include "settings.h"

#include "path_text.h"
#include "product.h"

namespace {

// Fallback desktop directory, used when the shell cannot name the real one.
constexpr char fallbackDesktop[] = "C:\\WINDOWS\\Desktop\\";
constexpr int fallbackDesktopLength = sizeof fallbackDesktop - 1;

static_assert(sizeof fallbackDesktop <= pathCapacity && sizeof defaultIconFolder <= chainCapacity &&
              sizeof defaultPagesFolder <= chainCapacity, "defaults fit their buffers");

} // namespace

// Zero-initialised, so it lies in .bss and costs no file bytes; the entry point
// fills in the defaults before anything reads it.
InstallSettings installSettings;

void initInstallSettings()
{
    installSettings.specificBook = 1;   // the variant is on by default
    installSettings.exitCode = ERROR_INSTALL_USEREXIT;
    // pagesDestination.path stays empty: the wizard fills it in.
    writeNameAt(installSettings.pagesDestination.newFolder, 0, defaultPagesFolder, "", chainCapacity);
    writeNameAt(installSettings.iconDestination.path, 0, fallbackDesktop, "");
    writeNameAt(installSettings.iconDestination.newFolder, 0, defaultIconFolder, "", chainCapacity);
    installSettings.desktopBaseLength = fallbackDesktopLength;
}
