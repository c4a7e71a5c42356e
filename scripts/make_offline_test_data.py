#!/usr/bin/env python3
"""Writes the small offline install files ("*.zfinstall") that the offline
tests read: one sound file and hostile or damaged variants of it, plus the
seed inputs of the offline fuzz target. Run from the repository root:

    python3 scripts/make_offline_test_data.py

The output is deterministic (fixed dates and ids), so regenerating changes
nothing unless this script or the stand-in's sample archive changed."""

import hashlib
import io
import os
import shutil
import struct
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT_DIR = os.path.join(ROOT, "tests", "data", "app", "offline")
SEED_DIR = os.path.join(ROOT, "tests", "data", "fuzz", "offline")
ARCHIVE = os.path.join(ROOT, "tests", "data", "Web", "service", "files", "archives", "StairMaker-19-INT.zip")
DATE = (2015, 6, 1, 9, 0, 0)
NAME = "0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D"
URL = "http://127.0.0.1:9/files/archives/StairMaker-19-INT.zip"
PRODUCT = "4F1C2A7E-0D3B-4C55-9E61-2B7D8A9C0E11"


def catalogue(version="2.05", sha256=None, report=True):
    sha = ' sha256="%s"' % sha256 if sha256 else ""
    installer = "\t\t<installer>\n\t\t\t<version>%s</version>\n\t\t</installer>\n" % version if version is not None else ""
    report_text = ("\t<report>\n\t\t<system>\n\t\t\t<name>Mac</name>\n\t\t\t<version>12</version>\n"
                   "\t\t\t<wordSize>0</wordSize>\n\t\t</system>\n\t\t<macAddress>02-00-5E-10-00-01</macAddress>\n"
                   + installer + "\t</report>\n") if report else ""
    return ("""<?xml version="1.0" encoding="UTF-8" ?>
<vantorixtools version="1" target="commercial">
\t<installation>
\t\t<products>
\t\t\t<product id="%s" edit="2015-06-01T09:00:00Z">
\t\t\t\t<name>Stair Maker</name>
\t\t\t\t<code>SM</code>
\t\t\t\t<platforms>
\t\t\t\t\t<platform owned="1" purchasedate="2015-06-02T00:00:00Z">
\t\t\t\t\t\t<signature host="ArchiCAD" version="19"/>
\t\t\t\t\t\t<version>2.10</version>
\t\t\t\t\t\t<details>
\t\t\t\t\t\t\t<releaseDate>2015-06-01T00:00:00Z</releaseDate>
\t\t\t\t\t\t\t<releasesize>0.001</releasesize>
\t\t\t\t\t\t\t<releaseurl locale="INT"%s>%s</releaseurl>
\t\t\t\t\t\t</details>
\t\t\t\t\t</platform>
\t\t\t\t</platforms>
\t\t\t</product>
\t\t</products>
\t</installation>
%s\t<client edited="2015-06-01T09:00:00Z">
\t\t<name>Anna Berg</name>
\t\t<email>anna.berg@example.com</email>
\t\t<password></password>
\t</client>
</vantorixtools>
""" % (PRODUCT, sha, URL, report_text)).encode()


def archive_map(name=NAME):
    return ("""<?xml version="1.0" encoding="UTF-8" ?>
<archiveMap>
\t<product>
\t\t<url>%s</url>
\t\t<name>%s</name>
\t</product>
</archiveMap>
""" % (URL, name)).encode()


IMAGES = b'<?xml version="1.0" encoding="UTF-8" ?>\n<imageMap>\n</imageMap>\n'
EULAS = b'<?xml version="1.0" encoding="UTF-8" ?>\n<eulaMap>\n</eulaMap>\n'


def make(entries):
    """entries: (name, bytes); every entry deflated, as the installer writes."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as out:
        for name, data in entries:
            info = zipfile.ZipInfo(name, DATE)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o100644 << 16
            out.writestr(info, data)
    return bytearray(buffer.getvalue())


def entry_offsets(blob):
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


def package(archive_bytes, name=NAME + ".zfpkg", listing=None, map_name=NAME, extra=()):
    sha = hashlib.sha256(archive_bytes).hexdigest()
    records = [("ProductListing.xml", listing if listing is not None else catalogue(sha256=sha)),
               ("ImageMap.xml", IMAGES), ("ArchiveMap.xml", archive_map(map_name)), ("EULAMap.xml", EULAS)]
    entries = records + ([(name, archive_bytes)] if name else []) + list(extra)
    return make(entries)


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    os.makedirs(SEED_DIR, exist_ok=True)
    with open(ARCHIVE, "rb") as source:
        archive = source.read()
    sha = hashlib.sha256(archive).hexdigest()

    files = {}
    files["good.zfinstall"] = package(archive)
    files["no-archives.zfinstall"] = package(archive, name=None)
    # Names that are not the writer's: each is refused before anything is
    # written outside the temporary folder.
    files["traversal.zfinstall"] = package(archive, name="../../" + NAME + ".zfpkg")
    files["traversal-in-map.zfinstall"] = package(archive, map_name="../../../" + NAME)
    files["two-dots.zfinstall"] = package(archive, name=NAME + ".zip.zfpkg", map_name=NAME + ".zip")
    files["folder.zfinstall"] = package(archive, name="sub/" + NAME + ".zfpkg")
    files["not-listed.zfinstall"] = package(archive, name="FFFFFFFF-4E5F-4A6B-8C7D-9E0F1A2B3C4D.zfpkg")
    files["other-name.zfinstall"] = package(archive, extra=[("readme.txt", b"hello\n")])
    # Damaged records and other versions.
    whole = catalogue(sha256=sha)
    files["damaged-catalogue.zfinstall"] = package(archive, listing=whole[: len(whole) // 2])
    files["other-version.zfinstall"] = package(archive, listing=catalogue(version="2.04", sha256=sha))
    files["no-version.zfinstall"] = package(archive, listing=catalogue(version=None, sha256=sha))
    files["checksum.zfinstall"] = package(archive, listing=catalogue(sha256="0" * 64))
    # A bomb: 16 MB of zeros that its headers declare as 1000 bytes.
    bomb = package(archive, name=None, extra=[(NAME + ".zfpkg", bytes(16 * 1024 * 1024))])
    patch_sizes(bomb, 4, 1000)
    files["bomb.zfinstall"] = bomb
    files["no-catalogue.zfinstall"] = make([("ArchiveMap.xml", archive_map()), (NAME + ".zfpkg", archive)])
    files["not-a-zip.zfinstall"] = bytearray(b"This is not an offline install file.\n" * 4)
    whole_file = package(archive)
    files["truncated.zfinstall"] = whole_file[: len(whole_file) * 2 // 3]

    for name, blob in files.items():
        with open(os.path.join(OUT_DIR, name), "wb") as out:
            out.write(bytes(blob))
    # Fuzz seeds: the same files, but the bomb (its zeros make a large seed)
    # with a small body.
    small_bomb = package(archive, name=None, extra=[(NAME + ".zfpkg", bytes(64 * 1024))])
    patch_sizes(small_bomb, 4, 1000)
    for name, blob in files.items():
        seed = small_bomb if name == "bomb.zfinstall" else blob
        with open(os.path.join(SEED_DIR, name), "wb") as out:
            out.write(bytes(seed))


if __name__ == "__main__":
    main()
