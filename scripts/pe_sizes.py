#!/usr/bin/env python3
"""Size figures of a PE executable for `make bench`.

    pe_sizes.py FILE        prints: file_bytes payload_entries payload_data payload_bytes

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


def payload_figures(image):
    count = data = occupied = 0
    for type_id, _, _, _, size in image.resources():
        if type_id is None or type_id < FIRST_CUSTOM_TYPE:
            continue
        count += 1
        data += size
        occupied += DIRECTORY_BYTES_PER_ENTRY + (size + 7) // 8 * 8
    return count, data, occupied


def main():
    image = pe_image.read(sys.argv[1])
    count, data, occupied = payload_figures(image)
    print(len(image.data), count, data, occupied)


if __name__ == "__main__":
    main()
