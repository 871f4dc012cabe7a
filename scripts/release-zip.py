#!/usr/bin/env python3
"""Packs a folder into a zip that depends only on the files' names and contents.

usage: release-zip.py FOLDER OUT.zip EPOCH

Every file under FOLDER goes in as FOLDER's name/relative path, in sorted order, with the
time EPOCH (seconds, UTC), the same permissions and the same compression, and without
folder entries or extra fields: the same inputs give the same bytes.
"""
import os
import sys
import time
import zipfile


def main():
    folder, out, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
    top = os.path.basename(os.path.normpath(folder))
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip times start in 1980
    names = []
    for base, dirs, files in os.walk(folder):
        for name in files:
            names.append(os.path.relpath(os.path.join(base, name), folder).replace(os.sep, "/"))
    with zipfile.ZipFile(out, "w") as archive:
        for name in sorted(names):
            info = zipfile.ZipInfo(f"{top}/{name}", date_time=stamp)
            info.create_system = 3
            info.external_attr = 0o100644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(folder, name), "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)


if __name__ == "__main__":
    main()
