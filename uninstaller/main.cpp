// Kestrun.exe, the uninstaller. Placeholder program until the uninstaller is built:
// it only tells the user that nothing was removed.
#include <windows.h>

#include "product.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    MessageBoxA(nullptr, "The uninstaller is not available in this build.", productName, MB_ICONINFORMATION);
    return 0;
}
