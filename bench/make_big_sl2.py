#!/usr/bin/env python3
"""Writes a large SL2 sonar log with full echo data, as a unit records it.

usage: make_big_sl2.py SIZE_MB OUT.sl2

Every ping is stored twice: on the primary channel and on the secondary one, each with
3072 bytes of echo samples (3216-byte frames). The boat zigzags over a lake of about
1 km at a few knots, depths up to 30 m, one ping every 100 ms; the log has a GPS time.
About one ping in 200 has no bottom and one in 500 no position, as in real logs.
"""
import math
import struct
import sys

R = 6356752.3142  # the logs' Mercator radius
HEADER = 144
ECHO = 3072
FRAME = HEADER + ECHO


def main():
    size_mb, path = int(sys.argv[1]), sys.argv[2]
    pings = size_mb * 1024 * 1024 // (2 * FRAME)
    echo = bytes((i * 37) & 0xFF for i in range(ECHO))
    header = bytearray(HEADER)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHHH", 2, 1, 3200, 0))
        offset = 8
        chunk = []
        for i in range(pings):
            lat = 47.0 + (i % 2000) * 0.000005
            lon = 8.0 + (i // 2000) * 0.00002
            depth_ft = 0.0 if i % 200 == 7 else 3.0 + 95.0 * abs(math.sin(i * 0.0007))
            flags = 0x0080 if i % 500 == 11 else 0x0090
            east = int(round(lon * math.pi / 180 * R))
            north = int(round(R * math.log(math.tan(math.pi / 4 + lat * math.pi / 360))))
            for channel in (0, 1):
                struct.pack_into("<I", header, 0, offset)
                struct.pack_into("<HHHHI", header, 28, FRAME, FRAME, channel, ECHO, i)
                struct.pack_into("<I", header, 60, 1401624000)
                struct.pack_into("<ff", header, 64, depth_ft, 0.0)
                struct.pack_into("<ii", header, 108, east, north)
                struct.pack_into("<H", header, 132, flags)
                struct.pack_into("<I", header, 140, i * 100)
                chunk.append(bytes(header))
                chunk.append(echo)
                offset += FRAME
            if len(chunk) >= 4096:
                f.write(b"".join(chunk))
                chunk = []
        f.write(b"".join(chunk))
    print("%s: %d pings, %d bytes" % (path, pings, offset), file=sys.stderr)


if __name__ == "__main__":
    main()
