"""Rewrites zip and tar.gz packages so that two builds of one commit give the
same bytes: entries in name order (not the order a directory listing gave),
every time set to SOURCE_DATE_EPOCH, owner root, no time or name in the gzip
header, and zip times in UTC (a zip's times are local clock readings, which
would otherwise depend on the zone of the machine that built it).

    SOURCE_DATE_EPOCH=... python3 packaging/repack.py PACKAGE...
"""

import gzip
import io
import os
import sys
import tarfile
import time
import zipfile


def repack_tar_gz(path, epoch):
    with tarfile.open(path) as old:
        members = sorted(old.getmembers(), key=lambda member: member.name)
        contents = {m.name: old.extractfile(m).read() for m in members if m.isfile()}
    raw = io.BytesIO()
    with tarfile.open(fileobj=raw, mode="w", format=tarfile.GNU_FORMAT) as new:
        for member in members:
            member.mtime = epoch
            member.uid = member.gid = 0
            member.uname = member.gname = "root"
            data = contents.get(member.name)
            new.addfile(member, io.BytesIO(data) if data is not None else None)
    with open(path, "wb") as out, gzip.GzipFile(filename="", mode="wb", fileobj=out, compresslevel=9,
                                                  mtime=0) as packed:
        packed.write(raw.getvalue())


def repack_zip(path, epoch):
    date_time = time.gmtime(max(epoch, 315532800))[:6]  # a zip cannot hold a time before 1980
    with zipfile.ZipFile(path) as old:
        entries = sorted((info.filename, info.external_attr, old.read(info)) for info in old.infolist())
    with zipfile.ZipFile(path, "w") as new:
        for name, attributes, data in entries:
            info = zipfile.ZipInfo(name, date_time)
            info.create_system = 3  # the mode in external_attr is a Unix one
            # Unix permissions, as an unzip on Linux applies them.
            info.external_attr = attributes if attributes >> 16 else 0o100644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            new.writestr(info, data, compresslevel=9)


def main(paths):
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    for path in paths:
        if path.endswith(".tar.gz"):
            repack_tar_gz(path, epoch)
        elif path.endswith(".zip"):
            repack_zip(path, epoch)
        else:
            sys.exit(f"repack.py: {path}: neither .zip nor .tar.gz")


if __name__ == "__main__":
    main(sys.argv[1:])
