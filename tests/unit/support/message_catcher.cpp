// A thread-local CBT hook: HCBT_ACTIVATE fires once the box's controls hold
// their texts and before its modal loop runs, so a posted OK closes it at once.
#include "message_catcher.h"

namespace {

constexpr char dialogClass[] = "#32770";
constexpr int messageTextId = 0xFFFF;   // the static that holds a message box's text
constexpr int textCapacity = 1024;

HHOOK hook;
std::vector<CaughtMessage> caught;
std::vector<HWND> answered;

std::string windowText(HWND window)
{
    char text[textCapacity] = "";
    if (window)
        GetWindowTextA(window, text, textCapacity);
    return text;
}

BOOL CALLBACK findErrorIcon(HWND child, LPARAM found)
{
    HICON errorIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_ERROR));
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_ICON &&
        reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0)) == errorIcon) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

void catchBox(HWND box)
{
    for (HWND seen : answered)
        if (seen == box)
            return;   // activated again while the posted OK is on its way
    answered.push_back(box);

    CaughtMessage message;
    message.caption = windowText(box);
    message.text = windowText(GetDlgItem(box, messageTextId));
    message.owner = GetWindow(box, GW_OWNER);
    message.errorIcon = false;
    EnumChildWindows(box, findErrorIcon, reinterpret_cast<LPARAM>(&message.errorIcon));
    caught.push_back(message);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

LRESULT CALLBACK cbtHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char className[sizeof dialogClass + 1] = "";
        GetClassNameA(window, className, sizeof className);
        if (lstrcmpA(className, dialogClass) == 0)
            catchBox(window);
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}

} // namespace

void startCatchingMessages()
{
    stopCatchingMessages();
    hook = SetWindowsHookExA(WH_CBT, cbtHook, nullptr, GetCurrentThreadId());
}

std::vector<CaughtMessage> stopCatchingMessages()
{
    if (hook)
        UnhookWindowsHookEx(hook);
    hook = nullptr;
    answered.clear();
    std::vector<CaughtMessage> result;
    result.swap(caught);
    return result;
}
