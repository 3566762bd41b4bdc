#!/usr/bin/env python3
"""Writes a GPX file of N depth soundings in the program's own text form.

usage: make_big_gpx.py N OUT.gpx

The points walk back and forth over a square of about 1 km with depths up to 30 m, one
track segment per 100,000 points, every point with a time and the depth extension.
"""
import random
import sys

MARKERS = ('<h:id>1</h:id><h:visible>true</h:visible><h:share>false</h:share>'
           '<h:status>1</h:status><h:delta>false</h:delta>')


def main():
    n, path = int(sys.argv[1]), sys.argv[2]
    rng = random.Random(1)
    with open(path, "w", newline="\n") as f:
        f.write('<?xml version="1.0" encoding="UTF-8" standalone="no"?>\n'
                '<gpx version="1.1" creator="" xmlns="http://www.topografix.com/GPX/1/1">\n'
                '<trk>\n\t<name>bench</name>\n')
        for i in range(n):
            if i % 100000 == 0:
                if i:
                    f.write('\t</trkseg>\n')
                f.write('\t<trkseg>\n')
            lat = 47.0 + (i % 1000) * 0.00001
            lon = 8.0 + (i // 1000 % 1000) * 0.000015
            s = i % 86400
            f.write('\t\t<trkpt lat="%.7f" lon="%.7f">\n'
                    '\t\t\t<time>2014-06-01T%02d:%02d:%02dZ</time>\n'
                    '\t\t\t\t<extensions><h:depth>%.1f</h:depth>%s</extensions>\n'
                    '\t\t</trkpt>\n' % (lat, lon, s // 3600, s // 60 % 60, s % 60,
                                        rng.uniform(50, 3000), MARKERS))
        f.write('\t</trkseg>\n</trk>\n\n</gpx>')


if __name__ == "__main__":
    main()
