// What could not be removed, listed once at the end, and what stayed as not
// the book's.
#include "removal.h"

#include "install_log.h"

static const WCHAR reportHeading[] = L"These could not be removed:\n\n";
static const WCHAR moreFormat[] = L"and %d more.\n";

void noteFailure(RemovalReport& report, const WCHAR* what)
{
    if (!hasFailures(report))
        report.firstError = GetLastError();
    logAction("stayed", what, "");
    int length = lstrlenW(what);
    // The line and its '\n' must leave room for the terminating NUL.
    if (report.unlisted > 0 || report.length + length + 2 > reportCapacity) {
        ++report.unlisted;
        return;
    }
    lstrcpyW(report.text + report.length, what);
    report.length += length;
    report.text[report.length++] = L'\n';
    report.text[report.length] = L'\0';
}

void noteFolderStays(RemovalReport& report, const WCHAR* folder)
{
    logAction("stayed", folder, "it holds what is not the book's");
    if (report.stays[0] == L'\0')
        lstrcpynW(report.stays, folder, pathCapacity);
}

bool hasFailures(const RemovalReport& report)
{
    return report.length > 0 || report.unlisted > 0;
}

// Copies as much of text as fits behind out[used]; returns the new used count.
static int appendClipped(WCHAR* out, int capacity, int used, const WCHAR* text)
{
    while (*text && used + 1 < capacity)
        out[used++] = *text++;
    out[used] = L'\0';
    return used;
}

void composeReportText(const RemovalReport& report, WCHAR* out, int capacity)
{
    if (capacity <= 0)
        return;
    out[0] = L'\0';
    int used = appendClipped(out, capacity, 0, reportHeading);
    used = appendClipped(out, capacity, used, report.text);
    if (report.unlisted > 0) {
        WCHAR more[40];
        wsprintfW(more, moreFormat, report.unlisted);
        appendClipped(out, capacity, used, more);
    }
}
