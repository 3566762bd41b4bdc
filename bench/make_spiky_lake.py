#!/usr/bin/env python3
# A synthetic lake for judging spike flagging on a chart: shore.gpx, clean.gpx (12 lines of
# soundings 1.5 m apart over a known bottom, 3 cm noise) and spiky.gpx (the same with about
# 1 % spikes in bursts of 1-4: a third of the depth or twice it). Chart clean.gpx, spiky.gpx
# and spiky.gpx with --despike (--smoothing 0 --grid) and compare the grids.
import math, random, sys
random.seed(7)
lat0, lon0 = 47.0, 8.0
def bottom(x, y):  # metres east/north -> depth cm
    return 300 + 900 * math.exp(-((x-400)**2 + (y-300)**2) / 90000) + 150 * math.sin(x / 90)
def ll(x, y):
    return lat0 + y / 111320.0, lon0 + x / (111320.0 * math.cos(math.radians(lat0)))
W, H = 800, 600
shore = [(0,0),(W,0),(W,H),(0,H),(0,0)]
def gpx(tracks, name):
    out = ['<gpx xmlns:h="http://humminbird.com">']
    for segs in tracks:
        out.append('<trk><name>%s</name>' % name)
        for seg in segs:
            out.append('<trkseg>' + ''.join('<trkpt lat="%.8f" lon="%.8f"><extensions><h:depth>%.1f</h:depth></extensions></trkpt>' % (*ll(x, y), d) for x, y, d in seg) + '</trkseg>')
        out.append('</trk>')
    out.append('</gpx>')
    return ''.join(out)
open('shore.gpx','w').write(gpx([[[(x, y, 0) for x, y in shore]]], 'Shore').replace('<extensions><h:depth>0.0</h:depth></extensions>',''))
clean, spiky = [], []
n = spikes = 0
for k in range(12):
    y = 25 + k * 50
    seg_c, seg_s = [], []
    x = 5.0
    i = 0
    burst = 0
    while x < W - 5:
        d = bottom(x, y) + random.gauss(0, 3)
        seg_c.append((x, y, d))
        if burst == 0 and random.random() < 0.01 / 2.5:
            burst = random.randint(1, 4); kind = random.random() < 0.5
        if burst > 0:
            seg_s.append((x, y, d * (0.35 if kind else 2.0))); burst -= 1; spikes += 1
        else:
            seg_s.append((x, y, d))
        n += 1
        x += 1.5
    clean.append(seg_c); spiky.append(seg_s)
open('clean.gpx','w').write(gpx([clean], 'Survey'))
open('spiky.gpx','w').write(gpx([spiky], 'Survey'))
print(n, spikes, file=sys.stderr)
