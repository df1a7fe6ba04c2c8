// The installer's own resources and its shared section, read from the built
// TolmSetup.exe: what the compiled templates, icon, version and manifest hold
// must be what the wizard and Windows rely on, whatever the resource compiler
// adds or drops on the way. The programs are read as data only, so the
// environment variables TOLM_TEST_INSTALLER and TOLM_TEST_UNINSTALLER may name
// programs of the other architecture instead of this tree's.
#include <windows.h>
#include <imagehlp.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The program named by the environment variable, or this tree's own.
std::string programPath(const char* variable, const char* builtIn)
{
    char path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA(variable, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path) : std::string(builtIn);
}

const std::string installerPath = programPath("TOLM_TEST_INSTALLER", TOLM_TEST_INSTALLER);
const std::string uninstallerPath = programPath("TOLM_TEST_UNINSTALLER", TOLM_TEST_UNINSTALLER);

std::vector<BYTE> readWholeFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::vector<BYTE> image(GetFileSize(file, nullptr));
    DWORD got = 0;
    const BOOL read = ReadFile(file, image.data(), static_cast<DWORD>(image.size()), &got, nullptr);
    CloseHandle(file);
    if (!read || got != image.size())
        image.clear();
    return image;
}

// The NT headers of an image read into memory; their file header and the
// section table after the optional header have one layout in PE32 and PE32+.
const IMAGE_NT_HEADERS32* ntHeaders(const std::vector<BYTE>& image)
{
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    return reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
}

// Reads a dialog template, classic or extended, into one shape.
struct DialogItem {
    DWORD style, exStyle;
    short x, y, cx, cy;
    int id;
    std::wstring className;   // upper case; the predefined classes' atoms by name
    std::wstring text;
};

struct Dialog {
    bool extended;
    DWORD style, exStyle;
    short x, y, cx, cy;
    WORD pointSize, weight;
    BYTE charset;
    std::wstring face, caption;
    std::vector<DialogItem> items;
};

class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : cursor(data) {}
    template <typename T> T read()
    {
        T value;
        memcpy(&value, cursor, sizeof value);
        cursor += sizeof value;
        return value;
    }
    std::wstring text()
    {
        std::wstring value;
        while (WCHAR c = read<WCHAR>())
            value += c;
        return value;
    }
    // A name that is either a 0xFFFF-prefixed number or a string.
    std::wstring nameOrNumber()
    {
        WORD first;
        memcpy(&first, cursor, sizeof first);
        if (first != 0xFFFF)
            return text();
        cursor += sizeof first;
        return L"#" + std::to_wstring(read<WORD>());
    }
    void alignToDword(const BYTE* base)
    {
        while ((cursor - base) % 4)
            cursor++;
    }

private:
    const BYTE* cursor;
};

// The resource compiler may store a predefined class as its atom or its name,
// in any case; both make the same control.
std::wstring className(std::wstring name)
{
    if (name == L"#128")
        return L"BUTTON";
    if (name == L"#130")
        return L"STATIC";
    CharUpperW(&name[0]);
    return name;
}

Dialog parseDialog(const BYTE* base)
{
    TemplateReader in(base);
    Dialog dialog = {};
    dialog.extended = reinterpret_cast<const WORD*>(base)[1] == 0xFFFF;
    if (dialog.extended) {
        in.read<DWORD>();   // version and signature
        in.read<DWORD>();   // help id
        dialog.exStyle = in.read<DWORD>();
        dialog.style = in.read<DWORD>();
    } else {
        dialog.style = in.read<DWORD>();
        dialog.exStyle = in.read<DWORD>();
    }
    WORD count = in.read<WORD>();
    dialog.x = in.read<short>(), dialog.y = in.read<short>();
    dialog.cx = in.read<short>(), dialog.cy = in.read<short>();
    EXPECT_EQ(in.nameOrNumber(), L"") << "no menu";
    EXPECT_EQ(in.nameOrNumber(), L"") << "no class";
    dialog.caption = in.text();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = in.read<WORD>();
        if (dialog.extended) {
            dialog.weight = in.read<WORD>();
            in.read<BYTE>();   // italic
            dialog.charset = in.read<BYTE>();
        }
        dialog.face = in.text();
    }
    for (int i = 0; i < count; i++) {
        in.alignToDword(base);
        DialogItem item = {};
        if (dialog.extended) {
            in.read<DWORD>();   // help id
            item.exStyle = in.read<DWORD>();
            item.style = in.read<DWORD>();
        } else {
            item.style = in.read<DWORD>();
            item.exStyle = in.read<DWORD>();
        }
        item.x = in.read<short>(), item.y = in.read<short>();
        item.cx = in.read<short>(), item.cy = in.read<short>();
        item.id = dialog.extended ? static_cast<int>(in.read<DWORD>()) : static_cast<short>(in.read<WORD>());
        item.className = className(in.nameOrNumber());
        item.text = in.nameOrNumber();
        WORD extra = in.read<WORD>();
        EXPECT_EQ(extra, 0) << "no creation data";
        dialog.items.push_back(item);
    }
    return dialog;
}

const std::wstring buttonClass = L"BUTTON";
const std::wstring staticClass = L"STATIC";
constexpr DWORD child = WS_CHILD | WS_VISIBLE;

struct DialogCase {
    int id;
    bool extended;
    DWORD style, exStyle;
    short cx, cy;
    std::vector<DialogItem> items;
};

const DWORD pathDisplayStyle = child | WS_GROUP | SS_SIMPLE | SS_NOPREFIX | SS_SUNKEN;
const DWORD destinationStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;

const DialogCase dialogCases[] = {
    {100, false, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 265, 58,
     {{child | WS_GROUP | SS_LEFT, 0, 4, 1, 253, 30, -1, staticClass,
       L"This will install the book \"Brackenfold\". Click the Next button to proceed."}}},
    {101, true, destinationStyle, WS_EX_APPWINDOW, 259, 47,
     {{child | WS_GROUP | SS_CENTER, 0, 4, 0, 255, 26, -1, staticClass,
       L"Here is where you set where the HTML files will be installed upon your computer. If you prefer "
       L"a different directory, then click upon the Browse button to choose the new directory. Then, "
       L"click the Next button to proceed."},
      {child | WS_GROUP | SS_RIGHT, 0, 2, 31, 52, 8, -1, staticClass, L"Install in:"},
      {child | WS_TABSTOP | BS_PUSHBUTTON, 0, 217, 28, 38, 14, 1001, buttonClass, L"&Browse"},
      {pathDisplayStyle, WS_EX_STATICEDGE, 57, 30, 156, 11, 1000, staticClass, L""}}},
    {102, true, destinationStyle, WS_EX_APPWINDOW, 259, 55,
     {{child | WS_GROUP | SS_CENTER, 0, 4, 0, 255, 34, -1, staticClass,
       L"Here is where you set where you would like the Book icon created upon your desktop. If you "
       L"prefer a different folder on the desktop, then click upon the Browse button to choose the new "
       L"folder. Then, click the Next button to proceed."},
      {child | WS_GROUP | SS_RIGHT, 0, 1, 40, 53, 8, -1, staticClass, L"Desktop Folder:"},
      {child | WS_TABSTOP | BS_PUSHBUTTON, 0, 217, 37, 38, 14, 1003, buttonClass, L"B&rowse"},
      {pathDisplayStyle, WS_EX_STATICEDGE, 57, 39, 156, 11, 1002, staticClass, L""}}},
    {103, false, WS_POPUP | WS_CAPTION | DS_SETFONT | DS_3DLOOK, 0, 96, 22,
     {{child | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 7, 6, 88, 10, 899, buttonClass, L"Corvalin specific book"}}},
};

class InstallerResources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        module = LoadLibraryExA(installerPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite()
    {
        if (module)
            FreeLibrary(module);
    }
    void SetUp() override { ASSERT_NE(module, nullptr) << "cannot load " << installerPath; }

    static const BYTE* resource(LPCSTR type, int id, DWORD* size = nullptr)
    {
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
        if (!found)
            return nullptr;
        if (size)
            *size = SizeofResource(module, found);
        return static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    }

    static HMODULE module;
};

HMODULE InstallerResources::module = nullptr;

TEST_F(InstallerResources, dialogTemplatesHoldTheExactFramesAndControls)
{
    for (const DialogCase& expected : dialogCases) {
        SCOPED_TRACE("template " + std::to_string(expected.id));
        const BYTE* data = resource(MAKEINTRESOURCEA(5), expected.id);   // RT_DIALOG
        ASSERT_NE(data, nullptr);
        Dialog dialog = parseDialog(data);
        EXPECT_EQ(dialog.extended, expected.extended);
        EXPECT_EQ(dialog.style, expected.style);
        EXPECT_EQ(dialog.exStyle, expected.exStyle);
        EXPECT_EQ(dialog.x, 0);
        EXPECT_EQ(dialog.y, 0);
        EXPECT_EQ(dialog.cx, expected.cx);
        EXPECT_EQ(dialog.cy, expected.cy);
        EXPECT_EQ(dialog.caption, L"");
        EXPECT_EQ(dialog.pointSize, 8);
        EXPECT_EQ(dialog.face, L"MS Sans Serif");
        if (expected.extended) {
            EXPECT_EQ(dialog.weight, 0);
            EXPECT_EQ(dialog.charset, DEFAULT_CHARSET);
        }
        ASSERT_EQ(dialog.items.size(), expected.items.size());
        for (size_t i = 0; i < expected.items.size(); i++) {
            const DialogItem& want = expected.items[i];
            const DialogItem& got = dialog.items[i];
            SCOPED_TRACE("control " + std::to_string(i));
            EXPECT_EQ(got.style, want.style);
            EXPECT_EQ(got.exStyle, want.exStyle);
            EXPECT_EQ(got.x, want.x);
            EXPECT_EQ(got.y, want.y);
            EXPECT_EQ(got.cx, want.cx);
            EXPECT_EQ(got.cy, want.cy);
            EXPECT_EQ(got.id, want.id);
            EXPECT_EQ(got.className, want.className);
            EXPECT_EQ(got.text, want.text);
        }
    }
}

TEST_F(InstallerResources, iconGroupHoldsTwoSixteenColourImages)
{
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    const BYTE* group = resource(MAKEINTRESOURCEA(14), 100);   // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    const WORD* header = reinterpret_cast<const WORD*>(group);
    ASSERT_EQ(header[1], 1) << "an icon group";
    ASSERT_EQ(header[2], 2);
    const GroupEntry* entries = reinterpret_cast<const GroupEntry*>(group + 6);
    const int sizes[] = {32, 16};
    for (int i = 0; i < 2; i++) {
        SCOPED_TRACE("image " + std::to_string(sizes[i]));
        EXPECT_EQ(entries[i].width, sizes[i]);
        EXPECT_EQ(entries[i].height, sizes[i]);
        EXPECT_EQ(entries[i].colours, 16);
        EXPECT_EQ(entries[i].bitCount, 4);
        const BYTE* image = resource(MAKEINTRESOURCEA(3), entries[i].id);   // RT_ICON
        ASSERT_NE(image, nullptr);
        BITMAPINFOHEADER bitmap;
        memcpy(&bitmap, image, sizeof bitmap);
        EXPECT_EQ(bitmap.biWidth, sizes[i]);
        EXPECT_EQ(bitmap.biHeight, 2 * sizes[i]) << "colour bits and mask";
        EXPECT_EQ(bitmap.biBitCount, 4);
    }
    HICON icon = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(100), IMAGE_ICON, 16, 16, 0));
    EXPECT_NE(icon, nullptr) << "the small image loads as an icon";
    if (icon)
        DestroyIcon(icon);
}

TEST_F(InstallerResources, versionResourceNamesReleaseSixForUsEnglish)
{
    DWORD size = 0;
    const BYTE* data = resource(MAKEINTRESOURCEA(16), 1, &size);   // RT_VERSION
    ASSERT_NE(data, nullptr);
    // VerQueryValue needs a writable copy of the block.
    std::vector<BYTE> block(data, data + size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0u);
    EXPECT_EQ(fixed->dwFileVersionLS, 6u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0u);
    EXPECT_EQ(fixed->dwProductVersionLS, 6u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04B0);

    const char* strings[][2] = {
        {"FileVersion", "0, 0, 0, 6"},
        {"ProductVersion", "0, 0, 0, 6"},
        {"ProductName", "The Tolm Language"},
    };
    for (auto& entry : strings) {
        char* value = nullptr;
        std::string path = std::string("\\StringFileInfo\\040904B0\\") + entry[0];
        ASSERT_TRUE(VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) << path;
        EXPECT_STREQ(value, entry[1]) << path;
    }
}

TEST_F(InstallerResources, manifestAsksForAdministratorAndNamesVistaToEleven)
{
    DWORD size = 0;
    const BYTE* data = resource(MAKEINTRESOURCEA(24), 1, &size);   // RT_MANIFEST
    ASSERT_NE(data, nullptr);
    std::string manifest(reinterpret_cast<const char*>(data), size);
    const char* required[] = {
        "level=\"requireAdministrator\"",
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",   // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",   // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",   // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",   // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",   // 10 and 11
        ">true</dpiAware>",
    };
    for (const char* text : required)
        EXPECT_NE(manifest.find(text), std::string::npos) << text;
}

// The instance counter only guards anything if every copy maps the same page.
TEST(InstallerImage, sharedSectionIsSharedReadableAndWritable)
{
    const std::vector<BYTE> image = readWholeFile(installerPath);
    ASSERT_FALSE(image.empty()) << "cannot read " << installerPath;
    const IMAGE_NT_HEADERS32* nt = ntHeaders(image);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    const IMAGE_SECTION_HEADER* shared = nullptr;
    for (int i = 0; i < nt->FileHeader.NumberOfSections; i++) {
        if (memcmp(section[i].Name, "Shared\0", 7) == 0)
            shared = &section[i];
    }
    ASSERT_NE(shared, nullptr) << "no section named Shared";
    const DWORD wanted = IMAGE_SCN_MEM_SHARED | IMAGE_SCN_MEM_READ | IMAGE_SCN_MEM_WRITE;
    EXPECT_EQ(shared->Characteristics & wanted, wanted);
    EXPECT_GE(shared->Misc.VirtualSize, sizeof(LONG));
}

// Both programs' headers were moved after linking; the checksum the linker
// wrote must have been computed again over the moved file, as the system's
// own routine computes it. Only the shipped 32-bit programs are moved and
// given a checksum; the 64-bit twin keeps the linker's layout without one.
TEST(InstallerImage, headerChecksumIsTheFilesOwn)
{
    for (const std::string& program : {installerPath, uninstallerPath}) {
        SCOPED_TRACE(program);
        const std::vector<BYTE> image = readWholeFile(program);
        ASSERT_FALSE(image.empty());
        if (ntHeaders(image)->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC)
            GTEST_SKIP() << "the 64-bit twin is linked without a checksum";
        DWORD inHeader = 0, computed = 0;
        ASSERT_EQ(MapFileAndCheckSumA(program.c_str(), &inHeader, &computed), DWORD(CHECKSUM_SUCCESS));
        EXPECT_NE(inHeader, 0u);
        EXPECT_EQ(inHeader, computed);
    }
}

} // namespace
