#include "formats/GPXFile.h"

#include "formats/PointConverter.h"
#include "support/AtomicFile.h"
#include "support/MappedFile.h"
#include "support/NumText.h"
#include "support/XmlPath.h"

#include <cmath>
#include <exception>
#include <optional>
#include <type_traits>

namespace formats {

using model::TGPX;
using model::TGPXwpt;
using model::TGPXwptList;
using support::LowerAscii;
using support::StrToFloatDef;
using support::StrToIntDef;
using xml::Node;
using xml::PullParser;

namespace {

constexpr const char *kGpxNamespace = "http://www.topografix.com/GPX/1/1";
constexpr const char *kSchemaInstance = "http://www.w3.org/2001/XMLSchema-instance";
constexpr const char *kSchemaLocation =
    "http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd";
constexpr const char *kStyleNamespace = "http://www.topografix.com/GPX/gpx_style/0/2";
// The prefix of the depth lines every point carries; without its declaration no
// namespace-aware reader takes the file.
constexpr const char *kDepthNamespace = "http://humminbird.com";
// A depth reading the user is to review as a suspected spike; only such points carry it.
constexpr const char *kSpikeFlag = "spike";
constexpr const char *kDepthMarkers = "<h:id>1</h:id><h:visible>true</h:visible>"
                                      "<h:share>false</h:share><h:status>1</h:status>"
                                      "<h:delta>false</h:delta>";

std::string Between(const std::string &s, const std::string &open, const std::string &close) {
    std::size_t start = s.find(open);
    if (start == std::string::npos)
        return s;
    start += open.size();
    std::size_t end = s.find(close, start);
    return s.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// Runs `body`; whatever happens, `finally` runs afterwards (the failure rules keep
// the item being read).
template <class Body, class Finally> void Always(Body body, Finally finally) {
    try {
        body();
    } catch (...) {
        finally();
        throw;
    } finally();
}

std::string QuotedAttribute(const std::string &value) {
    // XMLise leaves quotes alone; inside an attribute they must not end the value.
    std::string s = TGPXFile::XMLise(value);
    std::string out;
    for (char c : s)
        out += c == '"' ? std::string("&quot;") : std::string(1, c);
    return out;
}

} // namespace

// What one file adds; merged into the document only when the file is well-formed XML.
struct TGPXFile::Staged {
    TGPX doc;
    bool metadataRead = false;
    bool extensionRead = false;
};

// ---------------------------------------------------------------- reading

std::string TGPXFile::GetLastNodeText(Node Parent, std::string_view NodeName) {
    return xml::LastNodeText(Parent, NodeName);
}

std::string TGPXFile::GetExtensionNodeContent(Node Parent, std::string_view NodeName) {
    Node n = xml::SelectLast(Parent, NodeName);
    return n ? InnerMarkup(n, NodeName) : std::string();
}

// The markup between "<name>" and the next "</name>"; the whole markup when the element
// is not written with exactly that start tag (attributes, other letter case, empty).
std::string TGPXFile::InnerMarkup(Node element, std::string_view NodeName) {
    std::string markup = support::Trim(element.Markup());
    std::string name(NodeName);
    if (markup.find("<" + name + ">") == std::string::npos)
        return markup;
    return Between(markup, "<" + name + ">", "</" + name + ">");
}

void TGPXFile::ImportGPXFile(const std::string &path) {
    std::unique_ptr<support::MappedFile> file;
    try {
        file = std::make_unique<support::MappedFile>(path);
    } catch (const support::FileError &e) {
        AddLog(std::string(e.what()) + " (LoadDataSource0).");
        return;
    }
    std::string converted;
    std::string_view text = xml::AsUtf8(file->View(), converted);
    // Text already parsed is not needed again (only when the view is the mapping itself).
    if (converted.empty())
        releaseInput_ = [&](std::size_t offset) {
            file->ReleaseBefore(offset +
                                static_cast<std::size_t>(text.data() - file->View().data()));
        };
    struct ResetRelease {
        std::function<void(std::size_t)> &hook;
        ~ResetRelease() { hook = nullptr; }
    } resetRelease{releaseInput_};
    Staged staged;
    std::exception_ptr contentError;
    bool isGpx = false;
    try {
        PullParser parser(text);
        try {
            ReadGPXDocument(parser, staged, isGpx);
        } catch (const xml::ParseError &) {
            throw;
        } catch (const std::exception &) {
            contentError = std::current_exception();
        }
        // Whatever was read counts only if the whole file is XML.
        parser.ReadToEnd();
    } catch (const xml::ParseError &e) {
        AddLog(std::string(e.what()) + " (LoadDataSource" + std::to_string(e.offset) + ").");
        return;
    }
    if (!isGpx) {
        AddLog("File not loaded");
        return;
    }

    TGPX &doc = *GPXd;
    for (auto &p : staged.doc.wpt.ExtractAll())
        doc.wpt.Add(std::move(p));
    for (auto &r : staged.doc.rte.ExtractAll())
        doc.rte.Add(std::move(r));
    for (auto &t : staged.doc.trk.ExtractAll())
        doc.trk.Add(std::move(t));
    doc.wpt.filled = doc.wpt.filled || staged.doc.wpt.filled;
    doc.rte.filled = doc.rte.filled || staged.doc.rte.filled;
    doc.trk.filled = doc.trk.filled || staged.doc.trk.filled;
    if (staged.metadataRead)
        doc.metadata = std::move(staged.doc.metadata);
    if (staged.extensionRead)
        doc.extension.Text = std::move(staged.doc.extension.Text);
    if (contentError)
        std::rethrow_exception(contentError);

    long long routePoints = 0, trackPoints = 0, segments = 0;
    for (const auto &r : doc.rte.Items())
        routePoints += r->Count();
    for (const auto &t : doc.trk.Items()) {
        segments += t->Count();
        for (const auto &s : t->Items())
            trackPoints += s->Count();
    }
    AddLog(std::to_string(doc.wpt.Count()) + " waypoints");
    AddLog(std::to_string(doc.rte.Count()) + " routes (" + std::to_string(routePoints) +
           " points))");
    AddLog(std::to_string(doc.trk.Count()) + " tracks (" + std::to_string(trackPoints) +
           " points in " + std::to_string(segments) + " track segments)");
    Loaded = true;
}

void TGPXFile::ReadGPXDocument(PullParser &parser, Staged &staged, bool &isGpx) {
    while (parser.Next() != PullParser::Event::StartElement) {
    }
    isGpx = LowerAscii(parser.Name()) == "gpx";
    if (!isGpx)
        return;
    xml::Tree tree;
    for (;;) {
        PullParser::Event ev = parser.Next();
        if (ev == PullParser::Event::EndElement)
            return; // the root's end
        if (ev != PullParser::Event::StartElement)
            continue;
        std::string name = LowerAscii(parser.Name());
        if (name == "trk") {
            ReadTrack(parser, staged.doc);
        } else if (name == "rte") {
            ReadRoute(parser, staged.doc);
        } else if (name == "wpt" || name == "metadata" || name == "extensions") {
            tree.Clear();
            parser.ReadSubtree(tree);
            if (name == "wpt") {
                ReadWaypoint(tree.Root(), staged.doc.wpt);
            } else if (name == "metadata") {
                ReadMetadata(tree.Root(), staged);
            } else {
                staged.doc.extension.Text = ReadDocumentExtensions(tree.Root());
                staged.extensionRead = true;
            }
        } else {
            parser.SkipSubtree();
        }
    }
}

model::TGPXLink TGPXFile::ReadLink(Node e) {
    model::TGPXLink link;
    link.href = e.AttributeValue("href");
    if (link.href.empty())
        link.href = e.TextContent();
    link.text = GetLastNodeText(e, "text");
    link.ltype = GetLastNodeText(e, "type");
    link.filled = true;
    return link;
}

model::TGPXperson TGPXFile::ReadPerson(Node e) {
    model::TGPXperson person;
    person.name = GetLastNodeText(e, "name");
    if (person.name.empty())
        person.name = e.TextContent();
    if (Node email = xml::SelectLast(e, "email")) {
        person.email.id = GetLastNodeText(email, "id");
        person.email.domain = GetLastNodeText(email, "domain");
        person.email.filled = true;
    }
    if (Node link = xml::SelectLast(e, "link"))
        person.link = ReadLink(link);
    person.filled = true;
    return person;
}

model::TGPXbounds TGPXFile::ReadBounds(Node e) {
    model::TGPXbounds b;
    if (!e.HasAttributes())
        return b;
    b.minlat = StrToFloatDef(e.AttributeValue("minlat"), 0);
    b.minlon = StrToFloatDef(e.AttributeValue("minlon"), 0);
    b.maxlat = StrToFloatDef(e.AttributeValue("maxlat"), 0);
    b.maxlon = StrToFloatDef(e.AttributeValue("maxlon"), 0);
    b.filled = true;
    return b;
}

void TGPXFile::ReadMetadata(Node e, Staged &staged) {
    model::TGPXmetadata m;
    Always(
        [&] {
            m.name = GetLastNodeText(e, "name");
            m.desc = GetLastNodeText(e, "desc");
            if (Node author = xml::SelectLast(e, "author"))
                m.author = ReadPerson(author);
            if (Node c = xml::SelectLast(e, "copyright")) {
                if (const xml::Attribute *a = c.FindAttribute("author"))
                    m.copyright.author = a->value;
                m.copyright.year = StrToIntDef(GetLastNodeText(c, "year"), -1);
                m.copyright.license = GetLastNodeText(c, "license");
                m.copyright.filled = true;
            }
            if (Node link = xml::SelectLast(e, "link"))
                m.link = ReadLink(link);
            m.mtime = ISO8601ToDateTime(GetLastNodeText(e, "time"));
            m.keywords = GetLastNodeText(e, "keywords");
            if (Node bounds = xml::SelectLast(e, "bounds"))
                m.bounds = ReadBounds(bounds);
            m.extensions = GetExtensionNodeContent(e, "extensions");
            m.filled = true;
        },
        [&] {
            staged.doc.metadata = std::move(m);
            staged.metadataRead = true;
        });
}

namespace {

// The children a point reads, found in one pass; of several with one name the last counts.
enum PointChild {
    kTime,
    kEle,
    kMagvar,
    kGeoidheight,
    kName,
    kCmt,
    kDesc,
    kSrc,
    kLink,
    kSym,
    kType,
    kFix,
    kSat,
    kHdop,
    kVdop,
    kPdop,
    kAgeofdgpsdata,
    kDgpsid,
    kExtensions,
    kPointChildCount
};
constexpr std::string_view kPointChildNames[kPointChildCount] = {
    "time", "ele",  "magvar",        "geoidheight", "name",      "cmt", "desc",
    "src",  "link", "sym",           "type",        "fix",       "sat", "hdop",
    "vdop", "pdop", "ageofdgpsdata", "dgpsid",      "extensions"};

// The extension elements this program writes into every point of its own files; a point
// whose extensions hold nothing else needs no copy of them.
bool IsOwnDepthMarker(std::string_view name) {
    constexpr std::string_view kOwn[] = {"h:depth", "h:flag",   "h:id",   "h:visible",
                                         "h:share", "h:status", "h:delta"};
    for (std::string_view own : kOwn)
        if (support::EqualsNoCase(name, own))
            return true;
    return false;
}

struct PointChildren {
    Node last[kPointChildCount];
    Node depth;                     // the last h:depth among the children of all extensions
    Node flag;                      // the last h:flag, likewise
    bool foreignExtensions = false; // the last extensions hold more than the own markers

    // Whether the point has anything for its details; most soundings have not.
    bool HasDetails() const {
        if (foreignExtensions)
            return true;
        for (int i = 0; i < kPointChildCount; ++i)
            if (last[i] && i != kTime && i != kEle && i != kExtensions)
                return true;
        return false;
    }

    explicit PointChildren(Node e) {
        for (Node c = e.FirstChild(); c; c = c.NextSibling()) {
            if (c.Kind() != xml::NodeKind::Element)
                continue;
            for (int i = 0; i < kPointChildCount; ++i)
                if (support::EqualsNoCase(c.Name(), kPointChildNames[i])) {
                    last[i] = c;
                    if (i == kExtensions)
                        ReadExtensions(c);
                    break;
                }
        }
    }
    void ReadExtensions(Node extensions) {
        foreignExtensions = extensions.HasAttributes();
        for (Node d = extensions.FirstChild(); d; d = d.NextSibling()) {
            if (d.Kind() != xml::NodeKind::Element) {
                if (d.Kind() != xml::NodeKind::Text || !support::TrimView(d.Value()).empty())
                    foreignExtensions = true;
                continue;
            }
            if (support::EqualsNoCase(d.Name(), "h:depth"))
                depth = d;
            else if (support::EqualsNoCase(d.Name(), "h:flag"))
                flag = d;
            if (!IsOwnDepthMarker(d.Name()) || d.HasAttributes())
                foreignExtensions = true;
        }
    }
    // The child's text; a view valid until the next call.
    std::string_view Text(PointChild which) const { return TextOf(last[which]); }
    std::string_view TextOf(Node n) const { return n ? n.TextView(scratch) : std::string_view(); }

  private:
    mutable std::string scratch;
};

} // namespace

void TGPXFile::ReadWaypoint(Node e, TGPXwptList &list) {
    auto point = std::make_unique<TGPXwpt>();
    TGPXwpt &w = *point;
    // The fields a point holds besides position, depth and time, in the order they were
    // always read: a content error leaves the point with what came before it.
    auto readDetails = [](const PointChildren &c, model::TGPXwptDetails &d) {
        d.magvar = StrToFloatDef(c.Text(kMagvar), 0);
        d.geoidheight = StrToFloatDef(c.Text(kGeoidheight), 0);
        d.name = c.Text(kName);
        d.cmt = c.Text(kCmt);
        d.desc = c.Text(kDesc);
        d.src = c.Text(kSrc);
        if (c.last[kLink])
            d.link = ReadLink(c.last[kLink]);
        d.sym = c.Text(kSym);
        d.wtype = c.Text(kType);
        d.fix = LowerAscii(c.Text(kFix));
        // A point without a satellite count has none (255), not zero satellites.
        const std::string_view satText = c.Text(kSat);
        if (auto sat = support::TryStrToInt(satText)) {
            if (*sat < 0 || *sat > 255)
                throw GPXContentError("Satellite count " + std::string(satText) +
                                      " is outside 0 to 255");
            d.sat = static_cast<std::uint8_t>(*sat);
        }
        d.hdop = StrToFloatDef(c.Text(kHdop), -1);
        d.vdop = StrToFloatDef(c.Text(kVdop), -1);
        d.pdop = StrToFloatDef(c.Text(kPdop), -1);
        d.ageofdgpsdata = StrToFloatDef(c.Text(kAgeofdgpsdata), -1);
        d.dgpsid = StrToIntDef(c.Text(kDgpsid), -1);
    };
    std::optional<model::TGPXwptDetails> details;
    Always(
        [&] {
            if (const xml::Attribute *lat = e.FindAttribute("lat"))
                w.Latitude = StrToFloatDef(lat->value, 0);
            if (const xml::Attribute *lon = e.FindAttribute("lon"))
                w.Longitude = StrToFloatDef(lon->value, 0);
            const PointChildren c(e);
            w.DateTime = ISO8601ToDateTime(c.Text(kTime));
            w.Altitude = StrToFloatDef(c.Text(kEle), 0);
            if (c.HasDetails())
                readDetails(c, details.emplace());
            w.HBdepth = c.depth ? StrToFloatDef(c.TextOf(c.depth), 0) : 0;
            w.Flagged = c.flag && support::EqualsNoCase(c.TextOf(c.flag), kSpikeFlag);
            if (c.foreignExtensions)
                details.value().extensions = InnerMarkup(c.last[kExtensions], "extensions");
        },
        [&] {
            if (details)
                point->SetDetails(std::move(*details));
            list.Add(std::move(point));
            list.filled = true;
        });
}

template <class Item> void TGPXFile::ReadRouteOrTrackHeader(Node h, Item &item) {
    item.name = GetLastNodeText(h, "name");
    item.cmt = GetLastNodeText(h, "cmt");
    item.desc = GetLastNodeText(h, "desc");
    item.src = GetLastNodeText(h, "src");
    if (Node link = xml::SelectLast(h, "link"))
        item.link = ReadLink(link);
    item.number = StrToIntDef(GetLastNodeText(h, "number"), -1);
    std::string type = GetLastNodeText(h, "type");
    if constexpr (std::is_same_v<Item, model::TGPXrte>)
        item.rtype = type;
    else
        item.ttype = type;
    if (Node ext = xml::SelectLast(h, "extensions")) {
        item.extensions.clear();
        for (Node c = ext.FirstChild(); c; c = c.NextSibling()) {
            if (c.Kind() == xml::NodeKind::Element && c.Name() == "line") {
                std::string color = GetLastNodeText(c, "color");
                if (!color.empty())
                    item.LineStyle.SetColorStr(color);
                std::string opacity = GetLastNodeText(c, "opacity");
                if (!opacity.empty())
                    item.LineStyle.SetOpacityStr(opacity);
            } else {
                item.extensions += LineBreak + c.Markup();
            }
        }
        item.extensions = support::Trim(item.extensions);
    }
    if (item.name.empty() && !item.desc.empty())
        item.name = item.desc;
}

// Routes and tracks are read as they stream past: their own fields are gathered in a
// small tree, their points one at a time. After a content error the rest of the element
// is still scanned for its own fields, which the reader takes before any point.

namespace {

// Reads the children of the element just opened, through its end tag. Each child named
// `itemName` is opened by `open` (outside the failure rules: a file that is not XML ends
// the reading at once) and then read by `read`; the first content error `read` throws is
// kept and the later children of that name are skipped unread, while every other child
// still goes to `other`. Returns the error kept.
template <class Open, class Read, class Other>
std::exception_ptr ReadItemsOf(PullParser &parser, std::string_view itemName, Open open, Read read,
                               Other other) {
    std::exception_ptr error;
    for (;;) {
        PullParser::Event ev = parser.Next();
        if (ev == PullParser::Event::EndElement)
            break;
        if (ev != PullParser::Event::StartElement)
            continue;
        if (support::EqualsNoCase(parser.Name(), itemName)) {
            if (error) {
                parser.SkipSubtree();
                continue;
            }
            open();
            try {
                read();
            } catch (const xml::ParseError &) {
                throw;
            } catch (const std::exception &) {
                error = std::current_exception();
            }
        } else {
            other();
        }
    }
    return error;
}

} // namespace

template <class Other>
std::exception_ptr TGPXFile::ReadPoints(PullParser &parser, std::string_view pointName,
                                        TGPXwptList &list, Other other) {
    TPointConverter converter(list, &TGPXFile::ReadWaypoint);
    int parsed = 0;
    std::exception_ptr error = ReadItemsOf(
        parser, pointName,
        [&] {
            parser.ReadSubtree(converter.NextTree());
            ReleaseConsumed(parser, parsed++);
        },
        [&] { converter.Submit(); }, other);
    std::exception_ptr converted = converter.Finish();
    return converted ? converted : error;
}

// The route or track goes into the document even when its fields or its points failed.
template <class Item, class List>
void TGPXFile::AddRouteOrTrack(const xml::Tree &header, std::unique_ptr<Item> item, List &list,
                               std::exception_ptr error) {
    Always([&] { ReadRouteOrTrackHeader(header.Root(), *item); },
           [&] {
               list.Add(std::move(item));
               list.filled = true;
           });
    if (error)
        std::rethrow_exception(error);
}

void TGPXFile::ReadRoute(PullParser &parser, TGPX &doc) {
    auto route = std::make_unique<model::TGPXrte>();
    xml::Tree header;
    header.Append(-1, xml::NodeKind::Element);
    std::exception_ptr error =
        ReadPoints(parser, "rtept", *route, [&] { parser.ReadSubtree(header, 0); });
    AddRouteOrTrack(header, std::move(route), doc.rte, error);
}

void TGPXFile::ReadTrack(PullParser &parser, TGPX &doc) {
    auto track = std::make_unique<model::TGPXtrk>();
    xml::Tree header;
    header.Append(-1, xml::NodeKind::Element);
    std::exception_ptr error = ReadItemsOf(
        parser, "trkseg", [] {}, [&] { ReadTrackSegment(parser, *track); },
        [&] { parser.ReadSubtree(header, 0); });
    AddRouteOrTrack(header, std::move(track), doc.trk, error);
}

void TGPXFile::ReadTrackSegment(PullParser &parser, model::TGPXtrk &track) {
    auto segment = std::make_unique<model::TGPXtrkseg>();
    xml::Tree extensions;
    std::exception_ptr error = ReadPoints(parser, "trkpt", *segment, [&] {
        if (support::EqualsNoCase(parser.Name(), "extensions")) {
            extensions.Clear(); // the last one counts
            extensions.Append(-1, xml::NodeKind::Element);
            parser.ReadSubtree(extensions, 0);
        } else {
            parser.SkipSubtree();
        }
    });
    if (!extensions.Empty())
        segment->extensions = GetExtensionNodeContent(extensions.Root(), "extensions");
    // A segment cut short by a content error keeps the points read so far.
    track.Add(std::move(segment));
    if (error)
        std::rethrow_exception(error);
}

void TGPXFile::ReleaseConsumed(const PullParser &parser, int pointsRead) {
    if (releaseInput_ && pointsRead % 8192 == 0)
        releaseInput_(parser.Offset());
}

std::string TGPXFile::ReadDocumentExtensions(Node e) {
    std::string markup = support::Trim(e.Markup());
    if (markup == "<extensions><extensions/></extensions>")
        return {};
    if (markup.find("<extensions>") == std::string::npos)
        return markup;
    return Between(markup, "<extensions>", "</extensions>");
}

// ---------------------------------------------------------------- writing

std::string TGPXFile::XMLise(std::string_view s) {
    return xml::EscapeText(s);
}

std::string TGPXFile::DepthText(double HBdepth) {
    return support::FloatToStrFixed(HBdepth, 1);
}

std::string TGPXFile::Indent(int n) const {
    if (IndentUnit.empty() || n <= 0)
        return {};
    return std::string(static_cast<std::size_t>(n), IndentUnit.front());
}

std::string TGPXFile::WriteText(const std::string &Text, const std::string &Tag, int TabCount,
                                bool Ext) const {
    if (Text.empty())
        return {};
    return Indent(TabCount) + "<" + Tag + ">" + (Ext ? Text : XMLise(Text)) + "</" + Tag + ">" +
           LineBreak;
}

std::string TGPXFile::WriteInt(long long Value, const std::string &Tag, long long Default,
                               int TabCount) const {
    if (Value == Default)
        return {};
    return WriteText(std::to_string(Value), Tag, TabCount, true);
}

std::string TGPXFile::WriteDouble(double Value, const std::string &Tag, double Default,
                                  int TabCount) const {
    if (Value == Default)
        return {};
    return WriteText(support::FloatToStrG15(Value), Tag, TabCount, true);
}

std::string TGPXFile::WriteTime(support::TDateTime Value, const std::string &Tag,
                                support::TDateTime Default, int TabCount) const {
    if (Value == Default)
        return {};
    return WriteText(DateTimeToGPXTime(Value), Tag, TabCount, true);
}

// Only ExportGPX sets a sink; the string-returning list writers build their text whole.
void TGPXFile::MaybeFlush(std::string &out) {
    if (sink_ && out.size() >= (1u << 20)) {
        sink_->Write(out);
        out.clear();
    }
}

void TGPXFile::WriteLink(std::string &out, const model::TGPXLink &link, int level) const {
    std::string tabs(static_cast<std::size_t>(std::max(level, 0)), '\t');
    out += tabs + "<link";
    if (!link.href.empty())
        out += " href=\"" + QuotedAttribute(link.href) + "\"";
    out += ">" + LineBreak;
    out += WriteText(link.text, "text", level + 1);
    out += WriteText(link.ltype, "type", level + 1);
    out += tabs + "</link>" + LineBreak;
}

void TGPXFile::WriteWaypoint(std::string &out, const TGPXwpt &p, const char *tag, int level) {
    const int in = level + 1;
    out += Indent(level) + "<" + tag + " lat=\"" + support::FloatToStrG15(p.Latitude) +
           "\" lon=\"" + support::FloatToStrG15(p.Longitude) + "\">" + LineBreak;
    out += WriteDouble(p.Altitude, "ele", 0, in);
    out += WriteTime(p.DateTime, "time", 0, in);
    const model::TGPXwptDetails &d = p.Details();
    out += WriteText(d.name, "name", in);
    out += WriteText(d.cmt, "cmt", in);
    out += WriteText(d.desc, "desc", in);
    out += WriteText(d.src, "src", in);
    if (d.link.filled)
        WriteLink(out, d.link, 0);
    out += WriteText(d.sym, "sym", in);
    out += WriteText(d.wtype, "type", in);
    out += WriteText(d.fix, "fix", in);
    out += WriteInt(d.sat, "sat", 255, in);
    out += WriteInt(d.dgpsid, "dgpsid", -1, in);
    out += WriteDouble(d.magvar, "magvar", 0, in);
    out += WriteDouble(d.geoidheight, "geoidheight", 0, in);
    out += WriteDouble(d.hdop, "hdop", -1, in);
    out += WriteDouble(d.vdop, "vdop", -1, in);
    out += WriteDouble(d.pdop, "pdop", -1, in);
    out += WriteDouble(d.ageofdgpsdata, "ageofdgpsdata", -1, in);
    out += Indent(level) + Indent(level) + "<extensions><h:depth>" + DepthText(p.HBdepth) +
           "</h:depth>";
    if (p.Flagged)
        out += std::string("<h:flag>") + kSpikeFlag + "</h:flag>";
    out += kDepthMarkers + std::string("</extensions>") + LineBreak;
    out += Indent(level) + "</" + tag + ">" + LineBreak;
    MaybeFlush(out);
}

template <class Item> void TGPXFile::WriteStyleAndExtensions(std::string &out, const Item &item) {
    const model::TGPX_StyleLine &style = item.LineStyle;
    bool opaque = std::fabs(style.Opacity()) >= 1;
    bool styleSet = !style.IsDefaultColor() || !opaque;
    bool writeStyle = styleSet && GPXOptions.GPX_Style;
    if (!writeStyle && item.extensions.empty())
        return;
    out += IndentUnit + "<extensions>" + LineBreak;
    if (writeStyle) {
        out += IndentUnit + IndentUnit + "<line xmlns=\"" + kStyleNamespace + "\">" + LineBreak;
        if (!style.IsDefaultColor())
            out += WriteText(style.ColorStr(), "color", 3);
        if (!opaque)
            out += WriteText(style.OpacityStr(), "opacity", 3);
        out += IndentUnit + IndentUnit + "</line>" + LineBreak;
    }
    out += item.extensions;
    out += IndentUnit + "</extensions>" + LineBreak;
}

template <class Item> void TGPXFile::WriteRouteOrTrackHeader(std::string &out, const Item &item) {
    out += WriteText(item.name, "name", 1);
    out += WriteText(item.cmt, "cmt", 1);
    out += WriteText(item.desc, "desc", 1);
    out += WriteText(item.src, "src", 1);
    if (item.link.filled)
        WriteLink(out, item.link, 0);
    out += WriteInt(item.number, "number", -1, 1);
    if constexpr (std::is_same_v<Item, model::TGPXrte>)
        out += WriteText(item.rtype, "type", 1);
    else
        out += WriteText(item.ttype, "type", 1);
    WriteStyleAndExtensions(out, item);
}

void TGPXFile::WriteRoute(std::string &out, const model::TGPXrte &r) {
    out += "<rte>" + LineBreak;
    WriteRouteOrTrackHeader(out, r);
    for (const auto &p : r.Items())
        WriteWaypoint(out, *p, "rtept", 1);
    out += "</rte>" + LineBreak;
}

void TGPXFile::WriteTrack(std::string &out, const model::TGPXtrk &t) {
    out += "<trk>" + LineBreak;
    WriteRouteOrTrackHeader(out, t);
    for (const auto &s : t.Items()) {
        out += IndentUnit + "<trkseg>" + LineBreak;
        for (const auto &p : s->Items())
            WriteWaypoint(out, *p, "trkpt", 2);
        out += WriteText(s->extensions, "extensions", 1, true);
        out += IndentUnit + "</trkseg>" + LineBreak;
    }
    out += "</trk>" + LineBreak;
}

void TGPXFile::WriteMetadata(std::string &out, const model::TGPXmetadata &m) {
    out += "<metadata>" + LineBreak;
    out += WriteText(m.name, "name", 1);
    out += WriteText(m.desc, "desc", 1);
    if (m.author.filled) {
        out += "\t<author>" + LineBreak;
        out += WriteText(m.author.name, "name", 2);
        if (m.author.email.filled) {
            out += "\t" + IndentUnit + "<email>" + LineBreak;
            out += WriteText(m.author.email.id, "id", 3);
            out += WriteText(m.author.email.domain, "domain", 3);
            out += "\t" + IndentUnit + "</email>" + LineBreak;
        }
        if (m.author.link.filled)
            WriteLink(out, m.author.link, 2);
        out += "</author>" + LineBreak;
    }
    if (m.copyright.filled) {
        out += "\t<copyright";
        if (!m.copyright.author.empty())
            out += " author=\"" + QuotedAttribute(m.copyright.author) + "\"";
        out += ">" + LineBreak;
        out += WriteInt(m.copyright.year, "year", -1, 2);
        out += WriteText(m.copyright.license, "license", 2);
        out += "\t</copyright>" + LineBreak;
    }
    if (m.link.filled)
        WriteLink(out, m.link, 1);
    out += WriteTime(m.mtime, "time", 0, 1);
    out += WriteText(m.keywords, "keywords", 1);
    if (m.bounds.filled) {
        out += "\t<bounds minlat=\"" + support::FloatToStrG15(m.bounds.minlat) + "\" minlon=\"" +
               support::FloatToStrG15(m.bounds.minlon) + "\" maxlat=\"" +
               support::FloatToStrG15(m.bounds.maxlat) + "\" maxlon=\"" +
               support::FloatToStrG15(m.bounds.maxlon) + "\" />" + LineBreak;
    }
    out += WriteText(m.extensions, "extensions", 1, true);
    out += "</metadata>" + LineBreak;
}

void TGPXFile::AppendWaypoints(std::string &out, const model::TGPXwptList &list) {
    for (const auto &p : list.Items())
        WriteWaypoint(out, *p, "wpt", 0);
}

void TGPXFile::AppendRoutes(std::string &out, const model::TGPXrteList &list) {
    for (const auto &r : list.Items())
        WriteRoute(out, *r);
}

void TGPXFile::AppendTracks(std::string &out, const model::TGPXtrkList &list) {
    for (const auto &t : list.Items())
        WriteTrack(out, *t);
}

std::string TGPXFile::ExportGPXWPTList(const model::TGPXwptList &WayptList) {
    std::string out;
    AppendWaypoints(out, WayptList);
    return out;
}

std::string TGPXFile::ExportGPXRTEList(const model::TGPXrteList &RouteList) {
    std::string out;
    AppendRoutes(out, RouteList);
    return out;
}

std::string TGPXFile::ExportGPXTRKList(const model::TGPXtrkList &TrackList) {
    std::string out;
    AppendTracks(out, TrackList);
    return out;
}

void TGPXFile::ExportGPX(const std::string &Filename) {
    LineBreak = GPXOptions.Compress ? "" : "\n";
    IndentUnit = GPXOptions.Compress ? "" : "\t";
    TGPX &doc = *GPXd;

    support::AtomicFileWriter file(Filename);
    sink_ = &file;
    struct ResetSink {
        support::AtomicFileWriter *&s;
        ~ResetSink() { s = nullptr; }
    } resetSink{sink_};

    std::string out =
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>") + LineBreak;
    out += "<gpx version=\"1.1\" creator=\"" + QuotedAttribute(doc.creator) + "\" xmlns=\"" +
           kGpxNamespace + "\" xmlns:xsi=\"" + kSchemaInstance + "\" xmlns:h=\"" + kDepthNamespace +
           "\" xsi:schemaLocation=\"" + kSchemaLocation + "\">" + LineBreak;
    if (doc.metadata.filled) {
        doc.ComputeMetaBounds();
        WriteMetadata(out, doc.metadata);
    }
    // The lists stream to the file as they are written (see MaybeFlush).
    if (doc.wpt.Count() > 0) {
        AppendWaypoints(out, doc.wpt);
        out += LineBreak;
    }
    if (doc.rte.Count() > 0) {
        AppendRoutes(out, doc.rte);
        out += LineBreak;
    }
    if (doc.trk.Count() > 0) {
        AppendTracks(out, doc.trk);
        out += LineBreak;
    }
    if (!support::TrimView(doc.extension.Text).empty())
        out += "<extensions>" + doc.extension.Text + "</extensions>" + LineBreak;
    out += "</gpx>";
    file.Write(out);
    file.Commit();
    Modified = false;
}

ReadResult ReadGPXFile(const std::string &path, model::TGPX &doc, const TReadOptions &) {
    ReadResult r;
    TGPXFile reader;
    reader.GPXd = &doc;
    try {
        reader.ImportGPXFile(path);
    } catch (const std::exception &e) {
        r.error = ReadError{e.what()};
    }
    r.loaded = reader.Loaded;
    r.log = reader.mLog;
    if (!r.loaded && !r.error) // not XML or not GPX: the reader's own words
        r.error = ReadError{r.log.empty() ? "File not loaded" : r.log.back()};
    return r;
}

} // namespace formats
