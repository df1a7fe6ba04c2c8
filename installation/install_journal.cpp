// The journal: the install record as a binary value of the uninstall key.
//
// A journal is read back only when it is exactly a record of this format
// whose every text is terminated within its field, whose names are plain file
// names and whose counts are in range, so that no damaged value can send the
// rollback outside what a run could have made. What it names is checked
// against the book's install before it is acted on (interrupted_install.cpp).
//
// The journal carries its layout's version. The records of the three
// earlier layouts are read too: a run of an earlier release that was killed
// is settled like any other. They kept one uninstall key value fewer, and
// the first two had no version, the first no writer's identity either. Any
// other layout of the journal's own mark is a later release's, which this
// release cannot read: it is left alone, unless a user has it forgotten.
#include "install_record.h"

#include <stddef.h>
#include <string.h>

#include "install_log.h"
#include "product.h"

namespace {

constexpr WCHAR journalValue[] = L"InstallJournal";
constexpr uint32_t journalMagic = 0x4A4C4F54;   // "TOLJ"
constexpr uint32_t journalVersion = 4;          // the first two layouts had none
constexpr int folderCountLimit = pathCapacity / 2;   // a chain of one-letter folders

struct StoredJournal {
    uint32_t magic;
    uint32_t size;      // of the whole value: a record of another layout is refused
    uint32_t version;
    InstallRecord record;
};

// The earlier layouts: a record with one value slot fewer before the
// writer's identity; behind magic and size, whole or without the identity
// at its end, or behind magic, size and version 3.
constexpr DWORD identitySize = 3 * sizeof(uint32_t);
constexpr DWORD identityAt = offsetof(InstallRecord, writerProcessId);
static_assert(identityAt + identitySize == sizeof(InstallRecord), "the identity ends the record");
constexpr DWORD earlierRecordSize = sizeof(InstallRecord) - sizeof(SavedValue);
constexpr DWORD unversionedHeader = 2 * sizeof(uint32_t);
constexpr DWORD firstLayoutSize = unversionedHeader + earlierRecordSize - identitySize;
constexpr DWORD secondLayoutSize = unversionedHeader + earlierRecordSize;
constexpr DWORD thirdLayoutSize = offsetof(StoredJournal, record) + earlierRecordSize;
constexpr uint32_t thirdLayoutVersion = 3;

// The record and the journal's own fields: no file block, but more than a
// stack frame may hold.
StoredJournal stored;

bool isTerminated(const WCHAR* text, int capacity)
{
    for (int i = 0; i < capacity; i++)
        if (text[i] == L'\0')
            return true;
    return false;
}

bool isNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
}

// count packed names of letters, digits, '_', '-' and '.', not all dots, then
// the empty name, all within the field.
bool namesAreWellFormed(const char* names, int count)
{
    int at = 0;
    for (int i = 0; i < count; i++) {
        bool onlyDots = true;
        const int start = at;
        for (; at < recordNameCapacity && names[at] != '\0'; at++) {
            if (!isNameCharacter(names[at]))
                return false;
            onlyDots = onlyDots && names[at] == '.';
        }
        if (at >= recordNameCapacity - 1 || at == start || onlyDots)
            return false;
        at++;
    }
    return names[at] == '\0';
}

bool isWellFormed(const InstallRecord& record)
{
    if (record.nameCount < 0 || record.nameCount > recordNameLimit ||
        record.pagesFoldersCreated < 0 || record.pagesFoldersCreated > folderCountLimit ||
        record.iconFoldersCreated < 0 || record.iconFoldersCreated > folderCountLimit ||
        !isTerminated(record.pagesFolder, pathCapacity) || !isTerminated(record.iconFolder, pathCapacity) ||
        !isTerminated(record.linkPath, pathCapacity) ||
        !namesAreWellFormed(record.names, record.nameCount))
        return false;
    const int folderLength = lstrlenW(record.pagesFolder);
    if (folderLength < 3 || record.pagesFolder[folderLength - 1] != L'\\')
        return false;
    for (const SavedValue& value : record.values)
        if (!isTerminated(value.name, valueNameCapacity) || value.size > valueDataCapacity)
            return false;
    return true;
}

bool openKey(REGSAM access, HKEY& key)
{
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, access, &key) == ERROR_SUCCESS;
}

} // namespace

bool writeJournal(const InstallRecord& record)
{
    HKEY key;
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, const_cast<char*>(uninstallKeyClass), 0,
                        KEY_SET_VALUE, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return false;
    stored.magic = journalMagic;
    stored.size = sizeof stored;
    stored.version = journalVersion;
    stored.record = record;
    FILETIME started, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &started, &exited, &kernel, &user);
    stored.record.writerProcessId = GetCurrentProcessId();
    stored.record.writerStartLow = started.dwLowDateTime;
    stored.record.writerStartHigh = started.dwHighDateTime;
    // On disk before the change it guards is made.
    LONG status = RegSetValueExW(key, journalValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&stored),
                                 sizeof stored);
    if (status == ERROR_SUCCESS)
        status = RegFlushKey(key);
    RegCloseKey(key);
    SetLastError(DWORD(status));
    logOutcome(record.committed ? "journal committed" : "journal written", journalValue, status == ERROR_SUCCESS);
    return status == ERROR_SUCCESS;
}

JournalRead readJournal(InstallRecord& record)
{
    HKEY key;
    if (!openKey(KEY_QUERY_VALUE, key))
        return JournalRead::none;
    DWORD type = 0;
    DWORD size = sizeof stored;
    memset(&stored, 0, sizeof stored);
    const LONG status =
        RegQueryValueExW(key, journalValue, nullptr, &type, reinterpret_cast<BYTE*>(&stored), &size);
    RegCloseKey(key);
    if (status == ERROR_FILE_NOT_FOUND)
        return JournalRead::none;
    // Larger than any layout this release writes: a later release's.
    if (status == ERROR_MORE_DATA)
        return JournalRead::newer;
    if (status != ERROR_SUCCESS || type != REG_BINARY || size < unversionedHeader || stored.magic != journalMagic ||
        stored.size != size)
        return JournalRead::damaged;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(&stored);
    if (size == firstLayoutSize || size == secondLayoutSize) {
        // The record begins where the version now stands. What the first
        // layout lacks stays zero: no writer of it runs.
        memmove(&stored.record, bytes + unversionedHeader, size - unversionedHeader);
        memset(bytes + size + sizeof stored.version, 0, sizeof stored - size - sizeof stored.version);
    } else if (size != sizeof stored || stored.version != journalVersion) {
        if (size != thirdLayoutSize || stored.version != thirdLayoutVersion)
            return JournalRead::newer;
    }
    if (size != sizeof stored) {
        // The identity moves past the value slot the earlier layouts lacked,
        // which stays unused.
        uint8_t* record = reinterpret_cast<uint8_t*>(&stored.record);
        memmove(record + identityAt, record + identityAt - sizeof(SavedValue), identitySize);
        memset(record + identityAt - sizeof(SavedValue), 0, sizeof(SavedValue));
    }
    if (!isWellFormed(stored.record))
        return JournalRead::damaged;
    record = stored.record;
    return JournalRead::read;
}

bool removeJournal()
{
    HKEY key;
    // No key, or no journal in it: nothing to remove, whoever may write there.
    if (!openKey(KEY_QUERY_VALUE, key))
        return true;
    const LONG present = RegQueryValueExW(key, journalValue, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (present == ERROR_FILE_NOT_FOUND)
        return true;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, KEY_SET_VALUE, &key);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteValueW(key, journalValue);
        if (status == ERROR_SUCCESS)
            status = RegFlushKey(key);
        RegCloseKey(key);
    }
    SetLastError(DWORD(status));
    logOutcome("journal removed", journalValue, status == ERROR_SUCCESS);
    return status == ERROR_SUCCESS;
}
