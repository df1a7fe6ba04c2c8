#include "install_fixture.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string.h>

#include "page_manifest.h"
#include "product.h"
#include "settings.h"

namespace {

constexpr char testFolderBase[] = "C:\\tolm-unit\\";

std::vector<std::string> packedNames(const char* names)
{
    std::vector<std::string> list;
    for (const char* name = names; *name; name += strlen(name) + 1)
        list.push_back(name);
    return list;
}

} // namespace

std::wstring wideText(const std::string& utf8)
{
    std::wstring wide(utf8.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], int(wide.size()));
    wide.resize(length);
    return wide;
}

std::string utf8Text(const std::wstring& wide)
{
    std::string utf8(wide.size() * 3 + 1, '\0');
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &utf8[0], int(utf8.size()), nullptr, nullptr);
    utf8.resize(length);
    return utf8;
}

std::string bufferText(const WCHAR* buffer, int capacity)
{
    int length = 0;
    while (length < capacity && buffer[length])
        length++;
    return utf8Text(std::wstring(buffer, length));
}

void copyPath(WCHAR* buffer, int capacity, const std::string& utf8)
{
    const std::wstring wide = wideText(utf8);
    const size_t length = wide.size() < size_t(capacity) ? wide.size() : size_t(capacity - 1);
    memcpy(buffer, wide.data(), length * sizeof(WCHAR));
    buffer[length] = L'\0';
}

std::string freshTestFolder(const char* testName)
{
    CreateDirectoryW(wideText(testFolderBase).c_str(), nullptr);
    std::string folder = std::string(testFolderBase) + testName;
    removeTree(folder);
    makeFolder(folder);
    return folder;
}

void removeTree(const std::string& path)
{
    const std::wstring widePath = wideText(path);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((widePath + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = widePath + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(utf8Text(child));
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(widePath.c_str());
    // A test may have left a plain file where a folder belongs.
    SetFileAttributesW(widePath.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(widePath.c_str());
}

bool folderExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(wideText(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool fileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(wideText(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void makeFolder(const std::string& path)
{
    CreateDirectoryW(wideText(path).c_str(), nullptr);
}

void writeFile(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(wideText(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::optional<std::string> readFile(const std::string& path)
{
    HANDLE file =
        CreateFileW(wideText(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    const BOOL ok = bytes.empty() || ReadFile(file, &bytes[0], DWORD(bytes.size()), &read, nullptr);
    CloseHandle(file);
    if (!ok || read != bytes.size())
        return std::nullopt;
    return bytes;
}

std::set<std::string> listFiles(const std::string& folder)
{
    std::set<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wideText(folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.insert(utf8Text(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

std::string bookPage(const std::string& mainName)
{
    return readFile(TOLM_TEST_BOOK_DIR "/" + mainName + ".htm").value_or("<missing book page>");
}

std::string bookExtraFile(const std::string& extraName)
{
    return readFile(TOLM_TEST_BOOK_DIR "/extra/" + extraName).value_or("<missing book file>");
}

std::vector<std::string> mainNames()
{
    return packedNames(mainPageNames);
}

std::vector<std::string> extraNames()
{
    return packedNames(extraFileNames);
}

void deleteUninstallKey()
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstallKeyPath);
}

bool uninstallKeyExists()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::optional<std::string> readUninstallValue(const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    WCHAR data[1024];
    DWORD size = sizeof data - sizeof *data;
    DWORD type = 0;
    const LONG status =
        RegQueryValueExW(key, wideText(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    data[size / sizeof *data] = L'\0';
    return utf8Text(data);
}

KeyValues readUninstallValues()
{
    KeyValues values;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; index++) {
        WCHAR name[256];
        DWORD nameLength = 256;
        DWORD type = 0;
        std::string data(16384, '\0');
        DWORD size = DWORD(data.size());
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) !=
            ERROR_SUCCESS)
            break;
        data.resize(size);
        values[utf8Text(std::wstring(name, nameLength))] = {type, data};
    }
    RegCloseKey(key);
    return values;
}

std::pair<DWORD, std::string> textValue(const std::string& utf8)
{
    const std::wstring wide = wideText(utf8);
    return {REG_SZ, std::string(reinterpret_cast<const char*>(wide.c_str()), (wide.size() + 1) * sizeof(WCHAR))};
}

void writeUninstallValues(const KeyValues& values)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    for (const auto& value : values)
        RegSetValueExW(key, wideText(value.first).c_str(), 0, value.second.first,
                       reinterpret_cast<const BYTE*>(value.second.second.data()), DWORD(value.second.second.size()));
    RegCloseKey(key);
}

std::map<std::string, std::string> filesBelow(const std::string& folder)
{
    std::map<std::string, std::string> files;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wideText(folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do {
        const std::string name = utf8Text(found.cFileName);
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            files[name + "\\"] = "";
            for (const auto& below : filesBelow(folder + "\\" + name))
                files[name + "\\" + below.first] = below.second;
        } else {
            files[name] = readFile(folder + "\\" + name).value_or("<unreadable>");
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return files;
}

std::optional<ShortcutInfo> readShortcut(const std::string& linkPath)
{
    if (FAILED(CoInitialize(nullptr)))
        return std::nullopt;
    std::optional<ShortcutInfo> info;
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wideText(linkPath).c_str(), STGM_READ))) {
        // The link's target is its item ID list. The path beside it is only a
        // fallback, and Wine stores that one in the ANSI code page alone.
        WCHAR target[MAX_PATH] = L"";
        WCHAR description[MAX_PATH] = L"";
        LPITEMIDLIST item = nullptr;
        if (SUCCEEDED(link->GetIDList(&item)) && item) {
            if (!SHGetPathFromIDListW(item, target))
                target[0] = L'\0';
            CoTaskMemFree(item);
        }
        if (target[0] && SUCCEEDED(link->GetDescription(description, MAX_PATH)))
            info = ShortcutInfo{utf8Text(target), utf8Text(description)};
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    CoUninitialize();
    return info;
}

void setDestinations(const std::string& pagesParent, const char* pagesChain,
                     const std::string& iconParent, const char* iconChain)
{
    DestinationPath& pages = installSettings.pagesDestination;
    DestinationPath& icon = installSettings.iconDestination;
    std::string pagesPath = pagesParent;
    if (*pagesChain)
        pagesPath += std::string("\\") + pagesChain;
    copyPath(pages.path, pathCapacity, pagesPath);
    pages.existingLength = int(wideText(pagesParent).size());
    copyPath(pages.newFolder, chainCapacity, pagesChain);

    const std::string iconBase = iconParent + "\\";
    copyPath(icon.path, pathCapacity, iconBase + iconChain);
    icon.existingLength = int(wideText(iconBase).size());
    installSettings.desktopBaseLength = icon.existingLength;
    copyPath(icon.newFolder, chainCapacity, iconChain);
}

void* createOwnerWindow()
{
    return CreateWindowA("STATIC", "install owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}
