#!/usr/bin/env python3
"""Writes the small zip archives that the zip tests read and the seed inputs of
the zip fuzz target. Archives are made with Python's zipfile, then headers are
patched by hand where an archive must lie. Run from the repository root:

    python3 scripts/make_zip_test_data.py

The output is deterministic (fixed dates), so regenerating changes nothing
unless this script changed."""

import io
import os
import struct
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ZIP_DIR = os.path.join(ROOT, "tests", "data", "Utility", "zip")
SEED_DIR = os.path.join(ROOT, "tests", "data", "fuzz", "zip")
DATE = (1980, 1, 1, 0, 0, 0)


def make(entries, force_zip64=False):
    """entries: (name, bytes or None for a directory, method, external_attr)."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name, data, method, attr in entries:
            info = zipfile.ZipInfo(name, DATE)
            info.compress_type = method
            info.create_system = 3
            info.external_attr = attr
            if data is None:
                info.external_attr |= 0x10
                archive.writestr(info, b"")
            elif force_zip64:
                with archive.open(info, "w", force_zip64=True) as out:
                    out.write(data)
            else:
                archive.writestr(info, data)
    return bytearray(buffer.getvalue())


def entry_offsets(blob):
    """(central header offset, local header offset) of each entry."""
    eocd = blob.rfind(b"PK\x05\x06")
    count, size, start = struct.unpack_from("<HII", blob, eocd + 10)
    result = []
    at = start
    for _ in range(count):
        name_len, extra_len, comment_len = struct.unpack_from("<HHH", blob, at + 28)
        local = struct.unpack_from("<I", blob, at + 42)[0]
        result.append((at, local))
        at += 46 + name_len + extra_len + comment_len
    return result


def patch_sizes(blob, index, uncompressed):
    central, local = entry_offsets(blob)[index]
    struct.pack_into("<I", blob, local + 22, uncompressed)
    struct.pack_into("<I", blob, central + 24, uncompressed)


def patch_name_byte(blob, index, position, value):
    central, local = entry_offsets(blob)[index]
    blob[local + 30 + position] = value
    blob[central + 46 + position] = value


def set_utf8_flag(blob, index):
    central, local = entry_offsets(blob)[index]
    for at in (local + 6, central + 8):
        flags = struct.unpack_from("<H", blob, at)[0]
        struct.pack_into("<H", blob, at, flags | 0x800)


def patch_local_name_byte(blob, index, position, value):
    _, local = entry_offsets(blob)[index]
    blob[local + 30 + position] = value


def overlapping():
    """Two stored entries, the second's local header and data lying inside the
    first one's data: each entry is sound on its own, together they unpack
    the same bytes twice."""
    inner_data = TEXT
    crc = zipfile.crc32(inner_data) & 0xFFFFFFFF

    def local(name, data, crc_value):
        return struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0, 0x21, crc_value, len(data), len(data),
                           len(name), 0) + name + data

    def central(name, size, crc_value, offset):
        return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 0, 0, 0x21, crc_value, size, size,
                           len(name), 0, 0, 0, 0, 0, offset) + name

    inner = local(b"b.txt", inner_data, crc)
    outer_crc = zipfile.crc32(inner) & 0xFFFFFFFF
    outer_header_size = 30 + len(b"a.txt")
    blob = local(b"a.txt", inner, outer_crc)
    directory = central(b"a.txt", len(inner), outer_crc, 0) + central(b"b.txt", len(inner_data), crc,
                                                                      outer_header_size)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 2, 2, len(directory), len(blob), 0)
    return bytearray(blob + directory + end)


def flip_data_byte(blob, index, position):
    _, local = entry_offsets(blob)[index]
    name_len, extra_len = struct.unpack_from("<HH", blob, local + 26)
    blob[local + 30 + name_len + extra_len + position] ^= 0xFF


def write(folder, name, blob):
    with open(os.path.join(folder, name), "wb") as out:
        out.write(bytes(blob))


STORED = zipfile.ZIP_STORED
DEFLATED = zipfile.ZIP_DEFLATED
FILE = 0o100644 << 16
LINK = (0o120777) << 16
TEXT = b"Vantorix zip test data\n" * 8


def main():
    os.makedirs(ZIP_DIR, exist_ok=True)
    os.makedirs(SEED_DIR, exist_ok=True)

    archives = {}
    archives["abc.zip"] = make([("a/b/c.txt", TEXT, DEFLATED, FILE)])
    archives["dir-after-file.zip"] = make([
        ("a/x", b"x\n", STORED, FILE),
        ("a/", None, STORED, 0),
        ("b\\y", b"y\n", DEFLATED, FILE),
    ])

    # Unsafe names, each after a harmless entry: the archive is refused whole.
    hostile = {
        "absolute.zip": "/etc/evil",
        "dotdot.zip": "a/../../evil",
        "drive.zip": "C:/evil",
        "backslash.zip": "a\\..\\..\\evil",
        "long-name.zip": "d/" * 2100 + "evil",
    }
    for file_name, name in hostile.items():
        archives[file_name] = make([("ok.txt", b"ok\n", STORED, FILE), (name, b"evil\n", STORED, FILE)])
    # A byte-order mark before "/": decoding the name as UTF-8 drops the mark.
    bom = make([("ok.txt", b"ok\n", STORED, FILE), ("___/etc/evil", b"evil\n", STORED, FILE)])
    for position, value in enumerate(b"\xef\xbb\xbf"):
        patch_name_byte(bom, 1, position, value)
    set_utf8_flag(bom, 1)
    archives["bom-absolute.zip"] = bom
    nul = make([("ok.txt", b"ok\n", STORED, FILE), ("evil_.txt", b"evil\n", STORED, FILE)])
    patch_name_byte(nul, 1, 4, 0)
    archives["nul-name.zip"] = nul

    # Names without the UTF-8 flag are code page 437: 0x81 is "ü", 0x9A "Ü".
    cp437 = make([("T_r.gsm", b"lower\n", STORED, FILE), ("T_r.txt", b"upper\n", STORED, FILE)])
    patch_name_byte(cp437, 0, 1, 0x81)
    patch_name_byte(cp437, 1, 1, 0x9A)
    archives["cp437-names.zip"] = cp437
    archives["duplicate-names.zip"] = make([("a.txt", b"one\n", STORED, FILE), ("a.txt", b"two\n", STORED, FILE)])
    mismatch = make([("ok.txt", b"ok\n", STORED, FILE), ("good.txt", b"x\n", STORED, FILE)])
    patch_local_name_byte(mismatch, 1, 0, ord("f"))
    archives["local-name-mismatch.zip"] = mismatch
    archives["overlapping.zip"] = overlapping()

    # Damaged data: a flipped byte in a stored entry fails its checksum.
    crc = make([("ok.txt", b"ok\n", STORED, FILE), ("data.bin", TEXT, STORED, FILE)])
    flip_data_byte(crc, 1, 10)
    archives["bad-crc.zip"] = crc

    # Headers that lie about the size, local and central header alike.
    larger = make([("data.txt", TEXT, DEFLATED, FILE)])
    patch_sizes(larger, 0, len(TEXT) + 100)
    archives["size-larger.zip"] = larger
    huge = make([("data.txt", TEXT, DEFLATED, FILE)])
    patch_sizes(huge, 0, 0xF0000000)
    archives["size-huge.zip"] = huge

    whole = make([("one.txt", TEXT, DEFLATED, FILE), ("two.txt", TEXT, DEFLATED, FILE)])
    archives["truncated.zip"] = whole[: len(whole) // 2]

    for name, blob in archives.items():
        write(ZIP_DIR, name, blob)

    # Fuzz seeds: the shapes a product archive takes, plus the bad ones above.
    seeds = {
        "bundle.zip": make([
            ("manifest.xml", b"<manifest><file type=\"dll\"><name>Tool.apx</name></file></manifest>", DEFLATED, FILE),
            ("Tool.apx/", None, STORED, 0),
            ("Tool.apx/Contents/Info.plist", TEXT, DEFLATED, FILE),
            ("Tool.apx/Contents/MacOS/Tool", TEXT * 4, DEFLATED, FILE),
            ("__MACOSX/Tool.apx/._Info.plist", b"\x00\x05\x16\x07", STORED, FILE),
        ]),
        "link.zip": make([("lib/libtool.dylib", TEXT, DEFLATED, FILE), ("lib/current", b"libtool.dylib", STORED, LINK)]),
        "zip64.zip": make([("big/one.bin", TEXT, DEFLATED, FILE), ("big/two.bin", b"", STORED, FILE)],
                          force_zip64=True),
        "empty.zip": make([]),
    }
    for name, blob in seeds.items():
        write(SEED_DIR, name, blob)
    for name, blob in archives.items():
        write(SEED_DIR, name, blob)


if __name__ == "__main__":
    main()
