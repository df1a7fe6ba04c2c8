// The answers every wizard page gives the frame's notifications.
#pragma once

#include <windows.h>

// Posts the page's wizard buttons on activation, never refuses to be left or
// shown, closes quietly on Cancel, and lets Next through on every page but the
// last. Returns whether the notification was handled; the message result stays 0.
INT_PTR answerPageNotify(HWND page, UINT code, DWORD buttons, bool lastPage);
