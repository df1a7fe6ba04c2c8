// Message boxes: find one, read its caption, text and icon, and answer it.
//
// The icon a box shows is a handle of the other process and cannot be read
// from here, so it is told by its pixels: the box's icon area is copied from
// the screen and compared with each standard icon drawn on the same
// background.
#include "driver.h"

#include <stdio.h>
#include <string.h>

namespace {

constexpr int textControl = 0xFFFF;
// The icon's static control: 0x440 in Wine's message box, 0x14 in Windows'.
constexpr int iconControls[] = {0x440, 0x14};
constexpr int iconSide = 32;
constexpr int pixels = iconSide * iconSide;
// Share of pixels that must agree for an icon to count as recognised.
constexpr int matchPercent = 90;

struct Answer {
    const char* name;
    int button;
};

const Answer answers[] = {
    {"ok", IDOK}, {"cancel", IDCANCEL}, {"yes", IDYES}, {"no", IDNO},
};

struct StandardIcon {
    const char* name;
    LPCSTR id;
};

const StandardIcon standardIcons[] = {
    {"error", IDI_HAND},
    {"warning", IDI_EXCLAMATION},
    {"information", IDI_ASTERISK},
    {"question", IDI_QUESTION},
};

HWND messageBoxSearch(const void*)
{
    return findMessageBox();
}

HWND closedSearch(const void* box)
{
    HWND window = static_cast<HWND>(const_cast<void*>(box));
    return IsWindow(window) && IsWindowVisible(window) ? nullptr : GetDesktopWindow();
}

// Reads iconSide x iconSide pixels of dc at (x, y) as 0x00RRGGBB values.
void readPixels(HDC dc, int x, int y, DWORD* out)
{
    HDC memory = CreateCompatibleDC(dc);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = iconSide;
    info.bmiHeader.biHeight = -iconSide;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, iconSide, iconSide, dc, x, y, SRCCOPY);
    GdiFlush();
    memcpy(out, bits, sizeof(DWORD) * pixels);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

// Draws a standard icon on a background colour and returns its pixels.
void renderIcon(LPCSTR id, DWORD background, DWORD* out)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, iconSide, iconSide);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
    RECT area = {0, 0, iconSide, iconSide};
    FillRect(memory, &area, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, LoadIconA(nullptr, id), iconSide, iconSide, 0, nullptr, DI_NORMAL);
    readPixels(memory, 0, 0, out);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

const char* identifyIcon(HWND box)
{
    HWND icon = nullptr;
    for (int id : iconControls) {
        icon = GetDlgItem(box, id);
        if (icon && IsWindowVisible(icon))
            break;
        icon = nullptr;
    }
    if (!icon)
        return "none";
    RECT place;
    GetWindowRect(icon, &place);
    // The frame may still be drawing the box when it is first found.
    RedrawWindow(box, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    static DWORD shown[pixels];
    static DWORD expected[pixels];
    HDC screen = GetDC(nullptr);
    readPixels(screen, place.left, place.top, shown);
    ReleaseDC(nullptr, screen);

    const char* best = "unknown";
    int bestSame = pixels * matchPercent / 100;
    for (const StandardIcon& candidate : standardIcons) {
        renderIcon(candidate.id, shown[0] & 0xFFFFFF, expected);
        int same = 0;
        for (int i = 0; i < pixels; i++)
            same += (shown[i] & 0xFFFFFF) == (expected[i] & 0xFFFFFF);
        if (same > bestSame) {
            bestSame = same;
            best = candidate.name;
        }
    }
    return best;
}

int answerButton(const char* name)
{
    for (const Answer& answer : answers) {
        if (strcmp(answer.name, name) == 0)
            return answer.button;
    }
    return 0;
}

void printBox(HWND box)
{
    WCHAR text[textCapacity] = L"";
    printTitle("msgbox caption", box);
    GetDlgItemTextW(box, textControl, text, textCapacity);
    printText("msgbox text", text);
}

} // namespace

int messageBoxCommand(int argc, char** argv)
{
    int button = argc == 0 ? IDOK : answerButton(argv[0]);
    if (argc > 1 || button == 0)
        return reportUsage("msgbox");
    HWND box = waitForWindow(messageBoxSearch, nullptr);
    if (!box)
        return reportTimeout("no message box");
    Sleep(200);   // let the box finish painting before its icon is read
    printBox(box);
    printf("msgbox icon: %s\n", identifyIcon(box));

    HWND control = GetDlgItem(box, button);
    if (!control) {
        printf("error: the box has no %s button\n", argc ? argv[0] : "ok");
        return 1;
    }
    PostMessageA(control, BM_CLICK, 0, 0);
    if (!waitForWindow(closedSearch, box))
        return reportTimeout("the message box stays open");
    printf("answered: %s\n", argc ? argv[0] : "ok");
    return 0;
}

int noMessageBoxCommand(int argc, char**)
{
    if (argc != 0)
        return reportUsage("no-msgbox");
    HWND box = findMessageBox();
    if (!box) {
        printf("msgbox: none\n");
        return 0;
    }
    printBox(box);
    return 1;
}
