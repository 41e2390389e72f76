#!/usr/bin/env python3
"""Reads what a Windows build put into a 64-bit PE module, independently of the toolchain.

    pe_module.py version FILE   the version resource: fixed version words, then its strings
    pe_module.py record FILE    the plug-in record `exports`, resolved against the file

Output is one "key value" line per item, for the test script to compare with what it
expects. Exit status 1 (with the reason on standard error) when the file lacks what was
asked for or is not a PE32+ image.
"""
import struct
import sys

RT_VERSION = 16
DIR_EXPORT = 0
DIR_RESOURCE = 2


class PeError(Exception):
    pass


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        if struct.unpack_from("<H", data, optional)[0] != 0x20B:
            raise PeError("not a PE32+ (64-bit) image")
        if machine != 0x8664:
            raise PeError(f"machine {machine:#x} is not x86-64")
        self.image_base = struct.unpack_from("<Q", data, optional + 24)[0]
        count = struct.unpack_from("<I", data, optional + 108)[0]
        self.directories = [struct.unpack_from("<II", data, optional + 112 + 8 * i) for i in range(count)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, vsize, vaddr, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(), vaddr, max(vsize, rawsize), rawptr, rawsize))

    def offset(self, rva):
        for _, vaddr, size, rawptr, rawsize in self.sections:
            if vaddr <= rva < vaddr + size:
                if rva - vaddr >= rawsize:
                    raise PeError(f"RVA {rva:#x} lies in uninitialised data")
                return rawptr + rva - vaddr
        raise PeError(f"RVA {rva:#x} is in no section")

    def directory(self, index):
        if index >= len(self.directories) or self.directories[index][0] == 0:
            return None
        return self.directories[index]

    def c_string(self, rva):
        start = self.offset(rva)
        end = self.data.index(b"\0", start)
        return self.data[start:end].decode("utf-8", "replace")

    def exports(self):
        """Exported names mapped to their RVAs."""
        directory = self.directory(DIR_EXPORT)
        if directory is None:
            return {}
        at = self.offset(directory[0])
        base, functions, names, functions_rva, names_rva, ordinals_rva = struct.unpack_from("<IIIIII", self.data, at + 16)
        result = {}
        for i in range(names):
            name_rva = struct.unpack_from("<I", self.data, self.offset(names_rva) + 4 * i)[0]
            ordinal = struct.unpack_from("<H", self.data, self.offset(ordinals_rva) + 2 * i)[0]
            result[self.c_string(name_rva)] = struct.unpack_from("<I", self.data, self.offset(functions_rva) + 4 * ordinal)[0]
        return result

    def resource(self, type_id):
        """The bytes of the first resource of a type (first name, first language)."""
        directory = self.directory(DIR_RESOURCE)
        if directory is None:
            raise PeError("no resource directory")
        root = self.offset(directory[0])

        def entries(table):
            named, ids = struct.unpack_from("<HH", self.data, table + 12)
            for i in range(named + ids):
                yield struct.unpack_from("<II", self.data, table + 16 + 8 * i)

        def first(table):
            for _, target in entries(table):
                return target
            raise PeError("empty resource directory")

        for ident, target in entries(root):
            if ident == type_id and target & 0x80000000:
                names = root + (target & 0x7FFFFFFF)
                languages = root + (first(names) & 0x7FFFFFFF)
                leaf = root + first(languages)
                data_rva, size = struct.unpack_from("<II", self.data, leaf)
                start = self.offset(data_rva)
                return self.data[start:start + size]
        raise PeError(f"no resource of type {type_id}")


def align4(n):
    return (n + 3) & ~3


def version_block(blob, at):
    """One VS_VERSIONINFO-style node: (key, value bytes, is_text, children, end)."""
    length, value_length, kind = struct.unpack_from("<HHH", blob, at)
    end = at + length
    key_end = at + 6
    while blob[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = blob[at + 6:key_end].decode("utf-16-le")
    value_at = align4(key_end + 2)
    value_bytes = value_length * 2 if kind == 1 else value_length
    value = blob[value_at:value_at + value_bytes]
    children = []
    child = align4(value_at + value_bytes)
    while child < end:
        node = version_block(blob, child)
        children.append(node)
        child = align4(node[4])
    return key, value, kind == 1, children, end


def version_lines(image):
    blob = image.resource(RT_VERSION)
    key, fixed, _, children, _ = version_block(blob, 0)
    if key != "VS_VERSION_INFO":
        raise PeError(f"version resource starts with {key!r}")
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != 0xFEEF04BD:
        raise PeError("no VS_FIXEDFILEINFO in the version resource")

    def words(ms, ls):
        return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"

    lines = [f"FILEVERSION {words(file_ms, file_ls)}", f"PRODUCTVERSION {words(product_ms, product_ls)}"]
    for child_key, _, _, tables, _ in children:
        if child_key != "StringFileInfo":
            continue
        for table_key, _, _, strings, _ in tables:
            for name, value, _, _, _ in strings:
                lines.append(f"{table_key}/{name} {value.decode('utf-16-le').rstrip(chr(0))}")
    return lines


def record_lines(image):
    exported = image.exports()
    if "exports" not in exported:
        raise PeError("no export named `exports`")
    at = image.offset(exported["exports"])
    revision, source, class_name, display, version, kind, get_plugin, delete_me = struct.unpack_from("<8Q", image.data, at)

    def text(address):
        return image.c_string(address - image.image_base) if address else "<null>"

    def function(address, name):
        expected = exported.get(name)
        return "export" if expected is not None and address == image.image_base + expected else f"{address:#x}"

    return [
        f"revision {revision}",
        f"sourcePath {'set' if source and text(source) else '<empty>'}",
        f"className {text(class_name)}",
        f"displayName {text(display)}",
        f"version {text(version)}",
        f"pluginType {kind}",
        f"getPlugin {function(get_plugin, 'getPlugin')}",
        f"deleteMe {function(delete_me, 'deleteMe')}",
    ]


def main(argv):
    if len(argv) != 3 or argv[1] not in ("version", "record"):
        print(__doc__, file=sys.stderr)
        return 2
    try:
        with open(argv[2], "rb") as f:
            image = Image(f.read())
        lines = version_lines(image) if argv[1] == "version" else record_lines(image)
    except (OSError, PeError, struct.error, ValueError) as e:
        print(f"pe_module.py: {argv[2]}: {e}", file=sys.stderr)
        return 1
    print("\n".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
