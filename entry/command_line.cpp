// Reading the installer's options (command_line.h). Each value is checked for
// what the text alone can tell: present, within its buffer, one of its
// allowed values. What needs the disk (a folder name taken by a file) is
// checked where the destinations are composed, as the wizard does.
#include "command_line.h"

#include "arguments.h"

const char usageText[] =
    "TolmSetup.exe [/S] [/LOG=file] [/VARIANT=0|1] [/ICONS=chain] [/FORGET] [/D=folder]\n\n"
    "/S\tSilent: no wizard and no message box.\n"
    "/LOG=file\tWrite every action to file.\n"
    "/VARIANT=1\tThe Corvalin specific book (the default); 0: the plain book.\n"
    "/ICONS=chain\tThe folder below the desktop that receives the book's icon.\n"
    "/D=folder\tThe folder that receives the pages. It must come last; spaces need no quotes.\n"
    "/FORGET\tForget an unsettled interrupted install.\n"
    "/?\tThis text.\n\n"
    "Exit codes: 0 installed, 1602 cancelled, 1603 failed and rolled back,\n"
    "1618 another install is running, 87 bad command line.";

namespace {

constexpr char unknownProblem[] = "unknown option";
constexpr char emptyProblem[] = "needs a value";
constexpr char tooLongProblem[] = "is longer than its buffer";
constexpr char chainTooLongProblem[] = "is longer than 79 characters";
constexpr char variantProblem[] = "must be 0 or 1";
constexpr char twiceProblem[] = "is given twice";

int textLength(const wchar_t* text)
{
    int length = 0;
    while (text[length])
        ++length;
    return length;
}

void copyText(wchar_t* out, int capacity, const wchar_t* text, int length)
{
    if (length > capacity - 1)
        length = capacity - 1;
    for (int i = 0; i < length; i++)
        out[i] = text[i];
    out[length] = L'\0';
}

// Records the first problem only: it is the one the message names.
void reject(InstallOptions& options, const wchar_t* argument, const char* problem)
{
    if (options.problem)
        return;
    copyText(options.badArgument, optionQuoteCapacity, argument, textLength(argument));
    options.problem = problem;
}

// The value of a "/NAME=value" argument into out; false (and the problem
// recorded) when it is empty, too long, or given before.
bool takeValue(InstallOptions& options, const wchar_t* argument, const wchar_t* value, bool tooLong, bool& given,
               wchar_t* out, int capacity, const char* tooLongText)
{
    if (given) {
        reject(options, argument, twiceProblem);
        return false;
    }
    if (*value == L'\0') {
        reject(options, argument, emptyProblem);
        return false;
    }
    if (tooLong || textLength(value) >= capacity) {
        reject(options, argument, tooLongText);
        return false;
    }
    copyText(out, capacity, value, textLength(value));
    given = true;
    return true;
}

// /D= takes the rest of the line as it stands, blanks at its end dropped and
// one pair of quotes around the whole of it removed.
void takePagesFolder(InstallOptions& options, const wchar_t* rest, const wchar_t* argument)
{
    int length = textLength(rest);
    while (length > 0 && (rest[length - 1] == L' ' || rest[length - 1] == L'\t'))
        --length;
    if (length >= 2 && rest[0] == L'"' && rest[length - 1] == L'"') {
        ++rest;
        length -= 2;
    }
    if (length == 0)
        reject(options, argument, emptyProblem);
    else if (length >= optionPathCapacity)
        reject(options, argument, tooLongProblem);
    else {
        copyText(options.pages, optionPathCapacity, rest, length);
        options.pagesGiven = true;
    }
}

} // namespace

bool parseInstallOptions(const wchar_t* commandLine, InstallOptions& options)
{
    options = InstallOptions();
    options.variant = -1;
    // Longer than any value may be, so that an overlong one is seen as such.
    wchar_t argument[optionPathCapacity + 8];
    Argument where;
    for (const wchar_t* cursor = skipProgramName(commandLine);
         (cursor = nextArgument(cursor, argument, optionPathCapacity + 8, where)) != nullptr;) {
        if (startsWithOption(where.start, "/D=")) {
            takePagesFolder(options, where.start + 3, argument);
            break;
        }
        if (startsWithOption(argument, "/D=")) {   // quoted whole: its value is what the quotes held
            takePagesFolder(options, argument + 3, argument);
            break;
        }
        if (isOption(argument, "/S")) {
            options.silent = true;
        } else if (isOption(argument, "/FORGET")) {
            options.forget = true;
        } else if (isOption(argument, "/?")) {
            options.usage = true;
        } else if (startsWithOption(argument, "/LOG=")) {
            takeValue(options, argument, argument + 5, where.tooLong, options.logGiven, options.log,
                      optionPathCapacity, tooLongProblem);
        } else if (startsWithOption(argument, "/ICONS=")) {
            takeValue(options, argument, argument + 7, where.tooLong, options.iconsGiven, options.icons,
                      optionChainCapacity, chainTooLongProblem);
        } else if (startsWithOption(argument, "/VARIANT=")) {
            const wchar_t* value = argument + 9;
            if ((value[0] == L'0' || value[0] == L'1') && value[1] == L'\0' && options.variant < 0)
                options.variant = value[0] - L'0';
            else
                reject(options, argument, options.variant < 0 ? variantProblem : twiceProblem);
        } else {
            reject(options, argument, unknownProblem);
        }
    }
    return options.problem == nullptr;
}
