// Splitting a command line into arguments by the usual Windows rules: spaces
// and tabs separate arguments outside double quotes; 2n backslashes before a
// quote give n backslashes and the quote opens or closes a quoted part, 2n+1
// give n and a literal quote; "" inside a quoted part is a literal quote;
// other backslashes are literal. The program name ends at its closing quote
// or the first blank, with no escapes. Platform-free, so that the host can
// test it.
#pragma once

// The position of the first argument after the program name.
const wchar_t* skipProgramName(const wchar_t* line);

// One argument, as read from the line.
struct Argument {
    const wchar_t* start;   // where it begins in the line: some options take the rest of the line
    bool tooLong;           // it did not fit in the caller's buffer, which holds its first part
};

// Reads the argument at cursor into out (capacity characters, terminated) and
// returns the position after it; nullptr when no argument is left.
const wchar_t* nextArgument(const wchar_t* cursor, wchar_t* out, int capacity, Argument& argument);

// True when text begins with option (ASCII), compared without regard to case.
bool startsWithOption(const wchar_t* text, const char* option);
// True when text is option (ASCII) and nothing more, compared likewise.
bool isOption(const wchar_t* text, const char* option);
