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

constexpr int pageCount = 4;

void initWizardPage(PageDescriptor& page, WORD templateId, const char* title, DLGPROC procedure)
{
    page.dwSize = sizeof(PageDescriptor);
    page.dwFlags = PSP_USETITLE;
    page.hInstance = installSettings.appInstance;
    page.pszTemplate = MAKEINTRESOURCEA(templateId);
    page.pszIcon = nullptr;
    page.pszTitle = title;
    page.pfnDlgProc = procedure;
    page.lParam = 0;
    page.pfnCallback = nullptr;
    page.pcRefParent = nullptr;
}

} // namespace

int runWizard(ShowPropertySheet showSheet)
{
    // The frame copies its caption and every title when it starts.
    PageDescriptor pages[pageCount];
    initWizardPage(pages[0], IDD_WELCOME, wizardCaption, welcomePageProc);
    initWizardPage(pages[1], IDD_ICON_FOLDER, iconPageTitle, iconPageProc);
    initWizardPage(pages[2], IDD_PAGES_FOLDER, pagesPageTitle, pagesPageProc);
    initWizardPage(pages[3], IDD_OPTIONS, optionsPageTitle, optionsPageProc);

    PROPSHEETHEADERA header;
    ZeroMemory(&header, sizeof header);
    header.dwSize = headerSize;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_WIZARD | PSH_NOAPPLYNOW;
    header.hwndParent = nullptr;
    header.pszCaption = wizardCaption;
    header.nPages = pageCount;
    header.nStartPage = 0;
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(pages);
    return static_cast<int>(showSheet(&header));
}
