// Catches the message boxes that code under test shows on this thread: each
// one is read (caption, text, owner, icon) and answered with OK as soon as it
// is activated, so no test ever waits on a modal box.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct CaughtMessage {
    std::string caption;
    std::string text;
    HWND owner;
    bool errorIcon;   // the box shows the system's error icon
};

// Starts catching on the calling thread; any earlier catch is discarded.
void startCatchingMessages();

// Stops catching and returns the boxes seen since the start, in order.
std::vector<CaughtMessage> stopCatchingMessages();
