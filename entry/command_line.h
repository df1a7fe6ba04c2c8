// The installer's command line. With no arguments the wizard runs as ever.
// Options are case-insensitive and quoted as for any program:
//   /S             silent: no window and no message box; the result is the exit code
//   /LOG=file      a log of every action
//   /VARIANT=0|1   the "Corvalin specific book" option
//   /ICONS=chain   the icon folder, a chain below the desktop
//   /D=folder      the pages folder; it must come last and takes the rest of
//                  the line, spaces included
//   /FORGET        forget an interrupted install that cannot be settled
//   /?             the usage
// Platform-free, so that the host can test it.
#pragma once

constexpr int optionPathCapacity = 260;    // the path buffers' characters, terminator included
constexpr int optionChainCapacity = 80;    // a folder chain's
constexpr int optionQuoteCapacity = 80;    // the part of a bad argument a message quotes

struct InstallOptions {
    bool silent;
    bool usage;
    bool forget;                              // /FORGET
    int variant;                              // 0 or 1; -1 when not given
    wchar_t pages[optionPathCapacity];        // empty when not given
    wchar_t icons[optionChainCapacity];
    wchar_t log[optionPathCapacity];
    bool pagesGiven;
    bool iconsGiven;
    bool logGiven;
    // The first bad argument, cut to fit, and what is wrong with it.
    wchar_t badArgument[optionQuoteCapacity];
    const char* problem;                      // null when every argument was good
};

extern const char usageText[];

// Fills options from the whole command line (program name first). False when
// an argument is bad; /S is still recognised anywhere, so that the caller
// knows whether it may show the problem.
bool parseInstallOptions(const wchar_t* commandLine, InstallOptions& options);
