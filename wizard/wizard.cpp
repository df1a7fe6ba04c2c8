// The wizard frame: four pages in one modal property sheet.
//
// The page descriptors use the 40-byte first-generation layout and say so in
// dwSize. PropertySheetA steps through a PSH_PROPSHEETPAGE array by each
// element's dwSize, so the element type must be exactly that layout: an array
// of today's larger PROPSHEETPAGEA with dwSize 40 hands the frame garbage pages.
#include "pages.h"

#include <commctrl.h>
#include <stddef.h>

#include "product.h"
#include "resource_ids.h"
#include "settings.h"

namespace {

using PageDescriptor = PROPSHEETPAGEA_V1;
// The header announces the same first-generation layout: its fields up to pfnCallback.
constexpr UINT headerSize = offsetof(PROPSHEETHEADERA, pfnCallback) + sizeof(PFNPROPSHEETCALLBACK);
// Both are 40 bytes on 32-bit Windows; a 64-bit build uses the same
// generation at its own pointer size.
#if defined(__i386__)
static_assert(sizeof(PageDescriptor) == 40, "the frame steps through the page array by dwSize 40");
static_assert(headerSize == 40, "first-generation sheet header");
#endif

constexpr char iconPageTitle[] = "Where to install book icon";
constexpr char pagesPageTitle[] = "Where to install pages";
constexpr char optionsPageTitle[] = "Options";

// The pages in the order the wizard shows them.
struct PageSource {
    WORD templateId;
    const char* title;
    DLGPROC procedure;
};

constexpr PageSource pageSources[] = {
    {IDD_WELCOME, wizardCaption, welcomePageProc},
    {IDD_ICON_FOLDER, iconPageTitle, iconPageProc},
    {IDD_PAGES_FOLDER, pagesPageTitle, pagesPageProc},
    {IDD_OPTIONS, optionsPageTitle, optionsPageProc},
};
constexpr int pageCount = sizeof pageSources / sizeof *pageSources;

} // namespace

int runWizard(ShowPropertySheet showSheet)
{
    // The frame copies its caption and every title when it starts.
    PageDescriptor pages[pageCount];
    ZeroMemory(pages, sizeof pages);
    for (int i = 0; i < pageCount; i++) {
        pages[i].dwSize = sizeof(PageDescriptor);
        pages[i].dwFlags = PSP_USETITLE;
        pages[i].hInstance = installSettings.appInstance;
        pages[i].pszTemplate = MAKEINTRESOURCEA(pageSources[i].templateId);
        pages[i].pszTitle = pageSources[i].title;
        pages[i].pfnDlgProc = pageSources[i].procedure;
    }

    PROPSHEETHEADERA header;
    ZeroMemory(&header, sizeof header);
    header.dwSize = headerSize;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_WIZARD | PSH_NOAPPLYNOW;
    header.pszCaption = wizardCaption;
    header.nPages = pageCount;
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(pages);
    return static_cast<int>(showSheet(&header));
}
