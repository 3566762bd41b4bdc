#!/usr/bin/env python3
"""Makes the sample lakes: under examples/sample-lake/ a made-up lake with two islands, and
under examples/second-lake/ a smaller made-up lake known only from its published depth
contours.

In examples/sample-lake/:

shoreline.gpx       - outlines without depth: the outer shore and the two islands, one
                      track segment each (closed rings), as drawn by hand in a map program.
shoreline.kml       - the same outlines as a map program saves them: one placemark with a
                      LineString path per outline, in a folder, one coordinate tuple a line.
soundings.gpx       - depth soundings of both survey days: zig-zag transects across the
                      lake, depth in centimetres in the h:depth extension of every point.
by-day/soundings-day1.gpx, by-day/soundings-day2.gpx
                    - the same soundings, one file per survey day; make_sample_ht.sh turns
                      them into by-day/day1.ht and by-day/day2.ht with the batch tool.
depth-colours.cmt   - a colour model (0% Aqua, 40% Lime, 70% Yellow, 100% Navy), CR LF.

In examples/second-lake/:
contours-lake.shp,  - the lake as a shapefile of depth contour lines (polylines,
contours-lake.shx,    shape type 3) in UTM zone 32 north, the depth in metres in the
contours-lake.dbf     table column DEPTH_M (one line a record, each a closed ring): load
                      it with --utm 32 --depth-field DEPTH_M --depth-scale 100.

HT files hold the time they were written; everything else here is byte for byte the same
on every run. Change the script, run it (and make_sample_ht.sh), and commit the result.
"""
import math
import os
import random
import struct

CENTER_LAT, CENTER_LON = 46.9480, 7.4470  # a made-up lake; nothing real is there
RADIUS_LAT, RADIUS_LON = 0.0090, 0.0150   # about 1.0 km by 1.1 km
ISLAND = (46.9500, 7.4420, 0.0012, 0.0018)  # centre lat, lon, radii
ISLAND2 = (46.9450, 7.4530, 0.0008, 0.0011)
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


def island_radius(lat, lon, island=ISLAND):
    y = (lat - island[0]) / island[2]
    x = (lon - island[1]) / island[3]
    a = math.atan2(y, x)
    return math.hypot(x, y) / (1.0 + 0.08 * math.sin(2 * a))


def depth_cm(lat, lon):
    r = relative_radius(lat, lon)
    if r >= 1.0 or island_radius(lat, lon) <= 1.0 or island_radius(lat, lon, ISLAND2) <= 1.0:
        return 0.0
    d = MAX_DEPTH_CM * (1 - r * r) * (0.85 + 0.15 * math.cos(3 * lon * 1000))
    # the ground rises towards the islands
    d *= min(1.0, (island_radius(lat, lon) - 1.0) / 1.5 + 0.1)
    d *= min(1.0, (island_radius(lat, lon, ISLAND2) - 1.0) / 1.2 + 0.1)
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


def write_kml(path, outlines):
    """Outlines as a map program saves drawn paths: placemarks in a folder."""
    out = ['<?xml version="1.0" encoding="UTF-8"?>\n'
           '<kml xmlns="http://www.opengis.net/kml/2.2">\n<Document>\n'
           '\t<name>Sample lake</name>\n'
           '\t<Style id="shore"><LineStyle><color>ff00aa00</color><width>2</width></LineStyle></Style>\n'
           '\t<Folder>\n\t\t<name>Sample lake</name>\n']
    for name, points in outlines:
        out.append('\t\t<Placemark>\n\t\t\t<name>%s</name>\n\t\t\t<styleUrl>#shore</styleUrl>\n'
                   '\t\t\t<LineString>\n\t\t\t\t<tessellate>1</tessellate>\n'
                   '\t\t\t\t<coordinates>\n' % name)
        for lat, lon, _ in points:
            out.append('\t\t\t\t\t%.7f,%.7f,0\n' % (lon, lat))
        out.append('\t\t\t\t</coordinates>\n\t\t\t</LineString>\n\t\t</Placemark>\n')
    out.append('\t</Folder>\n</Document>\n</kml>\n')
    with open(path, "w", newline="\n") as f:
        f.write("".join(out))


def write_gpx(path, tracks):
    out = [HEADER]
    for name, segments in tracks:
        write_track(out, name, segments)
    out.append('\n</gpx>')
    with open(path, "w", newline="\n") as f:
        f.write("".join(out))


# The second lake, in UTM zone 32 north (metres): a basin of 420 m by 260 m, 11 m deep,
# with a shoal rising to 4 m in its eastern part.
LAKE2_E, LAKE2_N = 383250.0, 5196400.0
LAKE2_RX, LAKE2_RY, LAKE2_DEPTH_M = 420.0, 260.0, 11.0


def lake2_ring(depth_m, count=96):
    """The contour at depth_m of the main basin as a closed ring of (easting, northing)."""
    f = math.sqrt(1.0 - depth_m / LAKE2_DEPTH_M)
    ring_points = []
    for i in range(count + 1):
        a = 2 * math.pi * (i % count) / count
        r = f * (1.0 + 0.07 * math.sin(2 * a + 0.5) + 0.04 * math.cos(5 * a)) \
            + (1.0 - f) * 0.05 * math.sin(3 * a)
        ring_points.append((LAKE2_E + LAKE2_RX * r * math.cos(a), LAKE2_N + LAKE2_RY * r * math.sin(a)))
    return ring_points


def lake2_contours():
    """(depth in metres, list of parts) of every published contour line."""
    lines = [(float(d), [lake2_ring(d)]) for d in range(11)]  # every metre, 0 m the shore
    # the shoal in the east: a second, small 4 m line
    shoal = []
    for i in range(33):
        a = 2 * math.pi * (i % 32) / 32
        shoal.append((LAKE2_E + 250.0 + 45.0 * math.cos(a), LAKE2_N - 20.0 + 30.0 * math.sin(a)))
    lines.insert(5, (4.0, [shoal]))
    return lines


def write_shapefile(base, lines):
    """Polylines (shape type 3) with a .shx index and a .dbf table of ID and DEPTH_M."""
    records = []
    for parts in (p for _, p in lines):
        xs = [x for part in parts for x, _ in part]
        ys = [y for part in parts for _, y in part]
        content = struct.pack("<i4d2i", 3, min(xs), min(ys), max(xs), max(ys), len(parts), len(xs))
        start = 0
        for part in parts:
            content += struct.pack("<i", start)
            start += len(part)
        for part in parts:
            for x, y in part:
                content += struct.pack("<2d", x, y)
        records.append(content)
    all_x = [x for _, parts in lines for part in parts for x, _ in part]
    all_y = [y for _, parts in lines for part in parts for _, y in part]
    box = (min(all_x), min(all_y), max(all_x), max(all_y))

    def header(length_bytes):
        return struct.pack(">7i", 9994, 0, 0, 0, 0, 0, length_bytes // 2) + \
            struct.pack("<2i8d", 1000, 3, box[0], box[1], box[2], box[3], 0, 0, 0, 0)

    shp = b"".join(struct.pack(">2i", n + 1, len(c) // 2) + c for n, c in enumerate(records))
    offsets, offset = [], 100
    for c in records:
        offsets.append(struct.pack(">2i", offset // 2, len(c) // 2))
        offset += 8 + len(c)
    shx = b"".join(offsets)
    with open(base + ".shp", "wb") as f:
        f.write(header(100 + len(shp)) + shp)
    with open(base + ".shx", "wb") as f:
        f.write(header(100 + len(shx)) + shx)

    fields = [(b"ID", 6, 0), (b"DEPTH_M", 6, 1)]
    record_size = 1 + sum(length for _, length, _ in fields)
    dbf = struct.pack("<4BIHH20x", 3, 114, 6, 1, len(lines), 32 + 32 * len(fields) + 1, record_size)
    for name, length, decimals in fields:
        dbf += struct.pack("<11sc4xBB14x", name, b"N", length, decimals)
    dbf += b"\r"
    for n, (depth, _) in enumerate(lines):
        dbf += b" " + (b"%6d" % (n + 1)) + (b"%6.1f" % depth)
    dbf += b"\x1a"
    with open(base + ".dbf", "wb") as f:
        f.write(dbf)


def main():
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sample-lake")
    os.makedirs(here, exist_ok=True)
    rng = random.Random(20140601)

    shore = [(lat, lon, 0.0) for lat, lon in ring(CENTER_LAT, CENTER_LON, RADIUS_LAT, RADIUS_LON, 180, True)]
    island = [(lat, lon, 0.0) for lat, lon in ring(ISLAND[0], ISLAND[1], ISLAND[2], ISLAND[3], 40, False)]
    island2 = [(lat, lon, 0.0) for lat, lon in ring(ISLAND2[0], ISLAND2[1], ISLAND2[2], ISLAND2[3], 32, False)]
    outlines = [("Shoreline", shore), ("Island", island), ("Island 2", island2)]
    write_gpx(os.path.join(here, "shoreline.gpx"), [(name, [points]) for name, points in outlines])
    write_kml(os.path.join(here, "shoreline.kml"), outlines)

    day1 = ("Survey 2014-06-01", transects(rng, 0, 16, 0.15))
    day2 = ("Survey 2014-06-02", transects(rng, 1, 12, 1.45))
    write_gpx(os.path.join(here, "soundings.gpx"), [day1, day2])
    by_day = os.path.join(here, "by-day")
    os.makedirs(by_day, exist_ok=True)
    write_gpx(os.path.join(by_day, "soundings-day1.gpx"), [day1])
    write_gpx(os.path.join(by_day, "soundings-day2.gpx"), [day2])

    with open(os.path.join(here, "depth-colours.cmt"), "w", newline="\r\n") as f:
        f.write("0% Aqua\n40% Lime\n70% Yellow\n100% Navy\n")

    second = os.path.join(os.path.dirname(here), "second-lake")
    os.makedirs(second, exist_ok=True)
    write_shapefile(os.path.join(second, "contours-lake"), lake2_contours())


if __name__ == "__main__":
    main()
