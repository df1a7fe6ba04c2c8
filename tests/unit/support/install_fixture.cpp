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

void copyInto(char* buffer, size_t capacity, const std::string& text)
{
    strncpy(buffer, text.c_str(), capacity - 1);
    buffer[capacity - 1] = '\0';
}

} // namespace

std::string freshTestFolder(const char* testName)
{
    CreateDirectoryA(testFolderBase, nullptr);
    std::string folder = std::string(testFolderBase) + testName;
    removeTree(folder);
    makeFolder(folder);
    return folder;
}

void removeTree(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
    // A test may have left a plain file where a folder belongs.
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

bool folderExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool fileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void makeFolder(const std::string& path)
{
    CreateDirectoryA(path.c_str(), nullptr);
}

void writeFile(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::optional<std::string> readFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
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
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.insert(found.cFileName);
    } while (FindNextFileA(search, &found));
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
    char data[1024];
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    const LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    data[size] = '\0';
    return std::string(data);
}

std::optional<ShortcutInfo> readShortcut(const std::string& linkPath)
{
    if (FAILED(CoInitialize(nullptr)))
        return std::nullopt;
    std::optional<ShortcutInfo> info;
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    WCHAR widePath[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH);
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(widePath, STGM_READ))) {
        char target[MAX_PATH] = "";
        char description[MAX_PATH] = "";
        if (SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
            SUCCEEDED(link->GetDescription(description, MAX_PATH)))
            info = ShortcutInfo{target, description};
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
    copyInto(pages.path, pathCapacity, pagesPath);
    pages.existingLength = int(pagesParent.size());
    copyInto(pages.newFolder, chainCapacity, pagesChain);

    const std::string iconBase = iconParent + "\\";
    copyInto(icon.path, pathCapacity, iconBase + iconChain);
    icon.existingLength = int(iconBase.size());
    installSettings.desktopBaseLength = int(iconBase.size());
    copyInto(icon.newFolder, chainCapacity, iconChain);
}

void* createOwnerWindow()
{
    return CreateWindowA("STATIC", "install owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}
