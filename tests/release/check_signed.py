#!/usr/bin/env python3
"""Checks the signed programs as files, on any host:

    check_signed.py SCRIPTS_DIR BOOK_DIR CA_PEM SIGNED_TREE UNSIGNED_TREE

- both signed programs verify against the throwaway certificate;
- the signed uninstaller without its signature is, byte for byte, the
  unsigned one of the normal tree: signing adds a signature and changes nothing
  else, and the normal tree's programs carry none;
- every payload entry of the signed installer still decodes to its book file,
  and entry 900 is the signed uninstaller, whose signature still verifies.

Prints one line per check and exits 1 if any fails.
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, sys.argv[1])
import pe_image  # noqa: E402

SECURITY_DIRECTORY = 4                 # IMAGE_DIRECTORY_ENTRY_SECURITY: the signature
UNINSTALLER_ENTRY = 900
FIRST_MAIN_ENTRY = 901                 # installation/page_manifest.h
FIRST_EXTRA_ENTRY = 1020
LOCAL_HEADER = struct.Struct("<IHHHHHIIIHH")   # ZIP local file header, 30 bytes
LOCAL_HEADER_SIGNATURE = 0x04034B50
STORED, DEFLATED = 0, 8

failures = 0


def check(label, passed, detail=""):
    global failures
    print("%s %s%s" % ("ok  " if passed else "FAIL", label, "" if passed else " (%s)" % detail))
    failures += not passed


def verifies(path, ca):
    result = subprocess.run(["osslsigncode", "verify", "-CAfile", ca, "-in", path],
                            capture_output=True, text=True)
    return result.returncode == 0, (result.stdout + result.stderr).strip().splitlines()[-3:]


def without_signature(path, work):
    out = os.path.join(work, os.path.basename(path) + ".unsigned")
    subprocess.run(["osslsigncode", "remove-signature", "-in", path, "-out", out],
                   check=True, capture_output=True)
    with open(out, "rb") as file:
        return file.read()


def book_entries(book):
    """Payload entry number -> the book file it must decode to."""
    sections, current = {"main": [], "extra": []}, None
    with open(os.path.join(book, "manifest.txt"), encoding="latin-1") as manifest:
        for line in manifest:
            line = line.split("#", 1)[0].strip()
            if line.startswith("["):
                current = line.strip("[]")
            elif line:
                sections[current].append(line)
    entries = {FIRST_MAIN_ENTRY + i: os.path.join(book, name + ".htm") for i, name in enumerate(sections["main"])}
    entries.update({FIRST_EXTRA_ENTRY + i: os.path.join(book, "extra", name)
                    for i, name in enumerate(sections["extra"])})
    return entries


def decode_entry(entry):
    """The file one payload entry holds, or the reason it cannot be decoded."""
    (signature, _, _, method, _, _, crc, packed_size, size,
     name_length, extra_length) = LOCAL_HEADER.unpack_from(entry)
    if signature != LOCAL_HEADER_SIGNATURE:
        return None, "no local file header"
    start = LOCAL_HEADER.size + name_length + extra_length
    packed = entry[start:start + packed_size]
    if method == STORED:
        data = packed
    elif method == DEFLATED:
        data = zlib.decompress(packed, -15)
    else:
        return None, "method %d" % method
    if len(data) != size or zlib.crc32(data) != crc:
        return None, "size or CRC-32 differs from the header"
    return data, ""


def main():
    _, book, ca, signed_tree, unsigned_tree = sys.argv[1:6]
    installer = os.path.join(signed_tree, "entry", "TolmSetup.exe")
    uninstaller = os.path.join(signed_tree, "uninstaller", "Kestrun.exe")
    with tempfile.TemporaryDirectory() as work:
        for path in (installer, uninstaller):
            passed, detail = verifies(path, ca)
            check("signature verifies: " + path, passed, detail)
        for name in ("entry/TolmSetup.exe", "uninstaller/Kestrun.exe"):
            unsigned = pe_image.read(os.path.join(unsigned_tree, name))
            check("no signature in the normal tree's " + name, unsigned.directories[SECURITY_DIRECTORY] == (0, 0),
                  unsigned.directories[SECURITY_DIRECTORY])
        with open(os.path.join(unsigned_tree, "uninstaller", "Kestrun.exe"), "rb") as file:
            check("the signed uninstaller without its signature is the unsigned one",
                  without_signature(uninstaller, work) == file.read())

        image = pe_image.read(installer)
        expected = book_entries(book)
        expected[UNINSTALLER_ENTRY] = uninstaller
        wrong = []
        for number, path in sorted(expected.items()):
            entry = image.resource(number, number)
            data, reason = decode_entry(entry) if entry is not None else (None, "missing")
            with open(path, "rb") as file:
                if data != file.read():
                    wrong.append("%d %s: %s" % (number, os.path.basename(path), reason or "other bytes"))
        check("the signed installer's %d payload entries hold the book and the signed uninstaller"
              % len(expected), not wrong, "; ".join(wrong[:5]))
        entry = image.resource(UNINSTALLER_ENTRY, UNINSTALLER_ENTRY)
        extracted = os.path.join(work, "Kestrun.exe")
        with open(extracted, "wb") as file:
            file.write((decode_entry(entry)[0] if entry is not None else None) or b"")
        passed, detail = verifies(extracted, ca)
        check("the packed uninstaller's signature verifies", passed, detail)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
