#!/usr/bin/env python3
"""Checks the built programs as files: their application manifest, the DLLs the
loader maps before their entry points run, the loader's mitigations, and the
section layout the build gives them.

    check_images.py SCRIPTS_DIR NAME=EXE...

Prints one line per check and exits 1 if any fails.
"""
import os
import sys
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, sys.argv[1])
import pe_image  # noqa: E402

RT_MANIFEST = 24
MANIFEST_ID = 1                      # CREATEPROCESS_MANIFEST_RESOURCE_ID
IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE = 0x0040
IMAGE_DLLCHARACTERISTICS_NX_COMPAT = 0x0100
IMAGE_SCN_MEM_EXECUTE = 0x20000000
IMAGE_SCN_MEM_WRITE = 0x80000000
FILE_BLOCK = 512

ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
WINDOWS_SETTINGS = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"

SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",   # Vista
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",   # 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",   # 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",   # 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",   # 10 and 11
}

# Windows' known DLLs among those the programs may use: the loader maps them,
# and their dependencies, from System32 whatever folder the program starts
# from. Anything else imported at load time would be searched for in the
# program's folder first, before its entry point can narrow the search.
KNOWN_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
              "msvcrt.dll", "comdlg32.dll", "oleaut32.dll", "shlwapi.dll"}


def manifest_checks(image):
    data = image.resource(RT_MANIFEST, MANIFEST_ID)
    if data is None:
        return [("manifest resource 24/1", False, "missing")]
    root = ElementTree.fromstring(data)
    level = [e.get("level") for e in root.iter(ASM_V3 + "requestedExecutionLevel")]
    systems = {e.get("Id") for e in root.iter(COMPATIBILITY + "supportedOS")}
    dpi = [(e.text or "").strip().lower() for e in root.iter(WINDOWS_SETTINGS + "dpiAware")]
    return [
        ("requestedExecutionLevel", level == ["requireAdministrator"], level),
        ("supportedOS Vista to 11", systems == SUPPORTED_OS, sorted(systems ^ SUPPORTED_OS)),
        ("system DPI awareness", dpi == ["true"], dpi),
    ]


def image_checks(image):
    imports = [name.lower() for name in image.load_time_imports()]
    unknown = sorted(set(imports) - KNOWN_DLLS)
    flags = image.dll_characteristics
    # Code, constants and the import tables share one section: it must not be writable.
    writable_code = sorted(name for name, characteristics in image.section_characteristics.items()
                           if characteristics & IMAGE_SCN_MEM_EXECUTE and characteristics & IMAGE_SCN_MEM_WRITE)
    return [
        ("no section both writable and executable", not writable_code, writable_code),
        ("headers in one file block", image.size_of_headers == FILE_BLOCK, image.size_of_headers),
        ("load-time imports are known DLLs", bool(imports) and not unknown, unknown or imports),
        ("relocatable (ASLR)", bool(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE), hex(flags)),
        ("data not executable (DEP)", bool(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT), hex(flags)),
    ]


def main():
    failures = 0
    for argument in sys.argv[2:]:
        name, path = argument.split("=", 1)
        image = pe_image.read(path)
        for label, passed, detail in manifest_checks(image) + image_checks(image):
            print("%s %s: %s%s" % ("ok  " if passed else "FAIL", name, label, "" if passed else " (%s)" % (detail,)))
            failures += not passed
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
