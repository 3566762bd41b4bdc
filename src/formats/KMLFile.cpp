#include "formats/KMLFile.h"

#include "support/AtomicFile.h"
#include "support/MappedFile.h"
#include "support/NumText.h"
#include "support/XmlPath.h"

namespace formats {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

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
            ReadPointPlacemark(placemark);
        else if (xml::HasChild(placemark, "*:LineString"))
            ReadLineStringPlacemark(placemark);
    }
    Loaded = true;
}

void TKMLFile::ReadPointPlacemark(xml::Node placemark) {
    std::string coordinates = GetLastNodeText(placemark, "*:Point/*:coordinates");
    if (coordinates.find(',') == std::string::npos)
        return;
    auto w = std::make_unique<model::TGPXwpt>();
    SplitCoordinates(coordinates, w->Longitude, w->Latitude, w->Altitude);
    w->name = GetLastNodeText(placemark, "*:name");
    try {
        w->DateTime = ISO8601ToDateTime(GetLastNodeText(placemark, "*:TimeStamp/*:when"));
    } catch (const support::DateTimeError &e) {
        AddLog("ImportKML: " + w->name + ": " + e.what());
    }
    w->desc = ReplaceBreaks(GetLastNodeText(placemark, "*:Snippet"));
    GPXd->wpt.Add(std::move(w));
    GPXd->wpt.filled = true;
}

void TKMLFile::ReadLineStringPlacemark(xml::Node placemark) {
    std::string text = GetLastNodeText(placemark, "*:LineString/*:coordinates") + " ";
    auto track = std::make_unique<model::TGPXtrk>();
    track->name = GetLastNodeText(placemark, "../*:name");
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
    if (segment->Count() == 1) {
        std::unique_ptr<model::TGPXwpt> lone = segment->Extract(0);
        lone->name = track->name;
        GPXd->wpt.Add(std::move(lone));
        GPXd->wpt.filled = true;
    }
    if (segment->Empty())
        return;
    track->Add(std::move(segment));
    GPXd->trk.Add(std::move(track));
    GPXd->trk.filled = true;
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
