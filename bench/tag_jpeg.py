#!/usr/bin/env python3
"""Adds a marker segment to a JPEG file right after its SOI marker, for the benchmark's
turned and colour-tagged twins of a picture (the scan data stay as they are).

    tag_jpeg.py orientation N IN.jpg OUT.jpg   an Exif APP1 stating orientation N (SHORT)
    tag_jpeg.py icc PROFILE.icc IN.jpg OUT.jpg the profile in APP2 ICC_PROFILE segments
"""

import struct
import sys

SOI = b"\xff\xd8"
CHUNK = 65519  # the most profile bytes one APP2 segment holds


def segment(marker, payload):
    return struct.pack(">BBH", 0xFF, marker, len(payload) + 2) + payload


def exif_orientation(value):
    # A little-endian TIFF header, IFD0 at 8 with one entry: Orientation, SHORT, count 1.
    tiff = b"II*\x00" + struct.pack("<IHHHIHHI", 8, 1, 0x0112, 3, 1, value, 0, 0)
    return segment(0xE1, b"Exif\x00\x00" + tiff)


def icc_segments(profile):
    chunks = [profile[i:i + CHUNK] for i in range(0, len(profile), CHUNK)]
    return b"".join(segment(0xE2, b"ICC_PROFILE\x00" + bytes([n + 1, len(chunks)]) + c)
                    for n, c in enumerate(chunks))


def main(argv):
    if len(argv) != 5 or argv[1] not in ("orientation", "icc"):
        sys.stderr.write(__doc__)
        return 2
    with open(argv[3], "rb") as f:
        jpeg = f.read()
    if not jpeg.startswith(SOI):
        sys.stderr.write(f"tag_jpeg: {argv[3]} is no JPEG\n")
        return 1
    if argv[1] == "orientation":
        added = exif_orientation(int(argv[2]))
    else:
        with open(argv[2], "rb") as f:
            added = icc_segments(f.read())
    with open(argv[4], "wb") as f:
        f.write(SOI + added + jpeg[2:])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
