#include "model/GPX.h"

namespace model {

bool TGPXwptDetails::IsDefault() const {
    static const TGPXwptDetails none;
    return magvar == none.magvar && geoidheight == none.geoidheight && name.empty() &&
           cmt.empty() && desc.empty() && src.empty() && !link.filled && link.href.empty() &&
           link.text.empty() && link.ltype.empty() && sym.empty() && wtype.empty() && fix.empty() &&
           sat == none.sat && hdop == none.hdop && vdop == none.vdop && pdop == none.pdop &&
           ageofdgpsdata == none.ageofdgpsdata && dgpsid == none.dgpsid && extensions.empty();
}

TGPXwpt &TGPXwpt::operator=(const TGPXwpt &other) {
    if (this != &other) {
        TPoint4D2::operator=(other);
        CopyDetails(other);
    }
    return *this;
}

const TGPXwptDetails &TGPXwpt::Details() const {
    static const TGPXwptDetails none;
    return details_ ? *details_ : none;
}

TGPXwptDetails &TGPXwpt::EditDetails() {
    if (!details_)
        details_ = std::make_unique<TGPXwptDetails>();
    return *details_;
}

void TGPXwpt::SetDetails(TGPXwptDetails details) {
    if (details.IsDefault())
        details_.reset();
    else
        details_ = std::make_unique<TGPXwptDetails>(std::move(details));
}

void TGPXwpt::CopyDetails(const TGPXwpt &other) {
    details_ = other.details_ ? std::make_unique<TGPXwptDetails>(*other.details_) : nullptr;
}

void TGPXwpt::CopyFrom(const TGPXwpt &o) {
    TPoint4D2::CopyFrom(o);
    CopyDetails(o);
}

void TGPXtrkseg::CopyFrom(const TGPXtrkseg &o) {
    ClearPointList();
    extensions = o.extensions;
    maxdepth = o.maxdepth;
    Reserve(o.Items().size());
    for (const auto &p : o.Items()) {
        auto copy = std::make_unique<TGPXwpt>();
        copy->CopyFrom(*p);
        Add(std::move(copy));
    }
}

void TGPXtrk::SetEnabled(bool value) {
    penabled = value;
    for (const auto &s : Items())
        s->SetEnabled(value);
}

void TGPXtrk::CopyFrom(const TGPXtrk &o) {
    name = o.name;
    cmt = o.cmt;
    desc = o.desc;
    src = o.src;
    link = o.link;
    number = o.number;
    ttype = o.ttype;
    extensions = o.extensions;
    LineStyle.CopyFrom(o.LineStyle);
    for (const auto &s : o.Items()) {
        auto copy = std::make_unique<TGPXtrkseg>();
        copy->CopyFrom(*s);
        Add(std::move(copy));
    }
}

void TGPXrteList::SetEnabled(bool value) {
    penabled = value;
    for (const auto &r : Items())
        r->SetEnabled(value);
}

void TGPXtrkList::SetEnabled(bool value) {
    penabled = value;
    for (const auto &t : Items())
        t->SetEnabled(value);
}

void TGPXtrkList::CopyFrom(const TGPXtrkList &o) {
    filled = o.filled;
    for (const auto &t : o.Items()) {
        auto copy = std::make_unique<TGPXtrk>();
        copy->CopyFrom(*t);
        Add(std::move(copy));
    }
}

namespace {
const void *Address(const TGPXSelection::Entry &e) {
    return std::visit([](auto *p) -> const void * { return p; }, e);
}
} // namespace

void TGPXSelection::Remove(const void *item) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (Address(*it) == item) {
            entries_.erase(it);
            return;
        }
}

bool TGPXSelection::IsInSelection(const void *Truc) const {
    for (const Entry &e : entries_)
        if (Address(e) == Truc)
            return true;
    return false;
}

bool TGPXSelection::APointListIsSelected() const {
    for (const Entry &e : entries_)
        if (!std::holds_alternative<TGPXwpt *>(e) && Address(e) != nullptr)
            return true;
    return false;
}

TGPX::TGPX() {
    Selection.Parent = this;
}

void TGPX::Clear() {
    Selection.Clear();
    wpt.ClearPointList();
    rte.FreeAll();
    trk.FreeAll();
    wpt.filled = false;
    rte.filled = false;
    trk.filled = false;
}

void TGPX::ComputeMetaBounds() {
    TBBox box;
    wpt.CalcBBox(true);
    if (wpt.BBox.Complete)
        box.Add(wpt.BBox);
    for (const auto &r : rte.Items()) {
        r->CalcBBox(true);
        if (r->BBox.Complete)
            box.Add(r->BBox);
    }
    for (const auto &t : trk.Items())
        for (const auto &s : t->Items()) {
            s->CalcBBox(true);
            if (s->BBox.Complete)
                box.Add(s->BBox);
        }
    if (box.E == box.O || box.N == box.S)
        return;
    metadata.bounds.minlat = std::min(box.S, box.N);
    metadata.bounds.maxlat = std::max(box.S, box.N);
    metadata.bounds.minlon = std::min(box.O, box.E);
    metadata.bounds.maxlon = std::max(box.O, box.E);
    metadata.filled = true;
    metadata.bounds.filled = true;
}

TGPXwptList *TGPX::GetWaypointParent(const TGPXwpt *waypoint) const {
    auto holds = [&](const TGPXwptList &list) { return list.IndexOf(waypoint) >= 0; };
    if (holds(wpt))
        return const_cast<TGPXwptList *>(&wpt);
    for (const auto &r : rte.Items())
        if (holds(*r))
            return r.get();
    for (const auto &t : trk.Items())
        for (const auto &s : t->Items())
            if (holds(*s))
                return s.get();
    return nullptr;
}

} // namespace model
