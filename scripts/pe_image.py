"""Reading a 32-bit PE image: headers, resources, version and load-time imports.

Used by `make bench` (pe_sizes.py), by the image checks in tests/safety, and by
the release's manifests (release/manifests.py) and their test.
"""
import struct

RESOURCE_DIRECTORY_BYTES = 16   # IMAGE_RESOURCE_DIRECTORY
RESOURCE_ENTRY_BYTES = 8        # IMAGE_RESOURCE_DIRECTORY_ENTRY
RESOURCE_DATA_ENTRY_BYTES = 16  # IMAGE_RESOURCE_DATA_ENTRY
IMPORT_DESCRIPTOR_BYTES = 20    # IMAGE_IMPORT_DESCRIPTOR
SUBDIRECTORY = 0x80000000       # high bit of an entry's target: another directory
NAMED = 0x80000000              # high bit of an entry's name: a string, not an id
RT_VERSION = 16
VERSION_ID = 1                  # the version resource's usual id
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD  # VS_FIXEDFILEINFO.dwSignature


class Image:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE image")
        self.machine = struct.unpack_from("<H", data, pe + 4)[0]
        count = struct.unpack_from("<H", data, pe + 6)[0]
        optional_size = struct.unpack_from("<H", data, pe + 20)[0]
        optional = pe + 24
        if struct.unpack_from("<H", data, optional)[0] != 0x10B:
            raise ValueError("not a 32-bit image")
        self.dll_characteristics = struct.unpack_from("<H", data, optional + 70)[0]
        self.size_of_headers = struct.unpack_from("<I", data, optional + 60)[0]
        self.directories = [struct.unpack_from("<II", data, optional + 96 + 8 * i) for i in range(16)]
        table = optional + optional_size
        self.sections = []
        self.section_sizes = {}   # name: (bytes in memory, bytes in the file)
        self.section_characteristics = {}
        for i in range(count):
            name, virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, table + 40 * i)
            name = name.rstrip(b"\0").decode()
            self.sections.append((name, rva, max(virtual_size, raw_size), raw_offset))
            self.section_sizes[name] = (virtual_size, raw_size)
            self.section_characteristics[name] = struct.unpack_from("<I", data, table + 40 * i + 36)[0]

    def offset(self, rva):
        for _, start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError("address %#x is in no section" % rva)

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def c_string(self, offset):
        return self.data[offset:self.data.index(b"\0", offset)].decode("latin-1")

    def resources(self):
        """Yields (type, name, language, data offset, size); ids are ints, names None."""
        rva = self.directories[2][0]
        if rva == 0:
            return
        base = self.offset(rva)

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from(
                    "<II", self.data, base + directory + RESOURCE_DIRECTORY_BYTES + RESOURCE_ENTRY_BYTES * i)
                yield (None if name & NAMED else name), target

        for type_id, type_target in entries(0):
            for name_id, name_target in entries(type_target & ~SUBDIRECTORY):
                for language, leaf in entries(name_target & ~SUBDIRECTORY):
                    data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    yield type_id, name_id, language, self.offset(data_rva), size

    def resource(self, type_id, name_id):
        for found_type, found_name, _, offset, size in self.resources():
            if (found_type, found_name) == (type_id, name_id):
                return self.data[offset:offset + size]
        return None

    def product_version(self):
        """The version resource's fixed product version as "a.b.c.d", or None."""
        block = self.resource(RT_VERSION, VERSION_ID)
        if block is None:
            return None
        # VS_FIXEDFILEINFO follows the block's key on a 32-bit boundary; its
        # signature does not occur in the key before it.
        signature = struct.pack("<I", FIXED_FILE_INFO_SIGNATURE)
        start = block.find(signature)
        while start >= 0 and start % 4:
            start = block.find(signature, start + 1)
        if start < 0 or start + 52 > len(block):
            return None
        most, least = struct.unpack_from("<II", block, start + 16)   # dwProductVersionMS, LS
        return "%d.%d.%d.%d" % (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)

    def load_time_imports(self):
        """Names of the DLLs the loader maps before the entry point runs."""
        rva = self.directories[1][0]
        names = []
        if rva == 0:
            return names
        descriptor = self.offset(rva)
        while True:
            name_rva = self.u32(descriptor + 12)
            if name_rva == 0:
                return names
            names.append(self.c_string(self.offset(name_rva)))
            descriptor += IMPORT_DESCRIPTOR_BYTES


def read(path):
    with open(path, "rb") as file:
        return Image(file.read())
