#include "formats/KMLFile.h"

#include "support/AtomicFile.h"
#include "support/MappedFile.h"
#include "support/NumText.h"
#include "support/XmlPath.h"

#include <algorithm>
#include <optional>

namespace formats {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Every "<br/>", in any letter case, becomes a line end.
std::string ReplaceBreaks(const std::string &text) {
    std::string lower = support::LowerAscii(text), out;
    std::size_t from = 0;
    for (std::size_t at; (at = lower.find("<br/>", from)) != std::string::npos; from = at + 5)
        out += text.substr(from, at - from) + "\r\n";
    return out + text.substr(from);
}

} // namespace

void TKMLFile::SplitCoordinates(std::string_view tuple, double &lon, double &lat, double &alt) {
    std::size_t comma = tuple.find(',');
    std::string_view rest = tuple.substr(comma + 1);
    std::string_view latText = rest, altText = "0";
    if (std::size_t next = rest.find(','); next != std::string_view::npos) {
        latText = rest.substr(0, next);
        altText = rest.substr(next + 1);
    }
    lon = support::StrToFloatDef(tuple.substr(0, comma), 0);
    lat = support::StrToFloatDef(latText, 0);
    alt = support::StrToFloatDef(altText, 0);
}

void TKMLFile::ImportKML(const std::string &path) {
    try {
        support::MappedFile file(path);
        ImportKMLText(file.View());
    } catch (const support::FileError &e) {
        AddLog(std::string(e.what()) + " (0).");
    }
}

void TKMLFile::ImportKMLText(std::string_view bytes) {
    std::string converted;
    xml::Tree tree;
    try {
        xml::ParseDocument(xml::AsUtf8(bytes, converted), tree);
    } catch (const xml::ParseError &e) {
        AddLog(std::string(e.what()) + " (" + std::to_string(e.offset) + ").");
        return;
    }
    xml::Node root = tree.Root();
    if (!xml::IsNamed(root, "*:kml")) {
        AddLog("File not loaded");
        return;
    }
    // Names are matched under any prefix: some producers write "<kml:Placemark>".
    // The whole kml element is searched, so a placemark straight under it counts too.
    for (xml::Node placemark : xml::SelectNodes(root, ".//*:Placemark")) {
        if (xml::HasChild(placemark, "*:Point"))
            AddWaypoint(placemark, xml::SelectLast(placemark, "*:Point"));
        else
            ReadShapePlacemark(placemark);
    }
    Loaded = true;
}

void TKMLFile::AddWaypoint(xml::Node placemark, xml::Node point) {
    std::string coordinates = GetLastNodeText(point, "*:coordinates");
    if (coordinates.find(',') == std::string::npos)
        return;
    auto w = std::make_unique<model::TGPXwpt>();
    SplitCoordinates(coordinates, w->Longitude, w->Latitude, w->Altitude);
    w->EditDetails().name = GetLastNodeText(placemark, "*:name");
    try {
        w->DateTime = ISO8601ToDateTime(GetLastNodeText(placemark, "*:TimeStamp/*:when"));
    } catch (const support::DateTimeError &e) {
        AddLog("ImportKML: " + w->Details().name + ": " + e.what());
    }
    w->EditDetails().desc = ReplaceBreaks(GetLastNodeText(placemark, "*:Snippet"));
    GPXd->wpt.Add(std::move(w));
    GPXd->wpt.filled = true;
}

// One track per placemark, named after the placemark's parent (its folder or document),
// with a segment per line, ring or recorded track; points inside a multi-geometry become
// waypoints. The parts are read in document order; nesting is walked without recursion.
void TKMLFile::ReadShapePlacemark(xml::Node placemark) {
    auto track = std::make_unique<model::TGPXtrk>();
    track->name = GetLastNodeText(placemark, "../*:name");
    std::vector<xml::Node> pending; // the next part last
    auto pushChildren = [&](xml::Node parent) {
        const std::size_t from = pending.size();
        for (xml::Node c = parent.FirstChild(); c; c = c.NextSibling())
            if (c.Kind() == xml::NodeKind::Element)
                pending.push_back(c);
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(from), pending.end());
    };
    pushChildren(placemark);
    bool timeLogged = false;
    while (!pending.empty()) {
        const xml::Node part = pending.back();
        pending.pop_back();
        switch (KindOf(part)) {
        case Part::Point:
            AddWaypoint(placemark, part);
            break;
        case Part::Line:
            track->Add(ReadCoordinates(GetLastNodeText(part, "*:coordinates"), false));
            break;
        case Part::Ring:
            track->Add(ReadCoordinates(GetLastNodeText(part, "*:coordinates"), true));
            break;
        case Part::Polygon:
            // The outer boundary, then each inner one (an island), each a closed ring.
            for (xml::Node boundary = part.FirstChild(); boundary;
                 boundary = boundary.NextSibling())
                if (xml::IsNamed(boundary, "*:outerBoundaryIs") ||
                    xml::IsNamed(boundary, "*:innerBoundaryIs"))
                    for (xml::Node ring : xml::SelectNodes(boundary, "*:LinearRing"))
                        track->Add(ReadCoordinates(GetLastNodeText(ring, "*:coordinates"), true));
            break;
        case Part::Track:
            track->Add(ReadTrack(part, track->name, timeLogged));
            break;
        case Part::Multi:
            pushChildren(part);
            break;
        case Part::Other:
            break;
        }
    }
    // A part of a single point is a waypoint named after the track; empty parts are dropped.
    for (std::unique_ptr<model::TGPXtrkseg> &segment : track->ExtractAll()) {
        if (segment->Count() == 1) {
            std::unique_ptr<model::TGPXwpt> lone = segment->Extract(0);
            lone->EditDetails().name = track->name;
            GPXd->wpt.Add(std::move(lone));
            GPXd->wpt.filled = true;
        }
        if (!segment->Empty())
            track->Add(std::move(segment));
    }
    if (track->Empty())
        return;
    GPXd->trk.Add(std::move(track));
    GPXd->trk.filled = true;
}

TKMLFile::Part TKMLFile::KindOf(xml::Node n) {
    if (xml::IsNamed(n, "*:Point"))
        return Part::Point;
    if (xml::IsNamed(n, "*:LineString"))
        return Part::Line;
    if (xml::IsNamed(n, "*:LinearRing"))
        return Part::Ring;
    if (xml::IsNamed(n, "*:Polygon"))
        return Part::Polygon;
    if (xml::IsNamed(n, "*:Track"))
        return Part::Track;
    // MultiPolygon, MultiLineString and MultiPoint are not KML, but some producers write them.
    for (std::string_view multi :
         {"*:MultiGeometry", "*:MultiTrack", "*:MultiPolygon", "*:MultiLineString", "*:MultiPoint"})
        if (xml::IsNamed(n, multi))
            return Part::Multi;
    return Part::Other;
}

std::unique_ptr<model::TGPXtrkseg> TKMLFile::ReadCoordinates(const std::string &coordinates,
                                                             bool closeRing) {
    std::string text = coordinates + " ";
    auto segment = std::make_unique<model::TGPXtrkseg>();
    // Tuples are separated by any run of white space (producers put one per line, too).
    // It goes on while a comma is left. The last comma is found once: a search per tuple
    // would make a long run of tuples without commas quadratic.
    std::string_view rest = text;
    const std::size_t lastComma = text.rfind(',');
    auto beforeLastComma = [&] {
        return lastComma != std::string::npos &&
               static_cast<std::size_t>(rest.data() - text.data()) <= lastComma;
    };
    while (rest.size() >= 4 && beforeLastComma()) {
        std::size_t end = 0;
        while (end < rest.size() && !IsSpace(rest[end]))
            ++end;
        std::string_view tuple = rest.substr(0, end);
        while (end < rest.size() && IsSpace(rest[end]))
            ++end;
        rest.remove_prefix(end);
        if (tuple.find(',') == std::string_view::npos)
            continue;
        auto p = std::make_unique<model::TGPXwpt>();
        SplitCoordinates(tuple, p->Longitude, p->Latitude, p->Altitude);
        segment->Add(std::move(p));
        segment->filled = true;
    }
    // A ring is a closed outline; KML asks for the first point to be repeated at the end,
    // but not every producer does.
    if (closeRing && segment->Count() >= 2) {
        const model::TGPXwpt &first = *segment->Get(0), &last = *segment->Get(segment->Count() - 1);
        if (first.Longitude != last.Longitude || first.Latitude != last.Latitude) {
            auto p = std::make_unique<model::TGPXwpt>();
            p->Longitude = first.Longitude;
            p->Latitude = first.Latitude;
            p->Altitude = first.Altitude;
            segment->Add(std::move(p));
        }
    }
    return segment;
}

// A recorded track: "when" elements and "coord" elements ("lon lat alt" separated by
// blanks), the n-th time belonging to the n-th position. A coord without a position
// (empty, as the format allows) is left out with its time.
std::unique_ptr<model::TGPXtrkseg> TKMLFile::ReadTrack(xml::Node track, const std::string &name,
                                                       bool &timeLogged) {
    std::vector<xml::Node> whens, coords;
    for (xml::Node c = track.FirstChild(); c; c = c.NextSibling()) {
        if (xml::IsNamed(c, "*:when"))
            whens.push_back(c);
        else if (xml::IsNamed(c, "*:coord"))
            coords.push_back(c);
    }
    auto segment = std::make_unique<model::TGPXtrkseg>();
    for (std::size_t i = 0; i < coords.size(); ++i) {
        const std::string text = coords[i].TextContent();
        std::string_view fields[3];
        std::size_t count = 0, at = 0;
        while (count < 3) {
            while (at < text.size() && IsSpace(text[at]))
                ++at;
            if (at == text.size())
                break;
            const std::size_t from = at;
            while (at < text.size() && !IsSpace(text[at]))
                ++at;
            fields[count++] = std::string_view(text).substr(from, at - from);
        }
        const auto lon = count >= 2 ? support::TryStrToFloat(fields[0]) : std::nullopt;
        const auto lat = count >= 2 ? support::TryStrToFloat(fields[1]) : std::nullopt;
        if (!lon || !lat)
            continue;
        auto p = std::make_unique<model::TGPXwpt>();
        p->Longitude = *lon;
        p->Latitude = *lat;
        p->Altitude = count == 3 ? support::StrToFloatDef(fields[2], 0) : 0;
        if (i < whens.size()) {
            try {
                p->DateTime = ISO8601ToDateTime(whens[i].TextContent());
            } catch (const support::DateTimeError &e) {
                if (!timeLogged) // once per placemark: a track holds thousands of times
                    AddLog("ImportKML: " + name + ": " + e.what());
                timeLogged = true;
            }
        }
        segment->Add(std::move(p));
        segment->filled = true;
    }
    return segment;
}

ReadResult ReadKMLFile(const std::string &path, model::TGPX &doc, const TReadOptions &) {
    ReadResult r;
    TKMLFile reader;
    reader.GPXd = &doc;
    reader.ImportKML(path);
    r.loaded = reader.Loaded;
    r.log = reader.mLog;
    if (!r.loaded)
        r.error = ReadError{r.log.empty() ? "File not loaded" : r.log.back()};
    return r;
}

} // namespace formats
