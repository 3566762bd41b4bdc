#include "model/GPX.h"
#include "model/GPX_Style.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace model;

namespace {

struct LatLon {
    double lat, lon;
    bool enabled = true;
};

std::unique_ptr<TGPXwpt> Wpt(double lat, double lon, bool enabled = true) {
    auto p = std::make_unique<TGPXwpt>();
    p->Latitude = lat;
    p->Longitude = lon;
    p->enabled = enabled;
    return p;
}

void AddPoints(TGPXwptList &list, std::initializer_list<LatLon> pts) {
    for (const LatLon &p : pts)
        list.Add(Wpt(p.lat, p.lon, p.enabled));
}

TGPXrte *AddRoute(TGPX &doc, std::initializer_list<LatLon> pts) {
    TGPXrte *r = doc.rte.Add(std::make_unique<TGPXrte>());
    AddPoints(*r, pts);
    return r;
}

TGPXtrkseg *AddSeg(TGPXtrk &trk, std::initializer_list<LatLon> pts, int maxdepth = 0) {
    TGPXtrkseg *s = trk.Add(std::make_unique<TGPXtrkseg>());
    AddPoints(*s, pts);
    s->maxdepth = maxdepth;
    return s;
}

TGPXtrk *AddTrack(TGPX &doc) {
    return doc.trk.Add(std::make_unique<TGPXtrk>());
}

void ExpectDefaultStyle(const TGPX_StyleLine &s) {
    EXPECT_EQ(s.Color(), 16777216u);
    EXPECT_TRUE(s.IsDefaultColor());
    EXPECT_EQ(s.Opacity(), 1.0);
}

// Fully filled waypoint, every field distinct from its creation value.
void FillWaypoint(TGPXwpt &w) {
    w.Latitude = 46.25;
    w.Longitude = 6.5;
    w.Altitude = 372.0;
    w.HBdepth = 812.5;
    w.Flagged = true;
    w.DateTime = 45123.5;
    w.Level = 4;
    TGPXwptDetails &d = w.EditDetails();
    d.magvar = 1.5;
    d.geoidheight = 48.0;
    d.name = "buoy";
    d.cmt = "red";
    d.desc = "north end";
    d.src = "sonar";
    d.link = {"http://example.org/b", "buoy page", "text/html", true};
    d.sym = "Anchor";
    d.wtype = "mark";
    d.fix = "3d";
    d.sat = 9;
    d.hdop = 0.8;
    d.vdop = 1.1;
    d.pdop = 1.4;
    d.ageofdgpsdata = 2.5;
    d.dgpsid = 117;
    d.extensions = "<depth>8.125</depth>";
}

void ExpectSameWaypointFields(const TGPXwpt &a, const TGPXwpt &b) {
    EXPECT_EQ(a.Latitude, b.Latitude);
    EXPECT_EQ(a.Longitude, b.Longitude);
    EXPECT_EQ(a.Altitude, b.Altitude);
    EXPECT_EQ(a.HBdepth, b.HBdepth);
    EXPECT_EQ(a.Flagged, b.Flagged);
    EXPECT_EQ(a.DateTime, b.DateTime);
    EXPECT_EQ(a.Details().magvar, b.Details().magvar);
    EXPECT_EQ(a.Details().geoidheight, b.Details().geoidheight);
    EXPECT_EQ(a.Details().name, b.Details().name);
    EXPECT_EQ(a.Details().cmt, b.Details().cmt);
    EXPECT_EQ(a.Details().desc, b.Details().desc);
    EXPECT_EQ(a.Details().src, b.Details().src);
    EXPECT_EQ(a.Details().link.href, b.Details().link.href);
    EXPECT_EQ(a.Details().link.text, b.Details().link.text);
    EXPECT_EQ(a.Details().link.ltype, b.Details().link.ltype);
    EXPECT_EQ(a.Details().link.filled, b.Details().link.filled);
    EXPECT_EQ(a.Details().sym, b.Details().sym);
    EXPECT_EQ(a.Details().wtype, b.Details().wtype);
    EXPECT_EQ(a.Details().fix, b.Details().fix);
    EXPECT_EQ(a.Details().sat, b.Details().sat);
    EXPECT_EQ(a.Details().hdop, b.Details().hdop);
    EXPECT_EQ(a.Details().vdop, b.Details().vdop);
    EXPECT_EQ(a.Details().pdop, b.Details().pdop);
    EXPECT_EQ(a.Details().ageofdgpsdata, b.Details().ageofdgpsdata);
    EXPECT_EQ(a.Details().dgpsid, b.Details().dgpsid);
    EXPECT_EQ(a.Details().extensions, b.Details().extensions);
}

void SetSentinelBounds(TGPX &doc) {
    doc.metadata.bounds.minlat = -1.5;
    doc.metadata.bounds.minlon = -2.5;
    doc.metadata.bounds.maxlat = 3.5;
    doc.metadata.bounds.maxlon = 4.5;
}

void ExpectSentinelBounds(const TGPX &doc) {
    EXPECT_EQ(doc.metadata.bounds.minlat, -1.5);
    EXPECT_EQ(doc.metadata.bounds.minlon, -2.5);
    EXPECT_EQ(doc.metadata.bounds.maxlat, 3.5);
    EXPECT_EQ(doc.metadata.bounds.maxlon, 4.5);
    EXPECT_FALSE(doc.metadata.filled);
    EXPECT_FALSE(doc.metadata.bounds.filled);
}

// Lets a list hold a point that another list owns, and gives it back unreleased
// when the test ends, so the point is released exactly once.
struct Alias {
    Alias(TGPXwptList &list, TGPXwpt *p) : list(list), p(p) {
        list.Add(std::unique_ptr<TGPXwpt>(p));
    }
    ~Alias() { (void)list.Extract(list.IndexOf(p)).release(); }
    TGPXwptList &list;
    TGPXwpt *p;
};

} // namespace

// ---------------------------------------------------------------- creation

TEST(GPXDocument, NewDocumentIsEmptyEnabledAndUnfilled) {
    TGPX doc;
    EXPECT_TRUE(doc.enabled());
    EXPECT_TRUE(doc.version().empty());
    EXPECT_TRUE(doc.creator.empty());
    EXPECT_EQ(doc.wpt.Count(), 0);
    EXPECT_EQ(doc.rte.Count(), 0);
    EXPECT_EQ(doc.trk.Count(), 0);
    EXPECT_TRUE(doc.wpt.Enabled());
    EXPECT_TRUE(doc.rte.enabled());
    EXPECT_TRUE(doc.trk.enabled());
    EXPECT_FALSE(doc.wpt.filled);
    EXPECT_FALSE(doc.rte.filled);
    EXPECT_FALSE(doc.trk.filled);
    EXPECT_EQ(doc.Selection.Count(), 0);
    EXPECT_EQ(doc.Selection.Parent, &doc);
    EXPECT_TRUE(doc.extension.Text.empty());

    const TGPXmetadata &m = doc.metadata;
    EXPECT_FALSE(m.filled);
    EXPECT_TRUE(m.name.empty());
    EXPECT_EQ(m.mtime, 0);
    EXPECT_EQ(m.copyright.year, -1);
    EXPECT_FALSE(m.copyright.filled);
    EXPECT_FALSE(m.author.filled);
    EXPECT_FALSE(m.author.email.filled);
    EXPECT_FALSE(m.author.link.filled);
    EXPECT_FALSE(m.link.filled);
    EXPECT_FALSE(m.bounds.filled);
    EXPECT_EQ(m.bounds.minlat, 0);
    EXPECT_EQ(m.bounds.maxlon, 0);

    TGPXOptions opts;
    EXPECT_FALSE(opts.GPX_Style);
    EXPECT_FALSE(opts.Compress);
}

TEST(GPXDocument, NewItemsCarryTheirNoneValues) {
    TGPXwpt w;
    EXPECT_EQ(w.Latitude, 0);
    EXPECT_EQ(w.DateTime, 0);
    EXPECT_EQ(w.Level, 0);
    EXPECT_TRUE(w.enabled);
    EXPECT_EQ(w.Details().magvar, 0);
    EXPECT_EQ(w.Details().geoidheight, 0);
    EXPECT_EQ(w.Details().sat, 255);
    EXPECT_EQ(w.Details().hdop, -1);
    EXPECT_EQ(w.Details().vdop, -1);
    EXPECT_EQ(w.Details().pdop, -1);
    EXPECT_EQ(w.Details().ageofdgpsdata, -1);
    EXPECT_EQ(w.Details().dgpsid, -1);
    EXPECT_TRUE(w.Details().name.empty() && w.Details().cmt.empty() && w.Details().desc.empty() &&
                w.Details().src.empty());
    EXPECT_TRUE(w.Details().sym.empty() && w.Details().wtype.empty() && w.Details().fix.empty() &&
                w.Details().extensions.empty());
    EXPECT_FALSE(w.Details().link.filled);
    EXPECT_TRUE(w.Details().link.href.empty());

    TGPXrte r;
    EXPECT_EQ(r.number, -1);
    EXPECT_TRUE(r.Enabled());
    EXPECT_FALSE(r.filled);
    EXPECT_FALSE(r.BBox.Complete);
    ExpectDefaultStyle(r.LineStyle);

    TGPXtrk t;
    EXPECT_EQ(t.number, -1);
    EXPECT_TRUE(t.enabled());
    EXPECT_EQ(t.Count(), 0);
    ExpectDefaultStyle(t.LineStyle);

    TGPXtrkseg s;
    EXPECT_EQ(s.maxdepth, 0);
    EXPECT_TRUE(s.Enabled());
    EXPECT_TRUE(s.extensions.empty());

    TGPXwptList l;
    EXPECT_TRUE(l.Enabled());

    TGPXrteList rl;
    TGPXtrkList tl;
    EXPECT_TRUE(rl.enabled());
    EXPECT_TRUE(tl.enabled());
    EXPECT_FALSE(rl.filled);
    EXPECT_FALSE(tl.filled);
}

TEST(GPXDocument, IndexedAccessorsReturnTheOwnedItemAndCheckBounds) {
    TGPX doc;
    AddPoints(doc.wpt, {{1, 1}, {2, 2}});
    TGPXrte *r = AddRoute(doc, {{3, 3}});
    TGPXtrk *t = AddTrack(doc);
    TGPXtrkseg *s = AddSeg(*t, {{4, 4}, {5, 5}});

    EXPECT_EQ(doc.wpt.GetWaypoint(1)->Latitude, 2);
    EXPECT_EQ(doc.wpt.WayPoints(0)->Latitude, 1);
    EXPECT_EQ(doc.rte.GetRoute(0), r);
    EXPECT_EQ(doc.rte.Routes(0), r);
    EXPECT_EQ(r->GetRtePoint(0)->Latitude, 3);
    EXPECT_EQ(r->rtept(0), r->GetRtePoint(0));
    EXPECT_EQ(doc.trk.GetTrack(0), t);
    EXPECT_EQ(doc.trk.Tracks(0), t);
    EXPECT_EQ(t->GetTrkSeg(0), s);
    EXPECT_EQ(t->trkseg(0), s);
    EXPECT_EQ(s->GetTrkPoint(1)->Latitude, 5);
    EXPECT_EQ(s->trkpt(1), s->GetTrkPoint(1));

    EXPECT_THROW(doc.wpt.GetWaypoint(2), std::out_of_range);
    EXPECT_THROW(r->GetRtePoint(1), std::out_of_range);
    EXPECT_THROW(s->GetTrkPoint(-1), std::out_of_range);
    EXPECT_THROW(t->GetTrkSeg(1), std::out_of_range);
    EXPECT_THROW(doc.rte.GetRoute(1), std::out_of_range);
    EXPECT_THROW(doc.trk.GetTrack(-1), std::out_of_range);
}

// ---------------------------------------------------------------- line style

TEST(GPXStyleLine, ColorTextRoundTrip) {
    struct Case {
        const char *text;
        std::uint32_t color;
        const char *readBack;
    } const cases[] = {
        {"ff0000", 255, "ff0000"}, // red is the low byte
        {"00ff00", 0xff00, "00ff00"},
        {"0000ff", 0xff0000, "0000ff"},
        {"123456", 0x12 + 0x34 * 256 + 0x56 * 65536, "123456"},
        {"FF8000", 0x80ff, "ff8000"}, // read in lower case
        {"f", 15 * 65536, "00000f"},  // padded on the left
        {"abc", 0x0a * 256 + 0xbc * 65536, "000abc"},
        {"zz0000", 0, "000000"}, // not hexadecimal: 0
        {"zzff00", 0xff00, "00ff00"},
        {"12zz56", 0x12 + 0x56 * 65536, "120056"},
        {"1234567", 0x12 + 0x34 * 256 + 0x56 * 65536, "123456"}, // cut to six
        {"  \t00ff00\r\n", 0xff00, "00ff00"},                    // blanks and controls trimmed
        {"#ff000", 0xf0 * 256, "00f000"},                        // '#' is just a character
        {"#ff0000", 0xf0 * 256, "00f000"},                       // cut to "#ff000"
        {"", 0, "000000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        TGPX_StyleLine s;
        s.SetColorStr(c.text);
        EXPECT_EQ(s.Color(), c.color);
        EXPECT_FALSE(s.IsDefaultColor()); // writing a colour always clears the flag
        EXPECT_EQ(s.ColorStr(), c.readBack);
    }
}

TEST(GPXStyleLine, DefaultColorFlagIsBit24AndIgnoredByTheText) {
    TGPX_StyleLine s;
    EXPECT_EQ(s.ColorStr(), "000000");
    s.SetColor(16777216u | 0x563412u);
    EXPECT_TRUE(s.IsDefaultColor());
    EXPECT_EQ(s.ColorStr(), "123456");
    s.SetColor(0xffffffu);
    EXPECT_FALSE(s.IsDefaultColor());
    EXPECT_EQ(s.ColorStr(), "ffffff");
    s.SetColor(0xfe000000u); // higher bits than the flag do not count as the flag
    EXPECT_FALSE(s.IsDefaultColor());
}

TEST(GPXStyleLine, OpacityText) {
    struct Read {
        double opacity;
        const char *text;
    } const reads[] = {{1.0, "1"},     {0.5, "0.5"}, {-0.5, "0.5"},
                       {0.25, "0.25"}, {0, "0"},     {0.123456789012345678, "0.123456789012346"}};
    for (const Read &r : reads) {
        SCOPED_TRACE(r.opacity);
        TGPX_StyleLine s;
        s.SetOpacity(r.opacity);
        EXPECT_EQ(s.OpacityStr(), r.text);
    }

    struct Write {
        const char *text;
        double opacity;
    } const writes[] = {{"0.5", 0.5}, {"-0.5", 0.5}, {"1", 1.0},   {" 0.75 ", 0.75},
                        {"abc", 1.0}, {"", 1.0},     {"0,5", 1.0}, // "," is no separator
                        {"2.5", 2.5}, {"-0", 0.0},   {"1e-1", 0.1}};
    for (const Write &w : writes) {
        SCOPED_TRACE(w.text);
        TGPX_StyleLine s;
        s.SetOpacity(0.3);
        s.SetOpacityStr(w.text);
        EXPECT_DOUBLE_EQ(s.Opacity(), w.opacity);
        EXPECT_FALSE(std::signbit(s.Opacity()));
    }
}

TEST(GPXStyleLine, CopyFromTakesColourAndOpacity) {
    TGPX_StyleLine src, dst;
    src.SetColorStr("a1b2c3");
    src.SetOpacity(0.4);
    dst.CopyFrom(src);
    EXPECT_EQ(dst.Color(), src.Color());
    EXPECT_EQ(dst.Opacity(), 0.4);
    EXPECT_FALSE(dst.IsDefaultColor());

    TGPX_StyleLine fresh;
    dst.CopyFrom(fresh); // the default flag travels too
    ExpectDefaultStyle(dst);
}

// ---------------------------------------------------------------- copying

TEST(GPXCopy, WaypointCopiesEveryFieldDeeplyButNotLevelOrEnabled) {
    TGPXwpt src;
    FillWaypoint(src);
    src.enabled = true;

    TGPXwpt dst;
    dst.Level = 2;
    dst.enabled = false;
    dst.EditDetails().link = {"old", "old", "old", false};
    dst.CopyFrom(src);

    ExpectSameWaypointFields(dst, src);
    EXPECT_EQ(dst.Level, 2);
    EXPECT_FALSE(dst.enabled);

    dst.EditDetails().link.href = "changed";
    dst.EditDetails().link.text = "changed";
    dst.EditDetails().name = "changed";
    EXPECT_EQ(src.Details().link.href, "http://example.org/b");
    EXPECT_EQ(src.Details().link.text, "buoy page");
    EXPECT_EQ(src.Details().name, "buoy");

    dst.CopyFrom(TGPXwpt()); // a bare point's copy drops the details it had
    EXPECT_FALSE(dst.HasDetails());
    EXPECT_EQ(dst.Details().name, "");

    TGPXLink a{"h", "t", "l", true}, b;
    b.CopyFrom(a);
    EXPECT_EQ(b.href, "h");
    EXPECT_EQ(b.text, "t");
    EXPECT_EQ(b.ltype, "l");
    EXPECT_TRUE(b.filled);
}

TEST(GPXCopy, SegmentCopyReplacesPointsAndCopiesDepthAndExtensions) {
    TGPXtrkseg src;
    AddPoints(src, {{10, 20}, {11, 21, false}, {12, 19}});
    FillWaypoint(*src.GetTrkPoint(0));
    src.maxdepth = 1234;
    src.extensions = "<seg>x</seg>";
    src.CalcBBox(true);

    TGPXtrkseg dst;
    AddPoints(dst, {{1, 1}, {2, 2}, {3, 3}, {4, 4}});
    dst.maxdepth = 50;
    dst.extensions = "old";
    dst.BBox.N = 99;

    dst.CopyFrom(src);

    EXPECT_EQ(dst.maxdepth, 1234);
    EXPECT_EQ(dst.extensions, "<seg>x</seg>");
    ASSERT_EQ(dst.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NE(dst.GetTrkPoint(i), src.GetTrkPoint(i));
        ExpectSameWaypointFields(*dst.GetTrkPoint(i), *src.GetTrkPoint(i));
        EXPECT_TRUE(dst.GetTrkPoint(i)->enabled); // flags are not copied
    }
    EXPECT_EQ(dst.BBox.N, 99); // nor is the box
    EXPECT_FALSE(dst.BBox.Complete);

    // Deep: the copy and the source share nothing.
    dst.GetTrkPoint(0)->EditDetails().link.href = "elsewhere";
    dst.GetTrkPoint(0)->Latitude = -5;
    EXPECT_EQ(src.GetTrkPoint(0)->Details().link.href, "http://example.org/b");
    EXPECT_EQ(src.GetTrkPoint(0)->Latitude, 46.25);
    src.GetTrkPoint(2)->EditDetails().name = "renamed";
    EXPECT_TRUE(dst.GetTrkPoint(2)->Details().name.empty());

    // Copying an empty segment empties the target.
    TGPXtrkseg empty;
    dst.CopyFrom(empty);
    EXPECT_EQ(dst.Count(), 0);
    EXPECT_EQ(dst.maxdepth, 0);
    EXPECT_TRUE(dst.extensions.empty());
}

TEST(GPXCopy, TrackCopyKeepsOwnSegmentsAndAppendsCopies) {
    TGPXtrk src;
    src.name = "contour 3 m";
    src.cmt = "c";
    src.desc = "d";
    src.src = "tracer";
    src.link = {"http://example.org/t", "track", "text/html", true};
    src.number = 7;
    src.ttype = "iso";
    src.extensions = "<t/>";
    src.LineStyle.SetColorStr("336699");
    src.LineStyle.SetOpacity(0.6);
    AddSeg(src, {{1, 1}, {1, 2}}, 300);
    AddSeg(src, {{2, 1}}, 310);
    src.SetEnabled(false);

    TGPXtrk dst;
    TGPXtrkseg *own = AddSeg(dst, {{9, 9}}, 5);
    dst.CopyFrom(src);

    ASSERT_EQ(dst.Count(), 3);
    EXPECT_EQ(dst.GetTrkSeg(0), own);
    EXPECT_EQ(own->maxdepth, 5);
    EXPECT_EQ(own->Count(), 1);
    EXPECT_EQ(dst.GetTrkSeg(1)->maxdepth, 300);
    EXPECT_EQ(dst.GetTrkSeg(1)->Count(), 2);
    EXPECT_EQ(dst.GetTrkSeg(1)->GetTrkPoint(1)->Longitude, 2);
    EXPECT_EQ(dst.GetTrkSeg(2)->maxdepth, 310);
    EXPECT_NE(dst.GetTrkSeg(1), src.GetTrkSeg(0));
    EXPECT_NE(dst.GetTrkSeg(1)->GetTrkPoint(0), src.GetTrkSeg(0)->GetTrkPoint(0));

    EXPECT_EQ(dst.name, "contour 3 m");
    EXPECT_EQ(dst.cmt, "c");
    EXPECT_EQ(dst.desc, "d");
    EXPECT_EQ(dst.src, "tracer");
    EXPECT_EQ(dst.link.href, "http://example.org/t");
    EXPECT_TRUE(dst.link.filled);
    EXPECT_EQ(dst.number, 7);
    EXPECT_EQ(dst.ttype, "iso");
    EXPECT_EQ(dst.extensions, "<t/>");
    EXPECT_EQ(dst.LineStyle.ColorStr(), "336699");
    EXPECT_EQ(dst.LineStyle.Opacity(), 0.6);

    // Enabled flags are not copied: the copy and its parts stay as created.
    EXPECT_TRUE(dst.enabled());
    EXPECT_TRUE(dst.GetTrkSeg(1)->Enabled());
    EXPECT_TRUE(dst.GetTrkSeg(1)->GetTrkPoint(0)->enabled);

    // Deep: changing the copy's link leaves the source's alone.
    dst.link.href = "changed";
    dst.LineStyle.SetColorStr("000000");
    EXPECT_EQ(src.link.href, "http://example.org/t");
    EXPECT_EQ(src.LineStyle.ColorStr(), "336699");
}

TEST(GPXCopy, TrackListCopyTakesFilledAndAppendsTracks) {
    TGPXtrkList src;
    src.filled = true;
    for (int i = 0; i < 2; ++i) {
        TGPXtrk *t = src.Add(std::make_unique<TGPXtrk>());
        t->name = "src" + std::to_string(i);
        AddSeg(*t, {{double(i), 1}, {double(i), 2}}, 100 * (i + 1));
    }

    TGPXtrkList dst;
    TGPXtrk *own = dst.Add(std::make_unique<TGPXtrk>());
    own->name = "own";
    dst.CopyFrom(src);

    EXPECT_TRUE(dst.filled);
    ASSERT_EQ(dst.Count(), 3);
    EXPECT_EQ(dst.GetTrack(0), own);
    EXPECT_EQ(dst.GetTrack(1)->name, "src0");
    EXPECT_EQ(dst.GetTrack(2)->name, "src1");
    EXPECT_EQ(dst.GetTrack(2)->GetTrkSeg(0)->maxdepth, 200);
    EXPECT_NE(dst.GetTrack(1), src.GetTrack(0));

    dst.GetTrack(1)->GetTrkSeg(0)->GetTrkPoint(0)->Latitude = 55;
    EXPECT_EQ(src.GetTrack(0)->GetTrkSeg(0)->GetTrkPoint(0)->Latitude, 0);

    TGPXtrkList unfilled;
    dst.CopyFrom(unfilled);
    EXPECT_FALSE(dst.filled);
    EXPECT_EQ(dst.Count(), 3);
}

// ---------------------------------------------------------------- enabled flags

TEST(GPXEnabled, TrackListCascadesDownToPoints) {
    TGPX doc;
    for (int t = 0; t < 2; ++t) {
        TGPXtrk *trk = AddTrack(doc);
        for (int s = 0; s < 2; ++s)
            AddSeg(*trk, {{double(t), double(s)}, {double(t) + 1, double(s) + 1}});
    }
    AddPoints(doc.wpt, {{5, 5}});
    AddRoute(doc, {{6, 6}, {7, 7}});

    auto expectTracks = [&](bool value) {
        EXPECT_EQ(doc.trk.enabled(), value);
        for (const auto &trk : doc.trk.Items()) {
            EXPECT_EQ(trk->enabled(), value);
            for (const auto &seg : trk->Items()) {
                EXPECT_EQ(seg->Enabled(), value);
                for (const auto &p : seg->Items())
                    EXPECT_EQ(p->enabled, value);
            }
        }
    };

    doc.trk.SetEnabled(false);
    expectTracks(false);
    // Other branches of the document are not touched.
    EXPECT_TRUE(doc.wpt.Enabled());
    EXPECT_TRUE(doc.wpt.GetWaypoint(0)->enabled);
    EXPECT_TRUE(doc.rte.GetRoute(0)->Enabled());
    EXPECT_TRUE(doc.rte.GetRoute(0)->GetRtePoint(0)->enabled);
    EXPECT_TRUE(doc.enabled());

    doc.trk.SetEnabled(true);
    expectTracks(true);

    // One track alone: its segments and points follow, its neighbour does not.
    doc.trk.GetTrack(1)->SetEnabled(false);
    EXPECT_TRUE(doc.trk.enabled());
    EXPECT_TRUE(doc.trk.GetTrack(0)->GetTrkSeg(1)->GetTrkPoint(1)->enabled);
    EXPECT_FALSE(doc.trk.GetTrack(1)->enabled());
    EXPECT_FALSE(doc.trk.GetTrack(1)->GetTrkSeg(0)->Enabled());
    EXPECT_FALSE(doc.trk.GetTrack(1)->GetTrkSeg(1)->GetTrkPoint(0)->enabled);
}

TEST(GPXEnabled, RouteListCascadesToRoutesAndPoints) {
    TGPX doc;
    AddRoute(doc, {{1, 1}, {2, 2}});
    AddRoute(doc, {{3, 3}});
    doc.rte.SetEnabled(false);
    EXPECT_FALSE(doc.rte.enabled());
    for (const auto &r : doc.rte.Items()) {
        EXPECT_FALSE(r->Enabled());
        for (const auto &p : r->Items())
            EXPECT_FALSE(p->enabled);
    }
    doc.rte.SetEnabled(true);
    EXPECT_TRUE(doc.rte.GetRoute(0)->GetRtePoint(1)->enabled);
    EXPECT_TRUE(doc.rte.GetRoute(1)->Enabled());
}

// ---------------------------------------------------------------- Clear

TEST(GPXDocument, ClearEmptiesListsAndKeepsMetadata) {
    TGPX doc;
    doc.creator = "Depthwright";
    doc.metadata.name = "Lake";
    doc.metadata.filled = true;
    doc.metadata.copyright.year = 2021;
    doc.metadata.bounds = {1, 2, 3, 4, true};
    doc.extension.Text = "<x/>";
    AddPoints(doc.wpt, {{1, 1}, {2, 2}});
    TGPXrte *r = AddRoute(doc, {{1, 1}, {2, 2}});
    TGPXtrk *t = AddTrack(doc);
    TGPXtrkseg *s = AddSeg(*t, {{1, 1}, {3, 3}}, 700);
    doc.wpt.filled = doc.rte.filled = doc.trk.filled = true;
    doc.Selection.Add(doc.wpt.GetWaypoint(0));
    doc.Selection.Add(r);
    doc.Selection.Add(s);
    doc.trk.SetEnabled(false);
    doc.SetEnabled(false);

    doc.Clear();

    EXPECT_EQ(doc.wpt.Count(), 0);
    EXPECT_EQ(doc.rte.Count(), 0);
    EXPECT_EQ(doc.trk.Count(), 0);
    EXPECT_EQ(doc.Selection.Count(), 0);
    EXPECT_EQ(doc.Selection.Parent, &doc);
    EXPECT_FALSE(doc.wpt.filled);
    EXPECT_FALSE(doc.rte.filled);
    EXPECT_FALSE(doc.trk.filled);

    EXPECT_EQ(doc.creator, "Depthwright");
    EXPECT_EQ(doc.metadata.name, "Lake");
    EXPECT_TRUE(doc.metadata.filled);
    EXPECT_EQ(doc.metadata.copyright.year, 2021);
    EXPECT_TRUE(doc.metadata.bounds.filled);
    EXPECT_EQ(doc.metadata.bounds.maxlon, 4);
    EXPECT_EQ(doc.extension.Text, "<x/>");
    EXPECT_FALSE(doc.enabled());
    EXPECT_FALSE(doc.trk.enabled());
    EXPECT_TRUE(doc.wpt.Enabled());
    EXPECT_TRUE(doc.rte.enabled());

    // The document is usable again afterwards.
    TGPXtrk *again = AddTrack(doc);
    AddSeg(*again, {{-1, -1}, {-2, -3}});
    doc.ComputeMetaBounds();
    EXPECT_EQ(doc.metadata.bounds.minlat, -2);
    EXPECT_EQ(doc.metadata.bounds.minlon, -3);
}

// ---------------------------------------------------------------- bounds

TEST(GPXMetaBounds, CoversWaypointsRoutesAndSegments) {
    TGPX doc;
    AddPoints(doc.wpt, {{47.1, 8.1}, {47.2, 8.2}});
    AddRoute(doc, {{46.9, 8.3}, {47.0, 8.15}});
    TGPXtrk *t1 = AddTrack(doc);
    AddSeg(*t1, {{47.05, 8.05}, {47.15, 8.12}});
    TGPXtrk *t2 = AddTrack(doc);
    AddSeg(*t2, {{47.0, 8.1}, {47.1, 8.1}});
    AddSeg(*t2, {{47.3, 7.9}, {47.25, 8.0}});

    doc.ComputeMetaBounds();
    EXPECT_TRUE(doc.metadata.filled);
    EXPECT_TRUE(doc.metadata.bounds.filled);
    EXPECT_DOUBLE_EQ(doc.metadata.bounds.minlat, 46.9);
    EXPECT_DOUBLE_EQ(doc.metadata.bounds.maxlat, 47.3);
    EXPECT_DOUBLE_EQ(doc.metadata.bounds.minlon, 7.9);
    EXPECT_DOUBLE_EQ(doc.metadata.bounds.maxlon, 8.3);

    // Southern and western hemispheres.
    TGPX south;
    AddRoute(south, {{-33.5, -70.8}, {-33.2, -70.5}});
    AddSeg(*AddTrack(south), {{-33.4, -70.9}, {-33.3, -70.6}});
    south.ComputeMetaBounds();
    EXPECT_DOUBLE_EQ(south.metadata.bounds.minlat, -33.5);
    EXPECT_DOUBLE_EQ(south.metadata.bounds.maxlat, -33.2);
    EXPECT_DOUBLE_EQ(south.metadata.bounds.minlon, -70.9);
    EXPECT_DOUBLE_EQ(south.metadata.bounds.maxlon, -70.5);
}

TEST(GPXMetaBounds, LeavesBoundsUntouchedWithoutAnExtent) {
    struct Case {
        const char *name;
        std::function<void(TGPX &)> build;
    } const cases[] = {
        {"empty document", [](TGPX &) {}},
        {"one waypoint",
         [](TGPX &d) {
             AddPoints(d.wpt, {{47, 8}});
         }},
        {"segments of one point each",
         [](TGPX &d) {
             TGPXtrk *t = AddTrack(d);
             AddSeg(*t, {{47, 8}});
             AddSeg(*t, {{48, 9}});
             AddSeg(*AddTrack(d), {{46, 7}});
         }},
        {"one waypoint and a one-point route",
         [](TGPX &d) {
             AddPoints(d.wpt, {{47, 8}});
             AddRoute(d, {{48, 9}});
         }},
        {"all on one meridian",
         [](TGPX &d) {
             AddPoints(d.wpt, {{47, 8}, {48, 8}});
             AddSeg(*AddTrack(d), {{46, 8}, {46.5, 8}});
         }},
        {"all on one parallel",
         [](TGPX &d) {
             AddRoute(d, {{47, 8}, {47, 9}});
             AddSeg(*AddTrack(d), {{47, 7}, {47, 7.5}});
         }},
        {"only disabled points",
         [](TGPX &d) {
             AddSeg(*AddTrack(d), {{47, 8, false}, {48, 9, false}});
         }},
        {"disabled points leave a single meridian",
         [](TGPX &d) {
             AddSeg(*AddTrack(d), {{47, 8}, {48, 8}, {49, 9, false}});
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TGPX doc;
        c.build(doc);
        SetSentinelBounds(doc);
        doc.ComputeMetaBounds();
        ExpectSentinelBounds(doc);
    }
}

TEST(GPXMetaBounds, LeavesOutDisabledPointsAndShortLists) {
    TGPX doc;
    AddPoints(doc.wpt, {{10, 10}}); // a lone waypoint has no box
    AddRoute(doc, {{-20, -20}});    // nor has a one-point route
    AddSeg(*AddTrack(doc), {{47, 8}, {80, 100, false}, {47.5, 8.5}, {-80, -100, false}});

    doc.ComputeMetaBounds();
    EXPECT_TRUE(doc.metadata.bounds.filled);
    EXPECT_DOUBLE_EQ(doc.metadata.bounds.minlat, 47);
    EXPECT_DOUBLE_EQ(doc.metadata.bounds.maxlat, 47.5);
    EXPECT_DOUBLE_EQ(doc.metadata.bounds.minlon, 8);
    EXPECT_DOUBLE_EQ(doc.metadata.bounds.maxlon, 8.5);
}

// ---------------------------------------------------------------- parents

TEST(GPXDocument, GetWaypointParentFindsTheHoldingList) {
    TGPX doc;
    AddPoints(doc.wpt, {{1, 1}, {2, 2}});
    TGPXrte *r1 = AddRoute(doc, {{3, 3}});
    TGPXrte *r2 = AddRoute(doc, {{4, 4}, {5, 5}});
    TGPXtrk *t1 = AddTrack(doc);
    TGPXtrkseg *s11 = AddSeg(*t1, {{6, 6}});
    TGPXtrk *t2 = AddTrack(doc);
    TGPXtrkseg *s21 = AddSeg(*t2, {{7, 7}});
    TGPXtrkseg *s22 = AddSeg(*t2, {{8, 8}, {9, 9}});

    EXPECT_EQ(doc.GetWaypointParent(doc.wpt.GetWaypoint(1)), &doc.wpt);
    EXPECT_EQ(doc.GetWaypointParent(r1->GetRtePoint(0)), r1);
    EXPECT_EQ(doc.GetWaypointParent(r2->GetRtePoint(1)), r2);
    EXPECT_EQ(doc.GetWaypointParent(s11->GetTrkPoint(0)), s11);
    EXPECT_EQ(doc.GetWaypointParent(s21->GetTrkPoint(0)), s21);
    EXPECT_EQ(doc.GetWaypointParent(s22->GetTrkPoint(1)), s22);

    // A point of no list of this document, even one equal to a member.
    TGPXwpt stranger;
    stranger.Latitude = 1;
    stranger.Longitude = 1;
    EXPECT_EQ(doc.GetWaypointParent(&stranger), nullptr);
    EXPECT_EQ(doc.GetWaypointParent(nullptr), nullptr);
    TGPX other;
    AddPoints(other.wpt, {{1, 1}});
    EXPECT_EQ(doc.GetWaypointParent(other.wpt.GetWaypoint(0)), nullptr);

    // Held twice: the waypoint list comes before routes, earlier routes before later
    // ones, routes before segments.
    {
        TGPXwpt *shared = doc.wpt.GetWaypoint(0);
        Alias inRoute(*r2, shared);
        EXPECT_EQ(doc.GetWaypointParent(shared), &doc.wpt);
    }
    {
        TGPXwpt *shared = r2->GetRtePoint(0);
        Alias inFirst(*r1, shared);
        Alias inSeg(*s11, shared);
        EXPECT_EQ(doc.GetWaypointParent(shared), r1);
    }
    {
        TGPXwpt *shared = s22->GetTrkPoint(0);
        Alias inEarlier(*s21, shared);
        EXPECT_EQ(doc.GetWaypointParent(shared), s21);
    }
}

// ---------------------------------------------------------------- selection

TEST(GPXSelection, AnswersByIdentity) {
    TGPX doc;
    AddPoints(doc.wpt, {{1, 1}, {2, 2}});
    TGPXrte *r = AddRoute(doc, {{3, 3}});
    TGPXtrkseg *s = AddSeg(*AddTrack(doc), {{4, 4}});

    TGPXSelection &sel = doc.Selection;
    EXPECT_FALSE(sel.IsInSelection(r));
    EXPECT_FALSE(sel.IsInSelection(nullptr));

    sel.Add(doc.wpt.GetWaypoint(0));
    sel.Add(s);
    EXPECT_TRUE(sel.IsInSelection(doc.wpt.GetWaypoint(0)));
    EXPECT_TRUE(sel.IsInSelection(s));
    EXPECT_FALSE(sel.IsInSelection(doc.wpt.GetWaypoint(1)));
    EXPECT_FALSE(sel.IsInSelection(r));

    TGPXwpt twin; // same content, different object
    twin.CopyFrom(*doc.wpt.GetWaypoint(0));
    EXPECT_FALSE(sel.IsInSelection(&twin));

    sel.Remove(s);
    EXPECT_FALSE(sel.IsInSelection(s));
    EXPECT_EQ(sel.Count(), 1);
    sel.Remove(r); // not there: nothing happens
    EXPECT_EQ(sel.Count(), 1);

    sel.Clear();
    EXPECT_EQ(sel.Count(), 0);
    EXPECT_FALSE(sel.IsInSelection(doc.wpt.GetWaypoint(0)));
}

TEST(GPXSelection, APointListIsSelectedOnlyForRoutesAndSegments) {
    TGPX doc;
    AddPoints(doc.wpt, {{1, 1}, {2, 2}});
    TGPXrte *r = AddRoute(doc, {{3, 3}});
    TGPXtrkseg *s = AddSeg(*AddTrack(doc), {{4, 4}});

    struct Case {
        const char *name;
        std::vector<TGPXSelection::Entry> entries;
        bool expected;
    } const cases[] = {
        {"empty", {}, false},
        {"waypoints only", {doc.wpt.GetWaypoint(0), doc.wpt.GetWaypoint(1)}, false},
        {"a route point is still a waypoint", {r->GetRtePoint(0)}, false},
        {"a route", {r}, true},
        {"a track segment", {s}, true},
        {"waypoint then segment", {doc.wpt.GetWaypoint(0), s}, true},
        {"absent entries do not count",
         {static_cast<TGPXrte *>(nullptr), static_cast<TGPXtrkseg *>(nullptr)},
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        doc.Selection.Clear();
        for (const auto &e : c.entries)
            doc.Selection.Add(e);
        EXPECT_EQ(doc.Selection.APointListIsSelected(), c.expected);
    }
}
