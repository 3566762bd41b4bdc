#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/<target>/: small hand-made inputs for each
reader, a few shaped like the tests' inputs and short slices of the sample lake.
Run it again after changing it; scripts/fuzz copies the seeds and never writes here."""

import math
import os
import shutil
import struct
import sys

ROOT = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(ROOT, "corpus")
LAKE = os.path.join(ROOT, "..", "examples", "sample-lake")


def put(target, name, data):
    if isinstance(data, str):
        data = data.encode("utf-8")
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def lake_slice(name, points):
    """The file's header, its first `points` track points and the closing tags."""
    with open(os.path.join(LAKE, name), encoding="utf-8") as f:
        text = f.read()
    end = 0
    for _ in range(points):
        end = text.index("</trkpt>", end) + len("</trkpt>")
    return text[:end] + "\n\t</trkseg>\n</trk>\n</gpx>\n"


# ---------------------------------------------------------------- GPX

GPX_HEAD = ('<?xml version="1.0" encoding="UTF-8" standalone="no"?>\n'
            '<gpx version="1.1" creator="" xmlns="http://www.topografix.com/GPX/1/1">\n')
MARKERS = ("<h:id>1</h:id><h:visible>true</h:visible><h:share>false</h:share>"
           "<h:status>1</h:status><h:delta>false</h:delta>")

RICH = """<?xml version="1.0"?>
<GPX version="1.1" creator="x">
 <metadata>
  <name>Lake</name><desc>d</desc>
  <author><name>Ann</name><email><id>ann</id><domain>example.org</domain></email></author>
  <copyright author="Ann"><year>2014</year><license>CC0</license></copyright>
  <link href="http://a?b&amp;c"><text>site</text><type>text/html</type></link>
  <time>2014-06-01T12:00:00+02:00</time><keywords>k</keywords>
  <bounds minlat="1" minlon="2" maxlat="3" maxlon="4"/>
  <extensions><a>1</a></extensions>
 </metadata>
 <wpt lat="47.5" lon="8.25"><ele>402.5</ele><name>first</name><name>a&lt;b &amp; c</name>
  <sym>Flag</sym><type>T</type><fix>3D</fix><sat>7</sat><hdop>1.5</hdop><dgpsid>12</dgpsid>
  <magvar>0.5</magvar><geoidheight>48</geoidheight><ageofdgpsdata>2</ageofdgpsdata>
  <extensions><h:depth>120.5</h:depth><other>o</other></extensions></wpt>
 <wpt/>
 <wpt lat="north" lon="8"><extensions><x:depth>99</x:depth></extensions></wpt>
 <rte><desc>only a description</desc><number>3</number><rtept lat="1" lon="2"/><rtept lat="1.5" lon="2.5"/></rte>
 <trk><name>Survey</name>
  <extensions><line xmlns="http://www.topografix.com/GPX/gpx_style/0/2"><color>FF0000</color><opacity>0.5</opacity></line><keep>me</keep></extensions>
  <TRKSEG>
   <trkpt lat="47.1" lon="8.1"><time>2014-06-01T12:34:56Z</time><extensions><h:depth>1.23E3</h:depth><h:depth>350</h:depth></extensions></trkpt>
   <trkpt lat="47.2" lon="8.2"><extensions><h:depth>45.67</h:depth></extensions></trkpt>
   <extensions><seg>1</seg></extensions>
  </TRKSEG>
 </trk>
 <extensions><doc>x</doc></extensions>
</GPX>"""

put("fuzz_gpx", "rich.gpx", RICH)
put("fuzz_gpx", "soundings.gpx", lake_slice("soundings.gpx", 4))
put("fuzz_gpx", "shoreline.gpx", lake_slice("shoreline.gpx", 3))
put("fuzz_gpx", "depths.gpx", GPX_HEAD + "<trk><name>T</name><trkseg>"
    + "".join('<trkpt lat="47.%d" lon="8.%d"><extensions><h:depth>%s</h:depth>%s</extensions></trkpt>'
              % (i, i, d, MARKERS) for i, d in enumerate(["0.0", "12.5", "1e9", "-3", "nan"]))
    + "</trkseg><trkseg/></trk></gpx>")
put("fuzz_gpx", "bad-content.gpx", GPX_HEAD + '<wpt lat="1" lon="2"><sat>300</sat></wpt>'
    '<trk><trkseg><trkpt lat="1" lon="2"><time>2014-02-30T00:00:00Z</time></trkpt>'
    '<trkpt lat="3" lon="4"/></trkseg></trk></gpx>')
put("fuzz_gpx", "utf16.gpx", b"\xff\xfe" + ('<?xml version="1.0" encoding="UTF-16"?>'
    '<gpx><wpt lat="1" lon="2"><name>\u00e9t\u00e9</name></wpt></gpx>').encode("utf-16-le"))
put("fuzz_gpx", "latin1.gpx", '<?xml version="1.0" encoding="ISO-8859-1"?>\n'
    '<gpx><trk><name>S\xe9e</name><trkseg><trkpt lat="1" lon="2"/></trkseg></trk></gpx>'.encode("latin-1"))
put("fuzz_gpx", "bom-doctype.gpx", "\ufeff<!DOCTYPE gpx [<!ENTITY e 'x'>]><!-- c --><gpx>"
    "<rte><name>&e;</name><rtept lat='1' lon='2'><time>2014-W22-7T10:00Z</time></rtept></rte>"
    "<![CDATA[x]]></gpx>")
put("fuzz_gpx", "not-gpx.gpx", "<kml><Placemark/></kml>")
put("fuzz_gpx", "broken.gpx", GPX_HEAD + "<trk><trkseg><trkpt lat='1' lon='2'>")

# ---------------------------------------------------------------- KML

put("fuzz_kml", "folder.kml", """<?xml version="1.0"?><kml xmlns="http://www.opengis.net/kml/2.2"><Document>
  <Folder><name>Shore</name>
    <Placemark><name>own name</name><LineString><coordinates>
      8.1,47.1,0 8.2,47.2,0\t8.3,47.3,5
      8.4,47.4
    </coordinates></LineString></Placemark>
    <Placemark><LineString><coordinates>9,48,0</coordinates></LineString></Placemark>
    <Placemark><Polygon><outerBoundaryIs><LinearRing><coordinates>1,2 3,4 5,6</coordinates>
    </LinearRing></outerBoundaryIs></Polygon></Placemark>
    <Placemark><LineString><coordinates>   </coordinates></LineString></Placemark>
  </Folder></Document></kml>""")
put("fuzz_kml", "points.kml", """<kml><Placemark><name>Buoy</name><Snippet><![CDATA[a<BR/>b]]></Snippet>
  <TimeStamp><when>2014-06-01T12:00:00Z</when></TimeStamp>
  <Point><coordinates> 8.5 , 47.25 </coordinates></Point></Placemark>
  <Placemark><Point><coordinates>1,2,3,4</coordinates></Point></Placemark>
  <Placemark><Point><coordinates>12</coordinates></Point></Placemark>
  <Placemark><name>bad time</name><TimeStamp><when>2014-02-30T00:00:00Z</when></TimeStamp>
  <Point><coordinates>x,2</coordinates></Point></Placemark></kml>""")
put("fuzz_kml", "multi.kml", "<kml:kml><Document><Placemark><MultiGeometry><LineString>"
    "<coordinates>1,2 3,4</coordinates></LineString></MultiGeometry></Placemark>"
    "<Placemark><name>n</name><Point><coordinates>1e3,-2.5e1,7</coordinates></Point>"
    "<LineString><coordinates>0,0 1,1</coordinates></LineString></Placemark></Document></kml:kml>")
put("fuzz_kml", "broken.kml", "<kml><Document><Placemark><LineString><coordinates>1,2 3,4")
put("fuzz_kml", "polygon.kml", """<?xml version="1.0" encoding="utf-8" ?>
<kml xmlns="http://www.opengis.net/kml/2.2"><Document id="root_doc"><Folder><name>lake</name>
  <Placemark><name>Lake</name><Polygon><outerBoundaryIs><LinearRing><coordinates>8,47 8.1,47.0 8.1,47.1 8.0,47.1 8,47</coordinates></LinearRing></outerBoundaryIs><innerBoundaryIs><LinearRing><coordinates>8.02,47.02 8.03,47.02 8.03,47.03</coordinates></LinearRing></innerBoundaryIs></Polygon></Placemark>
  <Placemark><name>Two</name><MultiGeometry><Point><coordinates>9,47</coordinates></Point><MultiGeometry><Polygon><outerBoundaryIs><LinearRing><coordinates>9,47 9.1,47.0 9.1,47.1 9,47</coordinates></LinearRing></outerBoundaryIs></Polygon></MultiGeometry><LinearRing><coordinates>1,1</coordinates></LinearRing></MultiGeometry></Placemark>
</Folder></Document></kml>""")
put("fuzz_kml", "gxtrack.kml", """<kml xmlns:gx="http://www.google.com/kml/ext/2.2"><Document><name>Trip</name>
  <Placemark><gx:Track><when>2014-05-25T18:30:59Z</when><when>2014-02-30T00:00:00Z</when><when>x</when>
    <gx:coord>8.5 47.25 402.5</gx:coord><gx:coord/><gx:coord>8.6\t47.3</gx:coord><gx:coord>1e999 2</gx:coord></gx:Track></Placemark>
  <Placemark><gx:MultiTrack><gx:Track><gx:coord>4 5</gx:coord><gx:coord>6 7 8 9</gx:coord></gx:Track>
    <gx:Track><coord>1 2</coord></gx:Track></gx:MultiTrack></Placemark>
  <Placemark><Track><when>2010-05-28T02:02:09Z</when><coord>-122.2 37.3 156</coord></Track></Placemark>
</Document></kml>""")

# ---------------------------------------------------------------- XML

put("fuzz_xml", "prolog.xml", '<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE a [<!ENTITY x "y">]>'
    '<!-- before --><a b="1" c=\'2\' d="&amp;&lt;&#65;&#x42;&x;">t&amp;&#10;<e/>'
    "<![CDATA[<raw>]]><!--in--><f g='\"'>&#0;&#xD800;&bogus</f></a><?pi x?>\n")
put("fuzz_xml", "nested.xml", "<r>" + "<n>" * 20 + "text" + "</n>" * 20 + "<m/><m/></r>")
put("fuzz_xml", "utf16be.xml", "<a x='\u00fc'>\U0001F600</a>".encode("utf-16-be"))
put("fuzz_xml", "utf16le-bom.xml", b"\xff\xfe" + "<a>\u20ac</a>".encode("utf-16-le"))
put("fuzz_xml", "cp1252.xml", b"<?xml version='1.0' encoding='windows-1252'?><a>\x80\x9f\xe9</a>")
put("fuzz_xml", "ws.xml", "<a\r\n b='x\ty\r\nz'>\r\n line\r one\n</a >")
put("fuzz_xml", "two-roots.xml", "<a/><b/>")
put("fuzz_xml", "path.xml", "<gpx><metadata><name>m</name></metadata><trk><trkseg><trkpt>"
    "<extensions><h:depth>1</h:depth></extensions></trkpt></trkseg></trk><a><b/><x><b/></x></a></gpx>")

# ---------------------------------------------------------------- date and time

for i, t in enumerate([
        "2014-06-01T12:34:56Z", "2014-06-01T12:34:56.789+02:00", "20140601T123456Z",
        "2014-W22-7", "2014W227T10", "2014-152", "2014-06-01 12:34", "2014-06-01T12.5",
        "2014-06-01T12:30.25-05", "2014-06-01T12:30:15,5Z", "  2014-06-01T00:00:00-0130  ",
        "0001-01-01T00:00:00+14:00", "9999-12-31T23:59:59.999-14:00", "2014-02-30T00:00:00Z",
        "2016-02-29", "1899-12-30T00:00:00Z", "2014-06-01T24:00:00Z"]):
    put("fuzz_datetime", "time%02d" % i, t)

# ---------------------------------------------------------------- numbers

for i, t in enumerate([
        "0", "-1.5", "1e308", "1E-400", " 42 ", "+7", "-2147483648", "2147483648", "ff",
        "DEADBEEF", "0.1", "123456789012345678", ".5", "5.", "1.5E20", "-0", "9.99999999999999e14",
        "4.94065645841247E-324", "1e+5", "12.3456"]):
    put("fuzz_numtext", "text%02d" % i, t)
for i, v in enumerate([0.1, -0.0, 1e15, 9.999999999999999e14, 5e-324, 2.2250738585072014e-308,
                       1.7976931348623157e308, 0.0001, 123456.789012345678, -12.35]):
    put("fuzz_numtext", "double%02d" % i, struct.pack("<d", v))

# ---------------------------------------------------------------- colour models

put("fuzz_colormodel", "default.cmt", "0% Lime\r\n50% Yellow\r\n100% Blue\r\n")
put("fuzz_colormodel", "numbers.cmt", "0% $FF0000FF\n25% -16777216\n25% 16843009\n"
    "75%   navy  \n100 % Red\n%Red\n101% CornFlowerBlue\n-5% Red\n$10% BlancheDalmond\n50%")
put("fuzz_colormodel", "utf8-bom.cmt", "\ufeff0% Black\r10% Cadetblue\r100% White")
put("fuzz_colormodel", "utf16.cmt", b"\xff\xfe" + "0% Red\r\n100% Blue\r\n".encode("utf-16-le"))
put("fuzz_colormodel", "cp1252.cmt", b"0% Red\r\n50% \x80\xe9\r\n2147483647% Blue\r\n")

# ---------------------------------------------------------------- HT track files


def ht_file(n, records, name=b"Track", e=853000, north=5920000):
    header = bytearray(68)
    header[0], header[1] = 1, 3
    struct.pack_into(">H", header, 8, n)
    struct.pack_into(">I", header, 12, 1401624000)
    struct.pack_into(">ii", header, 16, e, north)
    struct.pack_into(">ii", header, 24, e + 100, north + 50)
    header[48:48 + len(name)] = name
    body = b"".join(struct.pack(">hhH", *r) for r in records)
    return bytes(header) + body


SEP = [(0x7FFF, 0x7FFF, 0), (-0x8000, -0x8000, 0), (0, 0, 0)]
steps = [(10, 5, 120), (-3, 7, 135), (0, 0, 150)]
put("fuzz_ht", "two-segments.ht", ht_file(1 + 3 + 3 + 2, steps + SEP + steps[:2]))
put("fuzz_ht", "one-point.ht", ht_file(1, [], name=b"\xe9t\xe9"))
put("fuzz_ht", "separator-last.ht", ht_file(4, SEP))
put("fuzz_ht", "far.ht", ht_file(3, [(32767, -32768, 65535), (-32768, 32767, 1)], e=-2147483647,
                                 north=2147483500))
put("fuzz_ht", "full-count.ht", ht_file(21836, steps))
put("fuzz_ht", "too-many.ht", ht_file(21837, steps))
put("fuzz_ht", "bad-header.ht", b"\x02\x03" + ht_file(2, steps)[2:])

# ---------------------------------------------------------------- shapefiles


def shp_header(shape_type, total_bytes):
    h = struct.pack(">i5i", 9994, 0, 0, 0, 0, 0)
    h += struct.pack(">i", total_bytes // 2)
    h += struct.pack("<ii", 1000, shape_type)
    h += struct.pack("<8d", 7.0, 46.0, 8.0, 47.0, 0, 0, 0, 0)
    return h


def shp(shape_type, contents):
    body = b""
    for i, c in enumerate(contents, 1):
        body += struct.pack(">ii", i, len(c) // 2) + c
    return shp_header(shape_type, 100 + len(body)) + body


def poly(shape_type, parts, points):
    c = struct.pack("<i4d", shape_type, 7.0, 46.0, 8.0, 47.0)
    c += struct.pack("<ii", len(parts), len(points))
    c += b"".join(struct.pack("<i", p) for p in parts)
    c += b"".join(struct.pack("<dd", x, y) for x, y in points)
    return c


def dbf(fields, records, deleted=()):
    header_size = 32 + 32 * len(fields) + 1
    record_size = 1 + sum(length for _, _, length, _ in fields)
    h = struct.pack("<BBBBIHH", 3, 114, 6, 1, len(records), header_size, record_size) + bytes(20)
    for name, kind, length, decimals in fields:
        h += name.ljust(11, b"\0") + kind + bytes(4) + bytes([length, decimals]) + bytes(14)
    h += b"\r"
    for i, rec in enumerate(records):
        h += (b"*" if i in deleted else b" ") + b"".join(
            v.ljust(f[2])[:f[2]] for v, f in zip(rec, fields))
    return h + b"\x1a"


def pair(a, b):
    return struct.pack("<I", len(a)) + a + b


lines = shp(3, [poly(3, [0, 2], [(7.1, 46.1), (7.2, 46.2), (7.3, 46.3), (7.4, 46.4)]),
                poly(3, [0], [(7.5, 46.5), (7.6, 46.6)]),
                struct.pack("<i", 0)])
table = dbf([(b"DEPTH", b"N", 8, 2), (b"NAME", b"C", 10, 0)],
            [[b"12.5", b"a"], [b"-3", b"\xe9"], [b"x", b"gone"]], deleted={2})
put("fuzz_shapefile", "polylines", pair(lines, table))
put("fuzz_shapefile", "polygon", pair(shp(5, [poly(5, [0], [(0, 0), (1, 0), (1, 1), (0, 0)])]),
                                      dbf([(b"D", b"N", 3, 0)], [[b"7"]])))
put("fuzz_shapefile", "points", pair(shp(1, [struct.pack("<idd", 1, 7.5, 46.5),
                                             struct.pack("<i", 0)]),
                                     dbf([(b"ID", b"N", 2, 0)], [[b"1"], [b"2"]])))
utm = shp(3, [poly(3, [0], [(385000.0, 5200000.0), (386000.0, 5201000.0)])])
put("fuzz_shapefile", "utm", pair(utm, dbf([(b"Z", b"F", 5, 1)], [[b"1e400"]])))
put("fuzz_shapefile", "short-table", pair(lines, dbf([(b"A", b"C", 4, 0)], [[b"x"]])[:40]))
put("fuzz_shapefile", "no-fields", pair(shp(3, []), b"\x03\x72\x06\x01" + struct.pack("<IHH", 5, 33, 1)
                                        + bytes(20) + b"\r    "))
put("fuzz_shapefile", "multipatch", pair(shp(31, [struct.pack("<i", 31) + bytes(40)]), b""))


def multipoint(shape_type, points, z=None, m=False):
    c = struct.pack("<i4di", shape_type, 7.0, 46.0, 8.0, 47.0, len(points))
    c += b"".join(struct.pack("<dd", x, y) for x, y in points)
    if z is not None:
        c += struct.pack("<2d", min(z), max(z)) + b"".join(struct.pack("<d", v) for v in z)
    if m:
        c += struct.pack("<2d", 0, 1) + b"".join(struct.pack("<d", i) for i in range(len(points)))
    return c


def poly_z(shape_type, parts, points, z, m=False):
    c = poly(shape_type, parts, points)
    c += struct.pack("<2d", min(z), max(z)) + b"".join(struct.pack("<d", v) for v in z)
    if m:
        c += struct.pack("<2d", 0, 1) + b"".join(struct.pack("<d", i) for i in range(len(points)))
    return c


two_rows = dbf([(b"DEPTH", b"N", 6, 1)], [[b"4.5"], [b"12.0"]])
put("fuzz_shapefile", "pointz", pair(shp(11, [struct.pack("<i4d", 11, 7.5, 46.5, -2.5, 0),
                                              struct.pack("<i3d", 11, 7.6, 46.6, 1.0)]), two_rows))
put("fuzz_shapefile", "pointm", pair(shp(21, [struct.pack("<i3d", 21, 7.5, 46.5, 9),
                                              struct.pack("<i", 0)]), two_rows))
put("fuzz_shapefile", "multipoint", pair(shp(8, [multipoint(8, [(7.1, 46.1), (7.2, 46.2)]),
                                                 multipoint(8, [])]), two_rows))
put("fuzz_shapefile", "multipointz", pair(shp(18, [multipoint(18, [(7.1, 46.1), (7.2, 46.2)], [-1, -2], True),
                                                   multipoint(18, [(7.3, 46.3)], [float("nan")])]),
                                          two_rows))
put("fuzz_shapefile", "multipointm", pair(shp(28, [multipoint(28, [(7.1, 46.1)], None, True)]), two_rows))
put("fuzz_shapefile", "polylinez", pair(shp(13, [poly_z(13, [0, 2], [(7.1, 46.1), (7.2, 46.2), (7.3, 46.3), (7.4, 46.4)],
                                                        [-1, -2, -3, 4], True),
                                                 poly_z(13, [0], [(7.5, 46.5), (7.6, 46.6)], [1e300, -5])]),
                                        two_rows))
put("fuzz_shapefile", "polygonz", pair(shp(15, [poly_z(15, [0], [(0, 0), (1, 0), (1, 1), (0, 0)], [5, 5, 5, 5])]),
                                       dbf([(b"D", b"N", 3, 0)], [[b"7"]])))

# ---------------------------------------------------------------- CSV and XYZ soundings

put("fuzz_csv", "header.csv", "lat,lon,depth\n47.1,8.1,3.5\n47.2,8.2,4\n# note\n95,8,3\n47.3,8.3,20000\n")
put("fuzz_csv", "semicolons.csv", "\ufeffLatitude;Longitude;Depth_cm\r\n47,1;8,1;350\r\n47.2;8.2;4,5\r\n")
put("fuzz_csv", "tabs.txt", "x\ty\tdepth_ft\n8.1\t47.1\t10\n8.2\t47.2\t-1\n")
put("fuzz_csv", "lake.xyz", "8.1 47.1 -3.5\n  8.2   47.2  -4.25 \r8.3 47.3 -1e1\n")
put("fuzz_csv", "quoted.csv", 'id,name,depth_m,Lng,LAT\n1,"Smith, J",2.5,8.1,47.1\n2,"a ""b"", c",+3,8.2,47.2\n')
put("fuzz_csv", "projected.csv", "x,y,z\n512345.5,5212345.5,3\n")
put("fuzz_csv", "no-depth.csv", "lat,lon,name\n47,8,x\n")

# ---------------------------------------------------------------- sonar logs (.sl2, .sl3)

LOWRANCE_R = 6356752.3142


def sl_frame(fmt, offset, index, channel, depth_ft, lat=59.1, lon=12.3, valid=True, ms=0,
             start=0xFFFFFFFF, echo=24):
    header = 144 if fmt == 2 else (128 if channel > 5 else 168)
    h = bytearray(header)
    at = {"size": 28, "channel": 32, "index": 36, "time": 60, "depth": 64, "east": 108,
          "north": 112, "flags": 132, "ms": 140} if fmt == 2 else \
         {"size": 8, "channel": 12, "index": 16, "time": 40, "depth": 48, "east": 92,
          "north": 96, "flags": 116, "ms": 124}
    struct.pack_into("<I", h, 0, offset)
    struct.pack_into("<H", h, at["size"], header + echo)
    struct.pack_into("<H", h, at["channel"], channel)
    struct.pack_into("<I", h, at["index"], index)
    struct.pack_into("<I", h, at["time"], start)
    struct.pack_into("<f", h, at["depth"], depth_ft)
    struct.pack_into("<i", h, at["east"], round(lon * math.pi / 180 * LOWRANCE_R))
    struct.pack_into("<i", h, at["north"],
                     round(LOWRANCE_R * math.log(math.tan(math.pi / 4 + lat * math.pi / 360))))
    struct.pack_into("<H", h, at["flags"], 0x90 if valid else 0x80)
    struct.pack_into("<I", h, at["ms"], ms)
    return bytes(h) + bytes([0x5A]) * echo


def sl_log(fmt, frames):
    out = struct.pack("<HHHH", fmt, 1, 3200, 0)
    for f in frames:
        out += sl_frame(fmt, len(out), **f)
    return out


pings = [dict(index=0, channel=2, depth_ft=0.0, start=1401624000),
         dict(index=0, channel=0, depth_ft=4.0),
         dict(index=1, channel=0, depth_ft=4.5, ms=100, valid=False),
         dict(index=1, channel=1, depth_ft=4.6, ms=100),
         dict(index=2, channel=0, depth_ft=float("nan"), ms=200),
         dict(index=2, channel=5, depth_ft=5.0, ms=200, lat=86.0),
         dict(index=3, channel=0, depth_ft=5.5, ms=300)]
put("fuzz_sl2", "channels.sl2", sl_log(2, pings))
put("fuzz_sl2", "channels.sl3", sl_log(3, pings + [dict(index=4, channel=9, depth_ft=6.0)]))
cut = sl_log(2, pings)
put("fuzz_sl2", "cut.sl2", cut[:-30])
damaged = bytearray(sl_log(2, pings))
damaged[8 + 2 * 168:8 + 2 * 168 + 40] = b"\x77" * 40
put("fuzz_sl2", "damaged.sl2", bytes(damaged))
put("fuzz_sl2", "old.slg", struct.pack("<HHHH", 1, 0, 1970, 0) + bytes(64))

# ---------------------------------------------------------------- Humminbird .SON/.IDX

HB_R = 6378388.0


def hb_record(number, ms, depth_dm, lat=36.88, lon=-111.51, samples=16, position=True):
    phi = math.atan(math.tan(lat * math.pi / 180) / 1.0067642927)
    r = b"\xC0\xDE\xAB\x21" + struct.pack(">BIBI", 0x80, number, 0x81, ms)
    if position:
        r += struct.pack(">BiBi", 0x82, round(lon * math.pi / 180 * HB_R),
                         0x83, round(HB_R * math.log(math.tan(math.pi / 4 + phi / 2))))
    r += struct.pack(">BIBIBBBIBI", 0x84, 0x10000 | 1234, 0x87, depth_dm, 0x50, 1, 0x92, 200000,
                     0xA0, samples)
    return r + b"\x21" + bytes([0x21]) * samples


def hb_beam(records):
    son, idx = b"", b""
    for i, rec in enumerate(records):
        idx += struct.pack(">II", 100 * i, len(son))
        son += rec
    return son, idx


son, idx = hb_beam([hb_record(0, 0, 18), hb_record(1, 100, 0), hb_record(2, 200, 25, position=False),
                    hb_record(3, 300, 10001), hb_record(4, 400, 31, lat=-85.5),
                    hb_record(5, 500, 40)])
put("fuzz_humminbird", "beam", pair(son, idx))
put("fuzz_humminbird", "no-index", pair(son, b""))
put("fuzz_humminbird", "cut", pair(son[:-7], idx))
put("fuzz_humminbird", "bad-index", pair(son, idx[:12] + b"\xff\xff\xff\xf0" + idx[16:]))
put("fuzz_humminbird", "no-count", pair(son.replace(b"\xA0\x00\x00\x00\x10", b"\x20\x10"), b""))

if __name__ == "__main__":
    total = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(CORPUS) for f in fs)
    print("corpus: %d bytes" % total, file=sys.stderr)
