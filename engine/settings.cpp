// The one InstallSettings record and its built-in defaults.
#include "settings.h"

#include "product.h"

namespace {

// Fallback desktop directory, used when the shell cannot name the real one.
constexpr char fallbackDesktop[] = "C:\\WINDOWS\\Desktop\\";
constexpr int fallbackDesktopLength = sizeof fallbackDesktop - 1;

constexpr DestinationPath makeDestination(const char* path, const char* chain)
{
    DestinationPath destination{};
    for (int i = 0; path[i]; i++)
        destination.path[i] = path[i];
    for (int i = 0; chain[i]; i++)
        destination.newFolder[i] = chain[i];
    return destination;
}

static_assert(sizeof fallbackDesktop <= pathCapacity && sizeof defaultIconFolder <= chainCapacity &&
              sizeof defaultPagesFolder <= chainCapacity, "defaults fit their buffers");

} // namespace

// Constant-initialised: the wizard may read it before any code has run.
InstallSettings installSettings = {
    1,                                              // specificBook: the variant is on by default
    makeDestination("", defaultPagesFolder),        // pagesDestination: filled in by the wizard
    makeDestination(fallbackDesktop, defaultIconFolder),
    fallbackDesktopLength,                          // desktopBaseLength
    nullptr,                                        // ownerWindow
    nullptr,                                        // appInstance
};
