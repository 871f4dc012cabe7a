#!/usr/bin/env python3
"""Prints the VERSIONINFO resource of a PE file, one "key=value" a line.

usage: version_resource.py FILE

FixedFileVersion and FixedProductVersion come from the binary VS_FIXEDFILEINFO, the rest
from the first StringFileInfo table. Exit 1 when the file carries no version resource.
"""
import struct
import sys


def utf16z(buffer, pos):
    """The NUL-terminated UTF-16 string at pos, and the position after its NUL."""
    end = pos
    while buffer[end:end + 2] != b"\0\0":
        end += 2
    return buffer[pos:end].decode("utf-16-le"), end + 2


def align(pos):
    return (pos + 3) & ~3


def strings_of(block):
    """The key/value pairs of a StringTable block: a header and its key (the language),
    then String entries, each a header, a key and a value, all 32-bit aligned."""
    pairs = {}
    length = struct.unpack_from("<H", block, 0)[0]
    pos = align(utf16z(block, 6)[1])
    while pos + 6 < length:
        size = struct.unpack_from("<H", block, pos)[0]
        if size == 0:
            break
        key, after = utf16z(block, pos + 6)
        value, _ = utf16z(block, align(after)) if align(after) < pos + size else ("", 0)
        pairs[key] = value
        pos = align(pos + size)
    return pairs


def main():
    data = open(sys.argv[1], "rb").read()
    key = "VS_VERSION_INFO".encode("utf-16-le")
    at = data.find(key)
    if at < 6:
        sys.exit("no version resource")
    root = at - 6
    fixed = data.find(struct.pack("<I", 0xFEEF04BD), root)
    ms, ls, pms, pls = struct.unpack_from("<IIII", data, fixed + 8)
    print(f"FixedFileVersion={ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}")
    print(f"FixedProductVersion={pms >> 16}.{pms & 0xFFFF}.{pls >> 16}.{pls & 0xFFFF}")
    table = data.find("StringFileInfo".encode("utf-16-le"), root)
    if table < 0:
        sys.exit("no StringFileInfo")
    # The first StringTable follows the StringFileInfo header, 32-bit aligned.
    first = (table + len("StringFileInfo\0") * 2 + 3) & ~3
    for k, v in strings_of(data[first:]).items():
        print(f"{k}={v}")


if __name__ == "__main__":
    main()
