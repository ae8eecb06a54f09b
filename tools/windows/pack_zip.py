#!/usr/bin/env python3
"""pack_zip.py -- writes a zip of the given files under their own names, with a fixed date and no
extra fields, so that the same files always give the same zip.

    pack_zip.py ZIP FILE...
"""
import os
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    for path in sys.argv[2:]:
        entry = zipfile.ZipInfo(os.path.basename(path), date_time=(2026, 1, 1, 0, 0, 0))
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.external_attr = 0o644 << 16
        with open(path, "rb") as f:
            archive.writestr(entry, f.read())
