#!/usr/bin/env python3
"""Makes the sample lake under examples/sample-lake/: a made-up lake with one island.

shoreline.gpx  - outlines without depth: the outer shore and the island, one track
                 segment each (closed rings), as drawn by hand in a map program.
soundings.gpx  - depth soundings of two survey runs: zig-zag transects across the
                 lake, depth in centimetres in the h:depth extension of every point.

The output is deterministic; run it again after changing it and commit the result.
Later additions (other formats) go beside these files.
"""
import math
import os
import random

CENTER_LAT, CENTER_LON = 46.9480, 7.4470  # a made-up lake; nothing real is there
RADIUS_LAT, RADIUS_LON = 0.0090, 0.0150   # about 1.0 km by 1.1 km
ISLAND = (46.9500, 7.4420, 0.0012, 0.0018)  # centre lat, lon, radii
MAX_DEPTH_CM = 2350.0

HEADER = ('<?xml version="1.0" encoding="UTF-8" standalone="no"?>\n'
          '<gpx version="1.1" creator="" xmlns="http://www.topografix.com/GPX/1/1" '
          'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" '
          'xsi:schemaLocation="http://www.topografix.com/GPX/1/1 '
          'http://www.topografix.com/GPX/1/1/gpx.xsd">\n')
MARKERS = ('<h:id>1</h:id><h:visible>true</h:visible><h:share>false</h:share>'
           '<h:status>1</h:status><h:delta>false</h:delta>')


def shore_radius(angle):
    """Irregular shore: the ellipse's radius scaled by a few smooth bays."""
    return 1.0 + 0.10 * math.sin(3 * angle + 0.4) + 0.06 * math.sin(5 * angle + 1.3) \
        + 0.04 * math.cos(7 * angle)


def ring(center_lat, center_lon, r_lat, r_lon, count, wobble):
    points = []
    for i in range(count + 1):  # closed: the last point repeats the first
        a = 2 * math.pi * (i % count) / count
        r = shore_radius(a) if wobble else 1.0 + 0.08 * math.sin(2 * a)
        points.append((center_lat + r_lat * r * math.sin(a), center_lon + r_lon * r * math.cos(a)))
    return points


def relative_radius(lat, lon):
    """0 in the middle of the lake, 1 on the shore, above 1 outside."""
    y = (lat - CENTER_LAT) / RADIUS_LAT
    x = (lon - CENTER_LON) / RADIUS_LON
    a = math.atan2(y, x)
    return math.hypot(x, y) / shore_radius(a)


def island_radius(lat, lon):
    y = (lat - ISLAND[0]) / ISLAND[2]
    x = (lon - ISLAND[1]) / ISLAND[3]
    a = math.atan2(y, x)
    return math.hypot(x, y) / (1.0 + 0.08 * math.sin(2 * a))


def depth_cm(lat, lon):
    r = relative_radius(lat, lon)
    if r >= 1.0 or island_radius(lat, lon) <= 1.0:
        return 0.0
    d = MAX_DEPTH_CM * (1 - r * r) * (0.85 + 0.15 * math.cos(3 * lon * 1000))
    # the ground rises towards the island
    d *= min(1.0, (island_radius(lat, lon) - 1.0) / 1.5 + 0.1)
    return max(d, 30.0)


def gpx_time(t):
    day, rest = divmod(int(t), 86400)
    h, rest = divmod(rest, 3600)
    m, s = divmod(rest, 60)
    return "2014-06-%02dT%02d:%02d:%02dZ" % (day + 1, h, m, s)


def write_point(out, lat, lon, depth, t=None):
    out.append('\t\t<trkpt lat="%.7f" lon="%.7f">\n' % (lat, lon))
    if t is not None:
        out.append('\t\t\t<time>%s</time>\n' % gpx_time(t))
    out.append('\t\t\t\t<extensions><h:depth>%.1f</h:depth>%s</extensions>\n' % (depth, MARKERS))
    out.append('\t\t</trkpt>\n')


def write_track(out, name, segments):
    out.append('<trk>\n\t<name>%s</name>\n' % name)
    for seg in segments:
        out.append('\t<trkseg>\n')
        for p in seg:
            write_point(out, *p)
        out.append('\t</trkseg>\n')
    out.append('</trk>\n')


def transects(rng, day, count, angle):
    """Zig-zag survey lines across the lake, cut where they leave the water."""
    segments, current = [], []
    t = day * 86400 + 9 * 3600
    cos_a, sin_a = math.cos(angle), math.sin(angle)
    for k in range(count):
        offset = -1.0 + 2.0 * (k + 0.5) / count
        steps = range(-120, 121) if k % 2 == 0 else range(120, -121, -1)
        for s in steps:
            u, v = s / 110.0, offset
            x, y = u * cos_a - v * sin_a, u * sin_a + v * cos_a
            lat = CENTER_LAT + y * RADIUS_LAT + rng.gauss(0, 0.000008)
            lon = CENTER_LON + x * RADIUS_LON + rng.gauss(0, 0.000008)
            d = depth_cm(lat, lon)
            t += 3
            if d > 0 and relative_radius(lat, lon) < 0.97:
                noise = rng.gauss(0, 8)
                current.append((lat, lon, round(max(d + noise, 25.0), 1), t))
            elif current:
                if len(current) > 5:
                    segments.append(current)
                current = []
    if len(current) > 5:
        segments.append(current)
    return segments


def main():
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sample-lake")
    os.makedirs(here, exist_ok=True)
    rng = random.Random(20140601)

    shore = [(lat, lon, 0.0) for lat, lon in ring(CENTER_LAT, CENTER_LON, RADIUS_LAT, RADIUS_LON, 180, True)]
    island = [(lat, lon, 0.0) for lat, lon in ring(ISLAND[0], ISLAND[1], ISLAND[2], ISLAND[3], 40, False)]
    out = [HEADER]
    write_track(out, "Shoreline", [shore])
    write_track(out, "Island", [island])
    out.append('\n</gpx>')
    with open(os.path.join(here, "shoreline.gpx"), "w", newline="\n") as f:
        f.write("".join(out))

    out = [HEADER]
    write_track(out, "Survey 2014-06-01", transects(rng, 0, 16, 0.15))
    write_track(out, "Survey 2014-06-02", transects(rng, 1, 12, 1.45))
    out.append('\n</gpx>')
    with open(os.path.join(here, "soundings.gpx"), "w", newline="\n") as f:
        f.write("".join(out))


if __name__ == "__main__":
    main()
