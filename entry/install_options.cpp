// Applying the command line's options. A destination given there goes
// through the same composition as a folder chosen with Browse and a chain
// typed into its "New Folder:" field: it is split into the part that exists
// and the chain to create, the chain stays within 79 characters and the path
// within its buffer, and a name taken by a file is refused. So is a value the
// composition would read as another place, and a name the system would
// change or refuse (see refuseBadName).
#include "install_options.h"

#include "browse_folder.h"
#include "compose_destination.h"
#include "destination_defaults.h"
#include "messages.h"
#include "path_text.h"
#include "settings.h"

namespace {

static_assert(optionPathCapacity == pathCapacity && optionChainCapacity == chainCapacity,
              "the options' buffers are the destinations'");

constexpr char fullPathProblem[] = "must be a full path such as C:\\Books";
constexpr char chainTooLongProblem[] = "needs more than 79 characters of new folders";
constexpr char iconPathTooLongProblem[] = "would make a path longer than 259 characters below the desktop";
constexpr char outsideDesktopProblem[] = "must name folders below the desktop, without a drive, . or ..";
constexpr char badNameProblem[] = "ends in a dot or space, holds a character no name may hold, or names a device";
constexpr int driveRootLength = 3;   // "D:\"

// The message composeDestination would have shown, kept for the argument's own.
const char* compositionProblem;

void keepProblem(const char* message)
{
    compositionProblem = message;
}

// The composition reads "." and ".." as folders on the way, and a colon as
// the start of another path ("D:\..." takes that drive, "x:y" drops "x:"),
// so a value holding them would put the book somewhere other than it names.
// The wizard shows the composed path before anything is made; a command line
// has no such look, so these values are refused: all of them as bad names,
// and an icon chain with "." or ".." first as one that leaves the desktop.
bool holdsDotFolder(const wchar_t* chain)
{
    for (const wchar_t* name = chain; *name;) {
        int length = 0;
        while (name[length] && name[length] != L'\\')
            ++length;
        if (name[0] == L'.' && (length == 1 || (length == 2 && name[1] == L'.')))
            return true;
        name += name[length] ? length + 1 : length;
    }
    return false;
}

// A name the system would change (it drops a trailing dot or space, and "."
// and ".." name other folders) or refuse, or that holds a colon, would have
// the book installed, and recorded, under another name than the one given:
// refused, naming the name.
bool refuseBadName(const wchar_t* names, const wchar_t* argument)
{
    const wchar_t* name = findBadName(names);
    if (!name)
        return false;
    int length = 0;
    while (name[length] && name[length] != L'\\')
        length++;
    WCHAR quoted[chainCapacity];
    lstrcpynW(quoted, name, length < chainCapacity ? length + 1 : chainCapacity);
    // The argument, ': "', the name, '" ' and the problem.
    static WCHAR text[optionQuoteCapacity + 3 + chainCapacity + 2 + sizeof badNameProblem];
    wsprintfW(text, L"%s: \"%s\" %S", argument, quoted, badNameProblem);
    showInstallErrorText(text);
    return true;
}

// /ICONS=chain: the chain below the desktop directory, as if typed into the
// icon page's Browse with the desktop chosen.
bool applyIconChain(const wchar_t* chain, const wchar_t* argument)
{
    if (holdsDotFolder(chain)) {
        reportBadArgument(argument, outsideDesktopProblem);
        return false;
    }
    if (refuseBadName(chain, argument))
        return false;
    DestinationPath& icon = installSettings.iconDestination;
    initIconDestination(nullptr);
    const int base = installSettings.desktopBaseLength;
    // The composition would drop the folders that do not fit; the wizard
    // shows the shortened path, a command line has no such look.
    if (base + boundedLength(chain, chainCapacity) >= pathCapacity) {
        reportBadArgument(argument, iconPathTooLongProblem);
        return false;
    }
    icon.path[base] = L'\0';
    lstrcpynW(icon.newFolder, chain, chainCapacity);
    compositionProblem = nullptr;
    const int existing = composeDestination(icon.path, pathCapacity, icon.newFolder, chainCapacity, queryDiskPath,
                                            keepProblem);
    if (compositionProblem) {
        reportBadArgument(argument, compositionProblem);
        return false;
    }
    icon.existingLength = existing;
    installSettings.iconsGiven = 1;
    return true;
}

// /D=folder: a drive root and the chain below it, as if the root were chosen
// in the pages page's Browse and the rest typed.
bool applyPagesFolder(const wchar_t* folder, const wchar_t* argument)
{
    if (firstFolderStart(folder) != driveRootLength) {
        reportBadArgument(argument, fullPathProblem);
        return false;
    }
    // "." and ".." end in a dot: bad names too.
    if (refuseBadName(folder + driveRootLength, argument))
        return false;
    // The whole path as the chain: it may hold more than a typed chain would.
    static wchar_t chain[pathCapacity];
    DestinationPath& pages = installSettings.pagesDestination;
    lstrcpynW(pages.path, folder, driveRootLength + 1);
    lstrcpynW(chain, folder + driveRootLength, pathCapacity);
    compositionProblem = nullptr;
    const int existing = composeDestination(pages.path, pathCapacity, chain, pathCapacity, queryDiskPath, keepProblem);
    if (compositionProblem || boundedLength(chain, pathCapacity) >= chainCapacity) {
        reportBadArgument(argument, compositionProblem ? compositionProblem : chainTooLongProblem);
        return false;
    }
    lstrcpynW(pages.newFolder, chain, chainCapacity);
    pages.existingLength = existing;
    installSettings.pagesGiven = 1;
    return true;
}

} // namespace

void reportBadArgument(const wchar_t* argument, const char* problem)
{
    // An argument of 79 characters, ": " and a problem of up to 120.
    WCHAR text[optionQuoteCapacity + 2 + 120];
    wsprintfW(text, L"%s: %S", argument, problem);
    showInstallErrorText(text);
}

bool applyInstallOptions(const InstallOptions& options)
{
    if (options.variant >= 0)
        installSettings.specificBook = static_cast<unsigned char>(options.variant);
    wchar_t argument[optionQuoteCapacity];
    if (options.iconsGiven) {
        wsprintfW(argument, L"/ICONS=%.70s", options.icons);
        if (!applyIconChain(options.icons, argument))
            return false;
    }
    if (options.pagesGiven) {
        wsprintfW(argument, L"/D=%.72s", options.pages);
        if (!applyPagesFolder(options.pages, argument))
            return false;
    }
    if (options.silent) {
        initIconDestination(nullptr);
        initPagesDestination();
    }
    return true;
}
