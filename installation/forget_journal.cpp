// A journal that a run could not settle: the run says why and does nothing
// else, since a new run's journal, or the removal of the key, would lose it.
// Whatever keeps it (a drive that is gone for good, a file some program
// holds, a record this release refuses or cannot read) could keep it for
// ever, so the user may have it forgotten. Nothing forgets a journal unasked,
// nor one whose writer still runs.
#include "install_record.h"

#include "install_log.h"
#include "path_text.h"
#include "product.h"

void appendBlockReason(WCHAR* text, int capacity)
{
    static const char* const reasons[] = {unreachableText, inUseText, linkedText, unchangeableText};
    appendAscii(text, capacity, reasons[int(settleBlockReason())]);
}

bool answerUnsettled(Settling settling, const WCHAR* caption, bool silent, bool forget)
{
    static WCHAR text[pathCapacity + 600];
    constexpr int capacity = sizeof text / sizeof *text;
    static_assert(sizeof settleBlockedFormat + sizeof linkedText + sizeof settleBlockedEnd + sizeof forgetQuestion +
                              pathCapacity <=
                          capacity &&
                      sizeof laterReleaseText + sizeof forgetQuestion <= capacity,
                  "every message, with a path and the question, fits");
    // A refused record is named by what refused it, where a folder did.
    const bool blocked = settling == Settling::unfinished || (settling == Settling::refused && *settleBlocker());
    composePathMessage(text, capacity,
                       settling == Settling::running   ? installRunningText
                       : settling == Settling::newer   ? laterReleaseText
                       : blocked                       ? settleBlockedFormat
                                                       : journalRefusedText,
                       settleBlocker());
    if (blocked) {
        appendBlockReason(text, capacity);
        appendAscii(text, capacity, settleBlockedEnd);
    }
    logAction("message", text, "");
    UINT style = MB_OK | MB_ICONERROR | MB_SETFOREGROUND;
    if (settling != Settling::running) {
        if (forget)
            return forgetInterruptedInstall(settling);
        appendAscii(text, capacity, forgetQuestion);
        // No is the default: a stray Enter forgets nothing.
        style = MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2 | MB_SETFOREGROUND;
    }
    return !silent && MessageBoxW(nullptr, text, caption, style) == IDYES && forgetInterruptedInstall(settling);
}
