// Command dispatch. To add a command, define it in its group's file, declare it
// in driver.h and add a row to the table below.
#include "driver.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const Command commands[] = {
    {"wait-title", "TEXT", waitTitleCommand},
    {"title", "", titleCommand},
    {"buttons", "", buttonsCommand},
    {"press", "back|next|finish|cancel", pressCommand},
    {"check", "ID on|off", checkCommand},
    {"get-check", "ID", getCheckCommand},
    {"page-text", "ID", pageTextCommand},
    {"wait-gone", "", waitGoneCommand},
    {"minimize", "", minimizeCommand},
    {"window-state", "", windowStateCommand},
    {"msgbox", "[ok|cancel|yes|no]", messageBoxCommand},
    {"no-msgbox", "", noMessageBoxCommand},
    {"shortcut", "LINK_FILE", shortcutCommand},
    {"screenshot", "BMP_FILE", screenshotCommand},
    {"click", "ID", clickCommand},
    {"browse-wait", "", browseWaitCommand},
    {"browse-field", "[TEXT]", browseFieldCommand},
    {"browse-select", "PATH", browseSelectCommand},
    {"browse-press", "ok|cancel", browsePressCommand},
    {"finish-timed", "", finishTimedCommand},
    {"press-timed", "TITLE CONTROL_ID", pressTimedCommand},
    {"text-fit", "EXE TEMPLATE_ID", textFitCommand},
    {"watch", "COMMAND_LINE [PATH|HKLM\\KEY...]", watchCommand},
};

int printHelp()
{
    printf("usage: driver [--timeout SECONDS] COMMAND [ARGS]\n");
    for (const Command& command : commands)
        printf("  %s %s\n", command.name, command.usage);
    return 2;
}

} // namespace

int reportUsage(const char* name)
{
    for (const Command& command : commands) {
        if (strcmp(command.name, name) == 0)
            printf("usage: driver %s %s\n", command.name, command.usage);
    }
    return 2;
}

namespace {

int dispatch(int argc, char** argv)
{
    int next = 1;
    if (next + 1 < argc && strcmp(argv[next], "--timeout") == 0) {
        waitLimitMs = static_cast<DWORD>(atoi(argv[next + 1])) * 1000;
        next += 2;
    }
    if (next >= argc)
        return printHelp();
    for (const Command& command : commands) {
        if (strcmp(command.name, argv[next]) == 0)
            return command.run(argc - next - 1, argv + next + 1);
    }
    printf("unknown command: %s\n", argv[next]);
    return printHelp();
}

} // namespace

// The arguments come as UTF-16 and reach the commands in UTF-8 (see text.cpp).
int wmain(int argc, wchar_t** wideArgv)
{
    // Lines reach a script's file at once, even when the driver is killed.
    setvbuf(stdout, nullptr, _IONBF, 0);
    std::vector<std::string> arguments(argc);
    std::vector<char*> argv(argc + 1, nullptr);
    for (int i = 0; i < argc; i++) {
        char utf8[textCapacity * 3];
        if (!narrowToUtf8(wideArgv[i], utf8, sizeof utf8)) {
            printf("error: argument %d is too long\n", i);
            return 2;
        }
        arguments[i] = utf8;
        argv[i] = &arguments[i][0];
    }
    return dispatch(argc, argv.data());
}
