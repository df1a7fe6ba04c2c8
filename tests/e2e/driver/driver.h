// The wizard driver: operates the installer's windows from another process the
// way a user would, and prints what it sees as "key: value" lines.
#pragma once

#include <windows.h>

// A command gets its own arguments in UTF-8 (argv[0] is the first argument
// after the command name) and returns the process exit code: 0 done, 1 failed
// or timed out, 2 bad usage.
using CommandFunction = int (*)(int argc, char** argv);

struct Command {
    const char* name;
    const char* usage;     // arguments, for the help text
    CommandFunction run;
};

// How long commands that wait give up after; set by --timeout.
extern DWORD waitLimitMs;

// Polls test until it returns a window or waitLimitMs passes.
HWND waitForWindow(HWND (*test)(const void* context), const void* context);

// The visible wizard frame: a top-level dialog with the wizard's Next button.
HWND findWizard();
// The first visible top-level message box: a dialog with a text control 0xFFFF.
HWND findMessageBox();

// Characters of a text that a command reads from a window or an argument: room
// for the longest message, the uninstaller's list of what it could not remove.
constexpr int textCapacity = 4096;

// UTF-8 to UTF-16 into out (capacity characters, terminator included); false
// when the text is not UTF-8 or does not fit.
bool widen(const char* utf8, WCHAR* out, int capacity);
// UTF-16 to UTF-8 into out (capacity bytes); false when it does not fit.
bool narrowToUtf8(const WCHAR* text, char* out, int capacity);
// Prints "label: text" in UTF-8.
void printText(const char* label, const WCHAR* text);
// Prints a window's title as "label: title".
void printTitle(const char* label, HWND window);

int reportTimeout(const char* what);
int reportUsage(const char* command);

// The commands, each defined in the file of its group.
int waitTitleCommand(int argc, char** argv);
int titleCommand(int argc, char** argv);
int buttonsCommand(int argc, char** argv);
int pressCommand(int argc, char** argv);
int checkCommand(int argc, char** argv);
int getCheckCommand(int argc, char** argv);
int waitGoneCommand(int argc, char** argv);
int minimizeCommand(int argc, char** argv);
int windowStateCommand(int argc, char** argv);
int pageTextCommand(int argc, char** argv);
int messageBoxCommand(int argc, char** argv);
int noMessageBoxCommand(int argc, char** argv);
int shortcutCommand(int argc, char** argv);
int screenshotCommand(int argc, char** argv);
int clickCommand(int argc, char** argv);
int browseWaitCommand(int argc, char** argv);
int browseFieldCommand(int argc, char** argv);
int browseSelectCommand(int argc, char** argv);
int browsePressCommand(int argc, char** argv);
int finishTimedCommand(int argc, char** argv);
int pressTimedCommand(int argc, char** argv);
int textFitCommand(int argc, char** argv);
int watchCommand(int argc, char** argv);
