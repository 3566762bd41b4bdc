// The GPX document: metadata, waypoints, routes and tracks of track segments, plus
// what this program adds: a maximum depth per segment (0 = shoreline outline),
// enabled flags that cascade down the tree, line styles and a selection.
#pragma once

#include "model/GPS.h"
#include "model/GPX_Style.h"

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace model {

struct TGPXLink {
    std::string href, text, ltype;
    bool filled = false;
    void CopyFrom(const TGPXLink &o) { *this = o; }
};

struct TGPXemail {
    std::string id, domain;
    bool filled = false;
};

struct TGPXperson {
    std::string name;
    TGPXemail email;
    TGPXLink link;
    bool filled = false;
};

struct TGPXcopyright {
    std::string author;
    std::int32_t year = -1;
    std::string license;
    bool filled = false;
};

struct TGPXbounds {
    double minlat = 0, minlon = 0, maxlat = 0, maxlon = 0;
    bool filled = false;
};

struct TGPXmetadata {
    std::string name, desc;
    TGPXperson author;
    TGPXcopyright copyright;
    TGPXLink link;
    support::TDateTime mtime = 0;
    std::string keywords;
    TGPXbounds bounds;
    std::string extensions;
    bool filled = false;
};

struct TGPXExtension {
    std::string Text; // inner XML of the document's own extensions element
};

// Switches of a GPX reader/writer; only the writer consults them.
struct TGPXOptions {
    bool GPX_Style = false; // write the line style extension
    bool Compress = false;  // no line ends and no indentation
};

// What a point may carry besides position, depth and time. Sonar and GPS tracks rarely
// carry any of it, so a point holds it only when some field differs from the default:
// a million soundings then cost about 72 bytes each instead of several hundred.
struct TGPXwptDetails {
    double magvar = 0;
    double geoidheight = 0;
    std::string name, cmt, desc, src;
    TGPXLink link;
    std::string sym;
    std::string wtype;
    std::string fix;                        // lower case
    std::uint8_t sat = 255;                 // 255 = none
    double hdop = -1, vdop = -1, pdop = -1; // -1 = none
    double ageofdgpsdata = -1;
    std::int32_t dgpsid = -1;
    std::string extensions; // inner XML of the point's extensions element as read

    bool IsDefault() const;
};

class TGPXwpt : public TPoint4D2 {
  public:
    TGPXwpt() = default;
    TGPXwpt(const TGPXwpt &other) : TPoint4D2(other) { CopyDetails(other); }
    TGPXwpt &operator=(const TGPXwpt &other);

    // The point's details; the defaults when it has none.
    const TGPXwptDetails &Details() const;
    // The details to change, made for the point when it has none yet.
    TGPXwptDetails &EditDetails();
    // Keeps the details only when they differ from the defaults.
    void SetDetails(TGPXwptDetails details);
    bool HasDetails() const { return details_ != nullptr; }

    void CopyFrom(const TGPXwpt &other);

  private:
    void CopyDetails(const TGPXwpt &other);
    std::unique_ptr<TGPXwptDetails> details_;
};

class TGPXwptList : public TPointListT<TGPXwpt> {
  public:
    TGPXwptList() { SetEnabled(true); }
    TGPXwpt *GetWaypoint(int index) const { return Get(index); }
    TGPXwpt *WayPoints(int index) const { return Get(index); }
};

class TGPXrte : public TGPXwptList {
  public:
    std::string name, cmt, desc, src;
    TGPXLink link;
    std::int32_t number = -1;
    std::string rtype;
    std::string extensions;
    TGPX_StyleLine LineStyle;

    TGPXwpt *GetRtePoint(int index) const { return Get(index); }
    TGPXwpt *rtept(int index) const { return Get(index); }
};

class TGPXtrkseg : public TGPXwptList {
  public:
    std::int32_t maxdepth = 0; // centimetres; 0 = no depth (an outline)
    std::string extensions;

    TGPXwpt *GetTrkPoint(int index) const { return Get(index); }
    TGPXwpt *trkpt(int index) const { return Get(index); }

    // Replaces the points with copies of the source's.
    void CopyFrom(const TGPXtrkseg &other);
};

class TGPXtrk : public TOwnedList<TGPXtrkseg> {
  public:
    std::string name, cmt, desc, src;
    TGPXLink link;
    std::int32_t number = -1;
    std::string ttype;
    std::string extensions;
    TGPX_StyleLine LineStyle;

    TGPXtrkseg *GetTrkSeg(int index) const { return Get(index); }
    TGPXtrkseg *trkseg(int index) const { return Get(index); }

    bool enabled() const { return penabled; }
    void SetEnabled(bool value);

    // Appends copies of the source's segments after its own.
    void CopyFrom(const TGPXtrk &other);

  private:
    bool penabled = true;
};

class TGPXrteList : public TOwnedList<TGPXrte> {
  public:
    bool filled = false;
    TGPXrte *GetRoute(int index) const { return Get(index); }
    TGPXrte *Routes(int index) const { return Get(index); }
    bool enabled() const { return penabled; }
    void SetEnabled(bool value);

  private:
    bool penabled = true;
};

class TGPXtrkList : public TOwnedList<TGPXtrk> {
  public:
    bool filled = false;
    TGPXtrk *GetTrack(int index) const { return Get(index); }
    TGPXtrk *Tracks(int index) const { return Get(index); }
    bool enabled() const { return penabled; }
    void SetEnabled(bool value);

    // Appends copies of the source's tracks after its own.
    void CopyFrom(const TGPXtrkList &other);

  private:
    bool penabled = true;
};

class TGPX;

// References (not owned) to waypoints, routes or track segments of one document.
class TGPXSelection {
  public:
    using Entry = std::variant<TGPXwpt *, TGPXrte *, TGPXtrkseg *>;

    TGPX *Parent = nullptr;

    int Count() const { return static_cast<int>(entries_.size()); }
    void Add(Entry e) { entries_.push_back(e); }
    void Remove(const void *item);
    void Clear() { entries_.clear(); }
    const std::vector<Entry> &Entries() const { return entries_; }

    bool IsInSelection(const void *Truc) const;
    bool APointListIsSelected() const;

  private:
    std::vector<Entry> entries_;
};

class TGPX {
  public:
    TGPX();
    TGPX(const TGPX &) = delete;
    TGPX &operator=(const TGPX &) = delete;

    std::string creator;
    TGPXmetadata metadata;
    TGPXwptList wpt;
    TGPXrteList rte;
    TGPXtrkList trk;
    TGPXExtension extension;
    TGPXSelection Selection;

    bool enabled() const { return penabled; }
    void SetEnabled(bool value) { penabled = value; }
    const std::string &version() const { return version_; }

    // Empties the selection and the three lists; metadata and extension stay.
    void Clear();
    void ComputeMetaBounds();
    // The waypoint list, route or track segment holding the point; nullptr when none.
    TGPXwptList *GetWaypointParent(const TGPXwpt *waypoint) const;

  private:
    bool penabled = true;
    std::string version_;
};

} // namespace model
