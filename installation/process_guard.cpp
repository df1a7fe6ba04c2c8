// The guards both programs set up at their start. Functions newer systems
// have are looked up at run time, so that the programs still start where
// they are missing.
#include "process_guard.h"

#include "path_text.h"

namespace {

using SetProcessMitigationPolicyProc = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
using SetPlaceholderModeProc = CHAR(NTAPI*)(CHAR);
constexpr CHAR placeholdersDisguised = 1;   // PHCM_DISGUISE_PLACEHOLDER

FARPROC kernelFunction(const char* name)
{
    return GetProcAddress(GetModuleHandleA("kernel32.dll"), name);
}

} // namespace

void restrictDllSearch(SetDefaultDllDirectoriesProc setDirectories)
{
    if (!setDirectories || !setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        SetDllDirectoryA("");
}

void guardProcess()
{
    restrictDllSearch(
        reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<void*>(kernelFunction("SetDefaultDllDirectories"))));
    // Current Windows: a junction made without administrator rights is not
    // followed. Elsewhere (older systems, Wine) the call is missing or
    // refused, and the run goes on: its folders are checked for links anyway.
    const auto setPolicy = reinterpret_cast<SetProcessMitigationPolicyProc>(
        reinterpret_cast<void*>(kernelFunction("SetProcessMitigationPolicy")));
    if (setPolicy) {
        PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy;
        policy.Flags = 0;
        policy.EnforceRedirectionTrust = 1;
        setPolicy(ProcessRedirectionTrustPolicy, &policy, sizeof policy);
    }
    // Windows 10 1803 on: cloud placeholders look like the ordinary files and
    // folders they stand for, whatever the system would choose for this
    // program by default (which may depend on the folder it runs from, such
    // as the system's temp folder under the Windows folder).
    const auto setPlaceholderMode = reinterpret_cast<SetPlaceholderModeProc>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlSetProcessPlaceholderCompatibilityMode")));
    if (setPlaceholderMode)
        setPlaceholderMode(placeholdersDisguised);
}

HMODULE loadSystemLibrary(const WCHAR* name)
{
    WCHAR path[pathCapacity];
    const UINT length = GetSystemDirectoryW(path, pathCapacity);
    if (length == 0 || length >= UINT(pathCapacity) || appendPathName(path, pathCapacity, name) == 0)
        return nullptr;
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
