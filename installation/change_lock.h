// The one lock under which every change of the book is made: an install, from
// before it sets anything aside to after its journal is gone; a removal, from
// before its first removal to after the key is deleted; and the settle of an
// interrupted install, by either program. Runs that change the book never
// overlap: one takes the lock, the other changes nothing and says so.
//
// It is a mutex of the machine's global namespace that only the
// administrators (the system among them) may open, and it goes with its
// holder's process, so a killed run never leaves it behind. A name that
// someone else made first (any user may make an object of any name there)
// is a squatter's: the run logs it and goes on without the lock, with the
// live-journal check alone, as a release before the lock did. The journal
// check stays in any case: an earlier release's runs take no lock.
#pragma once

#include <windows.h>

// Named, as the uninstall key is, after the uninstaller.
constexpr WCHAR changeLockName[] = L"Global\\Kestrun.changes";

enum class ChangeLock {
    taken,     // held by this process until releaseChangeLock or its end
    busy,      // another install or removal holds it: change nothing
    squatted,  // the name is someone else's: go on without the lock
};

// Takes the lock, waiting for it at most wait milliseconds; taken at once
// when this process holds it.
ChangeLock takeChangeLock(DWORD wait = 0);
// Lets the lock go, if this process holds it.
void releaseChangeLock();
