#!/usr/bin/env python3
"""Writes a large SL2 sonar log, as a unit records it, over a made-up lake.

usage: make_big_sl2.py [--pings N] [--echo BYTES] [--shore SHORE.gpx] [SIZE_MB] OUT.sl2

  SIZE_MB      as many pings as fill SIZE_MB megabytes (default: 1024 unless --pings)
  --pings N    exactly N pings instead
  --echo BYTES echo samples per frame (default 3072, as a unit stores them); 0 keeps the
               file to 288 bytes a ping, so 10,000,000 soundings take 2.9 GB
  --shore F    also writes the lake's shoreline as a GPX track (depth 0), for `chart`

Every ping is stored twice: on the primary channel and on the secondary one. The lake is
about 2.8 km by 2 km with bays, up to 28 m deep in the middle; the boat crosses it on
straight runs from shore to shore, each turning by about half a turn (at random, always
the same), so the runs cross everywhere. One ping every 100 ms at about 2 m/s; the log has a GPS time.
About one ping in 200 has no bottom and one in 500 no position, as in real logs.
"""
import argparse
import math
import random
import struct
import sys

R = 6356752.3142  # the logs' Mercator radius
HEADER = 144
LAT0, LON0 = 47.0, 8.0
HALF_X, HALF_Y = 1400.0, 1000.0  # the lake's half axes, ground metres
STEP = 0.2  # metres a ping
# offset, size, previous size, channel, packet size, index, start time, depth and keel
# (feet), easting, northing, flags, milliseconds
FRAME = struct.Struct("<I24xHHHHI20xIff36xii16xH6xI")
assert FRAME.size == HEADER


def shore_radius(angle):
    """The shore's distance from the middle in units of the half axes: a few smooth bays."""
    return 1.0 + 0.10 * math.sin(3 * angle + 0.4) + 0.06 * math.sin(5 * angle + 1.3) \
        + 0.04 * math.cos(7 * angle)


def depth_m(x, y):
    """Depth in metres at ground metres (x, y) from the middle; 0.5 m at the shore."""
    a = math.atan2(y / HALF_Y, x / HALF_X)
    r = min(1.0, math.hypot(x / HALF_X, y / HALF_Y) / shore_radius(a))
    bowl = (1.0 - r * r) ** 1.3
    return 0.5 + 27.5 * bowl + 3.0 * math.sin(x / 170.0) * math.cos(y / 230.0) * bowl


def mercator():
    """Easting and northing of the middle, and Mercator metres per ground metre."""
    east0 = LON0 * math.pi / 180 * R
    north0 = R * math.log(math.tan(math.pi / 4 + LAT0 * math.pi / 360))
    return east0, north0, 1.0 / math.cos(LAT0 * math.pi / 180)


def write_shore(path):
    east0, north0, k = mercator()
    count = 720
    with open(path, "w", newline="\n") as f:
        f.write('<?xml version="1.0" encoding="UTF-8" standalone="no"?>\n'
                '<gpx version="1.1" creator="" xmlns="http://www.topografix.com/GPX/1/1">\n'
                '<trk>\n\t<name>Shoreline</name>\n\t<trkseg>\n')
        for i in range(count + 1):  # closed: the last point repeats the first
            a = 2 * math.pi * (i % count) / count
            r = shore_radius(a)
            east = east0 + k * HALF_X * r * math.cos(a)
            north = north0 + k * HALF_Y * r * math.sin(a)
            lon = east / R * 180 / math.pi
            lat = (2 * math.atan(math.exp(north / R)) - math.pi / 2) * 180 / math.pi
            f.write('\t\t<trkpt lat="%.7f" lon="%.7f">\n'
                    '\t\t\t<extensions><h:depth>0.0</h:depth></extensions>\n'
                    '\t\t</trkpt>\n' % (lat, lon))
        f.write('\t</trkseg>\n</trk>\n\n</gpx>')


def runs():
    """Endless straight runs across the lake, as (start x, start y, end x, end y)."""
    rng = random.Random(1)
    a = 0.3
    inner = 0.92  # the boat keeps off the shore
    while True:
        b = a + math.pi + rng.uniform(-1.0, 1.0)  # to the far side, so that runs cross
        yield (inner * HALF_X * shore_radius(a) * math.cos(a),
               inner * HALF_Y * shore_radius(a) * math.sin(a),
               inner * HALF_X * shore_radius(b) * math.cos(b),
               inner * HALF_Y * shore_radius(b) * math.sin(b))
        a = b


def write_log(path, pings, echo_size):
    frame = HEADER + echo_size
    echo = bytes((i * 37) & 0xFF for i in range(echo_size))
    east0, north0, k = mercator()
    course = runs()
    x0, y0, x1, y1 = next(course)
    done, length = 0.0, math.hypot(x1 - x0, y1 - y0)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHHH", 2, 1, 3200, 0))
        offset = 8
        chunk = []
        for i in range(pings):
            if done > length:
                x0, y0, x1, y1 = next(course)
                done, length = 0.0, math.hypot(x1 - x0, y1 - y0)
            t = done / length
            x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
            done += STEP
            depth_ft = 0.0 if i % 200 == 7 else depth_m(x, y) / 0.3048
            flags = 0x0080 if i % 500 == 11 else 0x0090
            east = int(round(east0 + k * x))
            north = int(round(north0 + k * y))
            for channel in (0, 1):
                chunk.append(FRAME.pack(offset, frame, frame, channel, echo_size, i, 1401624000,
                                        depth_ft, 0.0, east, north, flags, i * 100))
                if echo_size:
                    chunk.append(echo)
                offset += frame
            if len(chunk) >= 8192:
                f.write(b"".join(chunk))
                chunk = []
        f.write(b"".join(chunk))
    print("%s: %d pings, %d bytes" % (path, pings, offset), file=sys.stderr)


def main():
    parser = argparse.ArgumentParser(description="Writes a large SL2 sonar log.")
    parser.add_argument("size_mb", nargs="?", type=int, help="size in megabytes")
    parser.add_argument("out", help="the .sl2 file")
    parser.add_argument("--pings", type=int, help="number of pings (instead of SIZE_MB)")
    parser.add_argument("--echo", type=int, default=3072, help="echo bytes per frame")
    parser.add_argument("--shore", help="also write the shoreline to this GPX file")
    args = parser.parse_args()
    if not 0 <= args.echo <= 65535 - HEADER:
        parser.error("--echo takes 0 to %d bytes" % (65535 - HEADER))
    if args.pings is not None and args.size_mb is not None:
        parser.error("give SIZE_MB or --pings, not both")
    if args.pings is not None:
        pings = args.pings
    else:
        pings = (args.size_mb or 1024) * 1024 * 1024 // (2 * (HEADER + args.echo))
    write_log(args.out, pings, args.echo)
    if args.shore:
        write_shore(args.shore)


if __name__ == "__main__":
    main()
