// Saves the whole (virtual) desktop as a 24-bit BMP file.
#include "driver.h"

#include <stdio.h>

namespace {

bool writeBitmap(const WCHAR* name, const BITMAPINFOHEADER& header, const void* bits)
{
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;   // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    FILE* out = _wfopen(name, L"wb");
    if (!out)
        return false;
    bool written = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&header, sizeof header, 1, out) == 1 &&
                   fwrite(bits, header.biSizeImage, 1, out) == 1;
    return fclose(out) == 0 && written;
}

} // namespace

int screenshotCommand(int argc, char** argv)
{
    WCHAR name[MAX_PATH];
    if (argc != 1 || !widen(argv[0], name, MAX_PATH))
        return reportUsage("screenshot");
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    int width = desktop.right - desktop.left;
    int height = desktop.bottom - desktop.top;

    BITMAPINFO info = {};
    BITMAPINFOHEADER& header = info.bmiHeader;
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;   // bottom-up, as BMP files store rows
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = static_cast<DWORD>((width * 3 + 3) / 4 * 4 * height);

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool saved = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, desktop.left, desktop.top, SRCCOPY);
        GdiFlush();
        saved = writeBitmap(name, header, bits);
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!saved) {
        printf("error: cannot save %s\n", argv[0]);
        return 1;
    }
    printf("screenshot: %s %dx%d\n", argv[0], width, height);
    return 0;
}
