// A journal that a run could not settle: the run says why and does nothing
// else, since a new run's journal, or the removal of the key, would lose it.
// A journal whose folder cannot be reached (a drive that is gone for good)
// or that is refused would stay for ever, so the user may have it
// forgotten: its record goes, and whatever its run left stays as it is.
// Nothing forgets a journal unasked, nor one whose writer still runs.
#include "install_record.h"

#include "install_log.h"
#include "path_text.h"
#include "product.h"

bool answerUnsettled(Settling settling, const WCHAR* caption, bool silent, bool forget)
{
    static WCHAR text[pathCapacity + 400];
    constexpr int capacity = sizeof text / sizeof *text;
    static_assert(sizeof settleBlockedFormat + sizeof settleUnreachableEnd + sizeof forgetQuestion + pathCapacity <=
                          capacity &&
                      sizeof journalRefusedText + sizeof forgetQuestion <= capacity,
                  "every message, with a path and the question, fits");
    const bool forgettable = settling == Settling::refused || settling == Settling::unreachable;
    composePathMessage(text, capacity,
                       settling == Settling::running   ? installRunningText
                       : settling == Settling::refused ? journalRefusedText
                                                       : settleBlockedFormat,
                       settleBlocker());
    if (settling == Settling::unfinished || settling == Settling::unreachable)
        appendAscii(text, capacity, settling == Settling::unreachable ? settleUnreachableEnd : settleBlockedEnd);
    logAction("message", text, "");
    UINT style = MB_OK | MB_ICONERROR | MB_SETFOREGROUND;
    if (forgettable) {
        if (forget)
            return forgetInterruptedInstall();
        appendAscii(text, capacity, forgetQuestion);
        // No is the default: a stray Enter forgets nothing.
        style = MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2 | MB_SETFOREGROUND;
    }
    return !silent && MessageBoxW(nullptr, text, caption, style) == IDYES &&
           forgetInterruptedInstall();
}
