#!/usr/bin/env python3
"""Size figures of a PE executable for `make bench`.

    pe_sizes.py FILE        prints: file_bytes payload_entries payload_data payload_bytes
    pe_sizes.py --parts FILE  prints what each part of the file costs, in bytes

Payload entries are the resources of a custom integer type (256 or more),
which is how bookpack stores them; the program's own resources use the
standard types below 256. payload_data counts their archive bytes;
payload_bytes adds what they occupy besides: 8-byte alignment and the
directory levels (type, name, language) and data entry each one needs.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_image  # noqa: E402

FIRST_CUSTOM_TYPE = 256
# One type level and one name level (directory header plus entry each), the
# language entry and the data entry: every payload entry has a type of its own.
DIRECTORY_BYTES_PER_ENTRY = (2 * (pe_image.RESOURCE_DIRECTORY_BYTES + pe_image.RESOURCE_ENTRY_BYTES)
                             + pe_image.RESOURCE_ENTRY_BYTES + pe_image.RESOURCE_DATA_ENTRY_BYTES)


def aligned(size):
    """Bytes a resource's data takes: each starts on an 8-byte boundary."""
    return (size + 7) // 8 * 8


def payload_figures(image):
    count = data = occupied = 0
    for type_id, _, _, _, size in image.resources():
        if type_id is None or type_id < FIRST_CUSTOM_TYPE:
            continue
        count += 1
        data += size
        occupied += DIRECTORY_BYTES_PER_ENTRY + aligned(size)
    return count, data, occupied


def parts(image):
    """(label, bytes) of every part of the file; together they are its size.

    The import tables are the end of .text, where cmake/product.ld puts them.
    """
    text_virtual, _ = image.section_sizes[".text"]
    text_rva = next(rva for name, rva, _, _ in image.sections if name == ".text")
    imports_rva = image.directories[1][0]
    imports = text_rva + text_virtual - imports_rva if text_rva <= imports_rva < text_rva + text_virtual else 0
    rsrc_virtual, _ = image.section_sizes.get(".rsrc", (0, 0))
    reloc_virtual, _ = image.section_sizes.get(".reloc", (0, 0))
    count, data, occupied = payload_figures(image)
    own = [(type_id, size) for type_id, _, _, _, size in image.resources()
           if type_id is not None and type_id < FIRST_CUSTOM_TYPE]
    own_data = sum(aligned(size) for _, size in own)
    icons = sum(aligned(size) for type_id, size in own if type_id in (3, 14))   # RT_ICON, RT_GROUP_ICON
    dialogs = sum(aligned(size) for type_id, size in own if type_id == 5)       # RT_DIALOG
    rows = [
        ("headers", image.size_of_headers),
        ("code and constants", text_virtual - imports),
        ("import tables", imports),
        ("base relocations", reloc_virtual),
        ("resources: dialogs", dialogs),
        ("resources: icon", icons),
        ("resources: version and manifest", own_data - dialogs - icons),
        ("resources: their directory", rsrc_virtual - own_data - occupied),
    ]
    if count:
        rows.append(("payload: %d archives" % count, data))
        rows.append(("payload: their directory and alignment", occupied - data))
    # What is left is the padding of each section to the 512-byte file blocks.
    rows.append(("padding to 512-byte blocks", len(image.data) - sum(size for _, size in rows)))
    return rows


def main():
    if sys.argv[1] == "--parts":
        for label, size in parts(pe_image.read(sys.argv[2])):
            print("%-44s %8d" % (label, size))
        return
    image = pe_image.read(sys.argv[1])
    count, data, occupied = payload_figures(image)
    print(len(image.data), count, data, occupied)


if __name__ == "__main__":
    main()
