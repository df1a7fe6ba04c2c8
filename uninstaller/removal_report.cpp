// The one list of what could not be removed, shown once at the end.
#include "uninstall.h"

static const char reportHeading[] = "These could not be removed:\n\n";
static const char moreFormat[] = "and %d more.\n";

void noteFailure(RemovalReport& report, const char* what)
{
    int length = lstrlenA(what);
    // The line and its '\n' must leave room for the terminating NUL.
    if (report.unlisted > 0 || report.length + length + 2 > reportCapacity) {
        ++report.unlisted;
        return;
    }
    lstrcpyA(report.text + report.length, what);
    report.length += length;
    report.text[report.length++] = '\n';
    report.text[report.length] = '\0';
}

bool hasFailures(const RemovalReport& report)
{
    return report.length > 0 || report.unlisted > 0;
}

// Copies as much of text as fits behind out[used]; returns the new used count.
static int appendClipped(char* out, int capacity, int used, const char* text)
{
    while (*text && used + 1 < capacity)
        out[used++] = *text++;
    out[used] = '\0';
    return used;
}

void composeReportText(const RemovalReport& report, char* out, int capacity)
{
    if (capacity <= 0)
        return;
    out[0] = '\0';
    int used = appendClipped(out, capacity, 0, reportHeading);
    used = appendClipped(out, capacity, used, report.text);
    if (report.unlisted > 0) {
        char more[40];
        wsprintfA(more, moreFormat, report.unlisted);
        appendClipped(out, capacity, used, more);
    }
}
