#!/usr/bin/env python3
"""Writes the catalogue "cidsync.upd" of a package's files, as ReadCatalog
reads it: an 84-byte header (byte 40 zero, header length 84 at offset 80, an
empty name block), one record per file (length, extra, stamp, name and its
zero byte) and a zero length at the end.

A file's name is its path below the folder given, with backslashes; its stamp
is the CRC-32 of its bytes (never 0, which ReadCatalog passes over), and the
extra value its size. The catalogue itself and packages (*.msi) are left out.

Usage: make-catalogue.py OUTPUT FOLDER...
"""
import os
import struct
import sys
import zlib

CATALOGUE = "cidsync.upd"
HEADER_LENGTH = 84
LONGEST_NAME = 520


def package_files(folders):
    """(name, path) of every file below the folders, ordered by name."""
    files = {}
    for folder in folders:
        for root, _, names in os.walk(folder):
            for name in names:
                path = os.path.join(root, name)
                relative = os.path.relpath(path, folder).replace(os.sep, "\\")
                if name.lower() == CATALOGUE or name.lower().endswith(".msi"):
                    continue
                # ReadCatalog keeps one entry per name, compared without regard to case.
                if relative.lower() in files:
                    sys.exit(f"make-catalogue: {relative} is in the package twice")
                files[relative.lower()] = (relative, path)
    return sorted(files.values(), key=lambda item: item[0].lower())


def record(name, data):
    encoded = name.encode("ascii")
    if len(encoded) > LONGEST_NAME:
        sys.exit(f"make-catalogue: the name {name} is longer than {LONGEST_NAME} bytes")
    stamp = zlib.crc32(data) or 1
    return struct.pack("<III", 8 + len(encoded) + 1, len(data), stamp) + encoded + b"\0"


def catalogue(files):
    header = bytearray(HEADER_LENGTH)
    header[0:16] = b"Kestro catalogue"
    struct.pack_into("<HH", header, 80, HEADER_LENGTH, 0)
    body = b"".join(record(name, open(path, "rb").read()) for name, path in files)
    return bytes(header) + body + struct.pack("<I", 0)


def main(args):
    if len(args) < 2:
        sys.exit(__doc__)
    output, folders = args[0], args[1:]
    with open(output, "wb") as out:
        out.write(catalogue(package_files(folders)))


if __name__ == "__main__":
    main(sys.argv[1:])
