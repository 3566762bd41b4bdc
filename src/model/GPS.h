// Geographic base classes: a point with position, altitude, depth and time; a
// latitude/longitude box; and a list that owns its points and keeps a box around them.
// Coordinates are WGS84 degrees, north and east positive.
#pragma once

#include "model/OwnedList.h"
#include "support/DateTime.h"

#include <cstdint>
#include <string>

namespace model {

// Not polymorphic: a vtable pointer would cost 8 bytes in each of millions of soundings,
// and no list owns points of a derived class through this one.
class TPoint4D2 {
  public:
    double Latitude = 0;
    double Longitude = 0;
    double Altitude = 0;             // metres
    double HBdepth = 0;              // centimetres, positive downward; 0 = no reading
    support::TDateTime DateTime = 0; // 0 = no time
    std::uint8_t Level = 0;
    bool enabled = true;
    bool Flagged = false; // the depth reading is a suspected spike: kept, but not a sample

    // Position, altitude, depth with its flag, and time; Level and enabled keep their values.
    void CopyFrom(const TPoint4D2 &other);

    // Metres on a sphere of the WGS84 semi-major axis (law of cosines).
    double WGS84Distance(double lon, double lat, bool Almostnul) const;
    double WGS84Distance(const TPoint4D2 &other, bool Almostnul) const;

    // Strictly inside; each pair of bounds may come in either order.
    bool IsInBox(double E, double O, double S, double N) const;

    std::string LatitudeStr() const;
    std::string LongitudeStr() const;
    std::string Coord() const;
};

class TBBox {
  public:
    double N = 0, S = 0, E = 0, O = 0;
    double Rm = 0, Rx = 0, Ry = 0;
    bool Complete = false;

    void Clear();                  // Rm keeps its value
    void Copy(const TBBox &other); // Complete keeps its value
    void Add(const TBBox &other);
};

// The list behind every route, track segment and the waypoints; P derives from TPoint4D2.
template <class P> class TPointListT : public TOwnedList<P> {
  public:
    TBBox BBox;
    bool filled = false;

    P *GetPoint(int index) const { return this->Get(index); }
    P *Points(int index) const { return this->Get(index); }

    void ClearPointList() { this->FreeAll(); }

    void CalcBBox(bool Reset) { CalcBBoxFromTo(0, this->Count() - 1, Reset); }
    void CalcBBoxFromTo(int pFrom, int pTo, bool Reset);

    int FindClosestIndex(double lon, double lat) const;
    P *FindClosestPoint(double lon, double lat) const {
        int i = FindClosestIndex(lon, lat);
        return i < 0 ? nullptr : this->Get(i);
    }

    bool Enabled() const { return penabled; }
    void SetEnabled(bool value) {
        penabled = value;
        for (const auto &p : this->Items())
            p->enabled = value;
    }

  private:
    bool penabled = false;
};

using TPointList2 = TPointListT<TPoint4D2>;

template <class P> void TPointListT<P>::CalcBBoxFromTo(int pFrom, int pTo, bool Reset) {
    BBox.Complete = false;
    if (this->Count() < 2)
        return;
    if (pFrom <= pTo) {
        this->CheckIndex(pFrom);
        this->CheckIndex(pTo);
    }
    double n = BBox.N, s = BBox.S, e = BBox.E, o = BBox.O;
    if (Reset) {
        int first = -1;
        for (int i = pFrom; i <= pTo; ++i)
            if (this->Get(i)->enabled) {
                first = i;
                break;
            }
        if (first < 0)
            return;
        n = s = this->Get(first)->Latitude;
        e = o = this->Get(first)->Longitude;
    }
    for (int i = pFrom; i <= pTo; ++i) {
        const P *p = this->Get(i);
        if (!p->enabled)
            continue;
        n = std::max(n, p->Latitude);
        s = std::min(s, p->Latitude);
        e = std::max(e, p->Longitude);
        o = std::min(o, p->Longitude);
    }
    BBox.N = n, BBox.S = s, BBox.E = e, BBox.O = o;
    BBox.Complete = true;
}

template <class P> int TPointListT<P>::FindClosestIndex(double lon, double lat) const {
    double best = 2147483647.0;
    int result = -1;
    for (int i = 0; i < this->Count(); ++i) {
        double d = this->Get(i)->WGS84Distance(lon, lat, false);
        if (d < best) {
            best = d;
            result = i;
        }
    }
    return result;
}

} // namespace model
