// Reading and writing GPX 1.1 files with the per-point depth extension (prefix "h")
// and the GPX style extension's line colour and opacity.
#pragma once

#include "formats/ReadResult.h"

#include "model/GPX.h"
#include "support/DateTime.h"
#include "support/Xml.h"

#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace support {
class AtomicFileWriter;
}

namespace formats {

// Content that ends the reading (a satellite count outside 0..255, say). Impossible
// dates raise support::DateTimeError. Both reach the caller of ImportGPXFile.
struct GPXContentError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class TGPXFile {
  public:
    TGPXFile() = default;
    virtual ~TGPXFile() = default;
    TGPXFile(const TGPXFile &) = delete;
    TGPXFile &operator=(const TGPXFile &) = delete;

    model::TGPX *GPXd = nullptr; // assigned by the caller, not owned
    std::string FileName;
    bool Loaded = false;
    bool Modified = false;
    std::vector<std::string> mLog;
    model::TGPXOptions GPXOptions;
    // Line end and indentation of the writer; ExportGPX sets them from GPXOptions.Compress.
    std::string LineBreak = "\r\n";
    std::string IndentUnit = "\t";

    // Appends what the file holds to GPXd. A file that is not XML adds nothing and logs
    // why; content errors throw after keeping everything read before them.
    void ImportGPXFile(const std::string &FileName);
    // Writes GPXd; the old file is replaced only when the whole document was written.
    void ExportGPX(const std::string &Filename);

    static std::string GetLastNodeText(xml::Node Parent, std::string_view NodeName);
    static std::string GetExtensionNodeContent(xml::Node Parent, std::string_view NodeName);
    static std::string InnerMarkup(xml::Node element, std::string_view NodeName);
    static support::TDateTime ISO8601ToDateTime(std::string_view Value) {
        return support::ISO8601ToDateTime(Value);
    }
    static std::string DateTimeToGPXTime(support::TDateTime Value) {
        return support::DateTimeToGPXTime(Value);
    }
    static std::string XMLise(std::string_view s);

    std::string WriteText(const std::string &Text, const std::string &Tag, int TabCount,
                          bool Ext = false) const;
    std::string WriteInt(long long Value, const std::string &Tag, long long Default,
                         int TabCount) const;
    std::string WriteDouble(double Value, const std::string &Tag, double Default,
                            int TabCount) const;
    std::string WriteTime(support::TDateTime Value, const std::string &Tag,
                          support::TDateTime Default, int TabCount) const;

    std::string ExportGPXWPTList(const model::TGPXwptList &WayptList);
    std::string ExportGPXRTEList(const model::TGPXrteList &RouteList);
    std::string ExportGPXTRKList(const model::TGPXtrkList &TrackList);

    // The depth as written: fixed form with one decimal.
    static std::string DepthText(double HBdepth);

  protected:
    void AddLog(std::string line) { mLog.push_back(std::move(line)); }

  private:
    struct Staged;
    void ReadGPXDocument(xml::PullParser &parser, Staged &staged, bool &isGpx);
    void ReadMetadata(xml::Node element, Staged &staged);
    static model::TGPXperson ReadPerson(xml::Node element);
    static model::TGPXLink ReadLink(xml::Node element);
    static model::TGPXbounds ReadBounds(xml::Node element);
    static void ReadWaypoint(xml::Node element, model::TGPXwptList &list);
    void ReadRoute(xml::PullParser &parser, model::TGPX &doc);
    void ReadTrack(xml::PullParser &parser, model::TGPX &doc);
    void ReadTrackSegment(xml::PullParser &parser, model::TGPXtrk &track);
    template <class Other>
    std::exception_ptr ReadPoints(xml::PullParser &parser, std::string_view pointName,
                                  model::TGPXwptList &list, Other other);
    template <class Item, class List>
    void AddRouteOrTrack(const xml::Tree &header, std::unique_ptr<Item> item, List &list,
                         std::exception_ptr error);
    template <class Item> void ReadRouteOrTrackHeader(xml::Node header, Item &item);
    static std::string ReadDocumentExtensions(xml::Node element);

    std::string Indent(int n) const;
    void WriteWaypoint(std::string &out, const model::TGPXwpt &p, const char *tag, int level);
    void WriteRoute(std::string &out, const model::TGPXrte &r);
    void WriteTrack(std::string &out, const model::TGPXtrk &t);
    template <class Item> void WriteRouteOrTrackHeader(std::string &out, const Item &item);
    template <class Item> void WriteStyleAndExtensions(std::string &out, const Item &item);
    void WriteLink(std::string &out, const model::TGPXLink &link, int level) const;
    void WriteMetadata(std::string &out, const model::TGPXmetadata &m);
    void AppendWaypoints(std::string &out, const model::TGPXwptList &list);
    void AppendRoutes(std::string &out, const model::TGPXrteList &list);
    void AppendTracks(std::string &out, const model::TGPXtrkList &list);
    void MaybeFlush(std::string &out);

    void ReleaseConsumed(const xml::PullParser &parser, int pointsRead);

    support::AtomicFileWriter *sink_ = nullptr;     // set while ExportGPX streams to a file
    std::function<void(std::size_t)> releaseInput_; // set while ImportGPXFile reads a file
};

// The registry's reader: the file's tracks, routes and waypoints into `doc`.
ReadResult ReadGPXFile(const std::string &path, model::TGPX &doc, const TReadOptions &options);

} // namespace formats
