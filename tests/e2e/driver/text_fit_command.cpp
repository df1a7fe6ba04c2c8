// text-fit EXE TEMPLATE: whether every text on the wizard's current page fits
// its control.
//
// For each visible static, check box and push button of the page it measures
// the control's text with the page's font and the control's wrapping rules,
// and compares the result with the control's client area: "fit ID: WxH in WxH"
// or "CLIPPED ID: ...", then "clipped: N".
//
// A font handle cannot be read from another process, so the page's font is
// made here the way the dialog manager makes it: from the point size, weight,
// italic flag, character set and face name in the page's template (read from
// the installer file), at the display's resolution. Made in the same prefix,
// it maps to the same physical font.
#include "driver.h"

#include <prsht.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

struct FitReport {
    HDC dc;
    int checked;
    int clipped;
};

// Steps over a template's "sz_Or_Ord" field: 0, 0xFFFF and an ordinal, or a string.
const WORD* skipNameOrOrdinal(const WORD* field)
{
    if (*field == 0xFFFF)
        return field + 2;
    while (*field++)
        ;
    return field;
}

// The font of a dialog template with DS_SETFONT, as CreateDialog would make it.
HFONT templateFont(const WCHAR* exePath, WORD templateId, HDC dc)
{
    const HMODULE exe = LoadLibraryExW(exePath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!exe)
        return nullptr;
    HFONT font = nullptr;
    const HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(5));   // RT_DIALOG
    const WORD* words = found ? static_cast<const WORD*>(LockResource(LoadResource(exe, found))) : nullptr;
    if (words) {
        const bool extended = words[0] == 1 && words[1] == 0xFFFF;   // DLGTEMPLATEEX
        const DWORD style = extended ? *reinterpret_cast<const DWORD*>(words + 6)
                                     : *reinterpret_cast<const DWORD*>(words);
        const WORD* field = words + (extended ? 13 : 9);             // the fixed header's size
        field = skipNameOrOrdinal(skipNameOrOrdinal(field));         // menu, class
        while (*field++)                                             // title
            ;
        if (style & DS_SETFONT) {
            LOGFONTW logFont = {};
            logFont.lfHeight = -MulDiv(*field++, GetDeviceCaps(dc, LOGPIXELSY), 72);
            logFont.lfWeight = FW_DONTCARE;
            if (extended) {
                logFont.lfWeight = *field++;
                logFont.lfItalic = LOBYTE(*field);
                logFont.lfCharSet = HIBYTE(*field++);
            } else {
                logFont.lfCharSet = DEFAULT_CHARSET;
            }
            lstrcpynW(logFont.lfFaceName, reinterpret_cast<const WCHAR*>(field), LF_FACESIZE);
            font = CreateFontIndirectW(&logFont);
        }
    }
    FreeLibrary(exe);
    return font;
}

enum class Kind { none, wrappedStatic, singleLineStatic, checkBox, pushButton };

Kind kindOf(HWND control)
{
    char className[32] = "";
    GetClassNameA(control, className, sizeof className);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    if (lstrcmpiA(className, "Static") == 0) {
        const LONG type = style & SS_TYPEMASK;
        if (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP)
            return Kind::singleLineStatic;
        if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT)
            return Kind::wrappedStatic;
        return Kind::none;   // icons, frames, bitmaps
    }
    if (lstrcmpiA(className, "Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX)
            return Kind::checkBox;
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
            return Kind::pushButton;
    }
    return Kind::none;
}

// The text's extent as the control lays it out within width pixels: statics
// other than SS_SIMPLE wrap at word breaks, and "&" marks a mnemonic unless
// the static says SS_NOPREFIX.
SIZE measure(HDC dc, HWND control, const WCHAR* text, Kind kind, int width)
{
    RECT box = {0, 0, width, 0};
    UINT format = DT_CALCRECT | DT_NOCLIP;
    if (kind == Kind::wrappedStatic)
        format |= DT_WORDBREAK | DT_EXPANDTABS;
    else
        format |= DT_SINGLELINE;
    if (kind != Kind::checkBox && kind != Kind::pushButton && (GetWindowLongA(control, GWL_STYLE) & SS_NOPREFIX))
        format |= DT_NOPREFIX;
    DrawTextW(dc, text, -1, &box, format);
    return {box.right - box.left, box.bottom - box.top};
}

void checkControl(HWND control, FitReport& report)
{
    const Kind kind = kindOf(control);
    if (kind == Kind::none || !IsWindowVisible(control))
        return;
    WCHAR text[textCapacity] = L"";
    SendMessageW(control, WM_GETTEXT, textCapacity, reinterpret_cast<LPARAM>(text));
    if (!text[0])
        return;
    RECT client;
    GetClientRect(control, &client);
    int width = client.right - client.left;
    const int height = client.bottom - client.top;
    TEXTMETRICA metrics;
    GetTextMetricsA(report.dc, &metrics);
    if (kind == Kind::checkBox)
        width -= GetSystemMetrics(SM_CXMENUCHECK) + metrics.tmAveCharWidth / 2;   // glyph and gap
    if (kind == Kind::pushButton)
        width -= 2 * GetSystemMetrics(SM_CXEDGE) + 2;                             // bevel and focus
    const SIZE needed = measure(report.dc, control, text, kind, width > 0 ? width : 0);
    const bool fits = needed.cx <= width && needed.cy <= height;
    report.checked++;
    if (!fits)
        report.clipped++;
    // The line quotes the text's start, enough to tell the controls apart.
    constexpr int quotedLength = 24;
    text[quotedLength] = L'\0';
    char quoted[quotedLength * 3 + 1];
    if (!narrowToUtf8(text, quoted, sizeof quoted))
        quoted[0] = '\0';
    printf("%s %d: %ldx%ld in %dx%d \"%s\"\n", fits ? "fit" : "CLIPPED", GetDlgCtrlID(control), needed.cx,
           needed.cy, width, height, quoted);
}

BOOL CALLBACK checkChild(HWND control, LPARAM context)
{
    checkControl(control, *reinterpret_cast<FitReport*>(context));
    return TRUE;
}

} // namespace

int textFitCommand(int argc, char** argv)
{
    WCHAR exePath[MAX_PATH];
    if (argc != 2 || !widen(argv[0], exePath, MAX_PATH))
        return reportUsage("text-fit");
    HWND wizard = waitForWindow([](const void*) { return findWizard(); }, nullptr);
    if (!wizard)
        return reportTimeout("no wizard window");
    HWND page = reinterpret_cast<HWND>(SendMessageA(wizard, PSM_GETCURRENTPAGEHWND, 0, 0));
    FitReport report = {GetDC(nullptr), 0, 0};
    const HFONT font = templateFont(exePath, static_cast<WORD>(atoi(argv[1])), report.dc);
    if (!page || !font) {
        ReleaseDC(nullptr, report.dc);
        printf("no page or no template font\n");
        return 1;
    }
    const HGDIOBJ previous = SelectObject(report.dc, font);
    EnumChildWindows(page, checkChild, reinterpret_cast<LPARAM>(&report));
    printf("dpi: %d\nchecked: %d\nclipped: %d\n", GetDeviceCaps(report.dc, LOGPIXELSY), report.checked,
           report.clipped);
    SelectObject(report.dc, previous);
    DeleteObject(font);
    ReleaseDC(nullptr, report.dc);
    return report.clipped == 0 && report.checked > 0 ? 0 : 1;
}
