// What one install run has set aside and made: the record its rollback reads,
// and which survives the run when it is killed.
//
// An install never overwrites what was there. Before it writes anything in
// the pages folder, it renames every book file that exists there to the same
// name plus "~tolm" (a set-aside name: '~' never occurs in a book's names),
// and it does the same with an existing shortcut before saving its own. It
// keeps the uninstall key's values it is going to replace. On failure the
// rollback deletes what the run wrote and renames the set-aside files back;
// on success they are deleted.
//
// While the run is open, the record is also the journal: the binary value
// "InstallJournal" of the uninstall key, written before the first file is set
// aside and again before the shortcut is, and marked committed once the
// install is complete. The registry replaces a value whole, so each write is
// atomic, and only administrators can write there, as only they can install.
// A later run of the installer, or the uninstaller, settles a journal left by
// a killed run: an open run is rolled back, so the earlier install comes back
// whole; a committed one is completed, so its set-aside files go. The journal
// goes last, once everything it lists is settled, and only once each step
// is known to have succeeded: a folder or drive that cannot be reached keeps
// the journal for the next start. Before a journal write is relied on it is
// flushed to disk, and so are the pages before the run is marked committed.
//
// The layout uses fixed-size fields only, the same for 32- and 64-bit builds.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "path_text.h"

// Appended to a file's name to set it aside.
#define TOLM_SET_ASIDE_SUFFIX "~tolm"
constexpr char setAsideSuffix[] = TOLM_SET_ASIDE_SUFFIX;

constexpr int recordNameCapacity = 2048;   // packed book file names, ASCII, final empty name included
constexpr int recordNameLimit = 256;       // book file names at most (bits of `existed`)
constexpr int savedValueCount = 11;        // uninstall key values a run may replace
constexpr int valueNameCapacity = 32;      // characters of a value's name
constexpr int valueDataCapacity = 544;     // bytes of a value's data: a quoted path and a switch fit

// One uninstall key value as it was before the run.
struct SavedValue {
    WCHAR name[valueNameCapacity];   // empty: unused slot
    uint32_t existed;                // 0: the value was absent, and the rollback deletes it
    uint32_t type;
    uint32_t size;                   // bytes of data
    uint8_t data[valueDataCapacity];
};

struct InstallRecord {
    uint32_t committed;              // nonzero once every file, link and value of the run is in place
    uint32_t keyExisted;             // the uninstall key existed before the run
    uint32_t linkExisted;            // a file of the shortcut's name was set aside at linkPath
    uint32_t writing;                // every existing book file is set aside: the run may write book files
    int32_t pagesFoldersCreated;     // deepest folders of pagesFolder this run created
    int32_t iconFoldersCreated;      // deepest folders of iconFolder this run created
    int32_t nameCount;               // entries of `names`
    WCHAR pagesFolder[pathCapacity]; // the pages folder, ending in a backslash
    WCHAR iconFolder[pathCapacity];  // the folder that receives the shortcut, ending in a backslash;
                                     // empty until the icon chain has run
    WCHAR linkPath[pathCapacity];    // the shortcut this run saves or saved; empty before that
    uint8_t existed[recordNameLimit / 8];   // bit i: book file i existed and is set aside
    char names[recordNameCapacity];  // the book's file names in the pages folder, each once, packed
    SavedValue values[savedValueCount];
    // The process that wrote the journal last. While it runs, its run goes on,
    // and no other process may settle the journal; a later process with the
    // same id has another start time. Zero in a journal of the earlier layout.
    uint32_t writerProcessId;
    uint32_t writerStartLow;         // the writer's start, a FILETIME
    uint32_t writerStartHigh;
};

// The name plus the set-aside suffix, in a buffer of pathCapacity characters;
// false when it would not fit.
bool setAsideName(WCHAR* out, const WCHAR* path);

// ---- a killed run (interrupted_install.cpp) ----
// Every value after settled keeps a journal; every one but running may be
// forgotten when a user asks.
enum class Settling {
    nothing,    // no journal
    settled,    // rolled back, or completed, as far as it could be
    running,    // its run goes on in another process: it writes the journal, or holds the change lock
    newer,      // the journal is of a later release's layout, which this release cannot read: left alone
    refused,    // damaged, or it names anything but this book's install: left alone
    unfinished, // something could not be settled now: the journal stays, and
                // settleBlocker() names what blocked it and why
};

// Why a file, folder or key kept a settle, rollback or completion from finishing.
enum class BlockReason {
    unreachable,   // it or its folder cannot be reached: a drive that is away, perhaps for good
    inUse,         // another program holds it open
    linked,        // it is reached through a link, or is not the folder its path names
    unchangeable,  // it may not be changed, or its change failed
};

// Takes the change lock (change_lock.h), which the caller then holds, and
// settles what a killed run left, as its journal tells: rolls an open run
// back, completes a committed one. Another install or removal that holds the
// lock is a run that goes on. A journal is acted on only when its
// writer no longer runs, when it names exactly the book's files, in the
// folder of the uninstaller the key names (or, before the run registered,
// the folder of its own run) with the shortcut's own name in its icon
// folder, and when both folders are held without a link on the way. A folder
// that is gone (the folder above it is there without it) holds nothing to
// settle; one that cannot be reached leaves the journal as it is.
Settling settleInterruptedInstall();
// The file, folder or key that kept the last settle, rollback or completion
// from finishing: empty when none did. Only the first one noted is kept,
// with why.
const WCHAR* settleBlocker();
BlockReason settleBlockReason();
void noteSettleBlocker(const WCHAR* path, BlockReason reason);
void clearSettleBlocker();
// True when a journal's writer is a process other than this one that still runs.
bool installIsRunning();
// True when there is a journal, of whatever kind.
bool journalIsPresent();

// ---- a journal that stays (forget_journal.cpp) ----
// Says why the journal that settleInterruptedInstall left stays: in the log,
// and unless silent in a box without owner under caption. Any journal but
// one whose run goes on may be forgotten: with forget (/FORGET) it is at
// once, silent without it the message says how, and otherwise the box asks
// (No is its default). True when the run may go on: the journal is forgotten.
bool answerUnsettled(Settling settling, const WCHAR* caption, bool silent, bool forget);
// Appends why settleBlocker() blocks, a sentence, to text (capacity characters).
void appendBlockReason(WCHAR* text, int capacity);
// Forgets the journal that settleInterruptedInstall left as settling says,
// unless its writer still runs (this process does not count). A journal of
// this book's install is settled first as far as its folders can be reached:
// what it set aside there is put back or removed as it says, and the log
// names each thing left; a refused one or a later release's is only removed.
// True when it is gone.
bool forgetInterruptedInstall(Settling settling);
// True when what blocks now is the folder a forgotten journal could not
// reach, or lies in it: a run that forgot may let go of it too.
bool blockerWasForgotten();

// Rolls back everything the record lists: deletes the shortcut it saved and
// restores the one set aside, removes the icon folders it created, deletes the
// book files it wrote (only once it was writing: before that every file there
// is one that was there) and restores the ones set aside, restores the key's
// values (deleting the key it created) and the journal with them, and removes
// the pages folders it created. The journal stays when something could not be
// restored, so that a later run tries again. A step succeeds only when its
// result is known: a file that could not be reached is a failure.
// The pages folder is held (safe_folder.h) while files are settled in it, and
// released before the folders the run created are removed.
// True when everything was restored and the journal is gone.
bool undoInstall(InstallRecord& record, HANDLE& pagesFolder);

// Completes a committed install: deletes its set-aside files, removes the
// earlier install it replaced (the one its saved "UninstallString" named, in
// another folder, or in the same folder its shortcut in another icon folder)
// when the key names this one's uninstaller, then deletes the journal. The
// pages folder is held by the caller. True when all of it is done and the
// journal gone; otherwise the journal stays. Only a book file, a folder or
// key that cannot be reached or changed counts: what is not the book's is
// left, and logged.
bool completeInstall(const InstallRecord& record, HANDLE pagesFolder);
// While set, a rollback or completion goes as far as it can and then removes
// the journal: what it could not settle stays, and the log names it.
void settleAsFarAsReachable(bool forgetting);

// ---- on disk (disk_flush.cpp) ----
// Finds out, before the run writes, whether the volume of pagesFolder can be
// flushed whole; where it cannot, each written file is flushed as it is
// closed, by a worker thread while the run goes on.
void prepareFlushes(const WCHAR* pagesFolder);
// Closes a book file the run has written whole, once it is flushed (or hands
// it to the worker to do both). False when its flush failed here.
bool closeWrittenFile(HANDLE file);
// Waits until every handed file is flushed and closed: before the files are
// touched again, by the commit or by a rollback. False when a flush failed.
bool finishFileFlushes();
// Before the run is marked committed: every book file of the record present
// in its pages folder, the shortcut and the folders' entries are on disk.
// One flush of the pages volume where prepareFlushes found it can be flushed
// whole, otherwise of the pages folder, the files having been flushed as they
// were closed; and in either case of the shortcut and its folder, which can
// lie on another volume. True when every flush succeeded.
bool flushBookFiles(const InstallRecord& record);
// Before a journal is removed: the renames and deletions in the record's
// folders are on disk.
bool flushFolderEntries(const InstallRecord& record);

// ---- journal (install_journal.cpp) ----
// Writes the record as the journal, with this process as its writer, and
// flushes the key to disk. False when the key cannot be written or flushed:
// the run must then stop, and roll back.
bool writeJournal(const InstallRecord& record);
enum class JournalRead {
    none,      // no journal
    read,      // a well-formed record, now in record
    damaged,   // not a well-formed record of this layout or an earlier one
    newer,     // a record of a layout this release does not know: a later release's, whose
               // writer cannot be told, and may run
};
JournalRead readJournal(InstallRecord& record);
// Deletes the journal; true when it is gone.
bool removeJournal();

// ---- setting aside (set_aside.cpp) ----
// Fills in the record's book file names: the uninstaller's, every main page's
// and every extra file's, each once. False when they do not fit the record.
bool recordBookNames(InstallRecord& record);
// Marks each book file that exists in the pages folder (held by the
// caller), then writes the journal, then renames each marked file to its
// set-aside name; once all are, marks the record as writing and writes the
// journal again. False at the first rename that fails, and before any when
// one of the files is read-only, not the file its path names or its
// set-aside name is taken, or when a journal write fails; the record then
// says what has to be undone.
bool setAsideBookFiles(InstallRecord& record, HANDLE pagesFolder);
// The handle through which this run set aside book file index of its
// record, out of the run's keeping: the caller deletes the file through it
// and closes it. Null when the run holds none (as a later run that settles
// a journal does). A file deleted through its handle needs no second check.
HANDLE takeSetAsideFile(int index);
// Closes every such handle the run still keeps: before a rollback, which
// goes by path, and at the run's end.
void releaseSetAsideFiles();
// Records linkPath as the run's shortcut and whether a file of that name
// exists in the icon folder (held by the caller), writes the journal, then
// sets that file aside. False when an existing file is read-only, has no
// room for its set-aside name, finds that name taken or cannot be moved, or
// when the journal cannot be written.
bool setAsideLink(InstallRecord& record, const WCHAR* linkPath, HANDLE iconFolder);

// ---- the uninstall key's values (saved_values.cpp) ----
// Records whether the key exists and the current values of the count names
// (ASCII, as the program spells them). False when a value cannot be kept: its
// name or data is larger than its slot, or there are more names than slots.
bool saveUninstallValues(InstallRecord& record, const char* const* names, int count);
// Puts every saved value back, deleting those that were absent. True when all
// of it succeeded. Deleting a key the run created is the caller's last step.
bool restoreUninstallValues(const InstallRecord& record);
// True when the record saved the value name and the key holds it now exactly
// as saved: as absent, or with the same type and bytes.
bool valueIsAsSaved(const InstallRecord& record, const WCHAR* name);
// The uninstaller that the saved "UninstallString" named, unquoted, into a
// buffer of pathCapacity characters: the install this run replaces. False
// when the key named none.
bool savedUninstaller(const InstallRecord& record, WCHAR* exePath);
// The saved value of that name (ASCII), when the key held it before the run.
const SavedValue* savedValue(const InstallRecord& record, const char* name);
