#include "depth/ContourExport.h"

#include "depth/FormatRegistry.h"
#include "support/FilePath.h"

#include "formats/GPXFile.h"
#include "formats/HTConvert.h"
#include "support/AtomicFile.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <utility>

namespace depth {

namespace {

std::string Number3(int number) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.3d", number);
    return buf;
}

// The first `count` characters of UTF-8 text (a character = a lead byte and its
// continuation bytes), as the HT writer counts them.
std::string FirstCharacters(const std::string &utf8, std::size_t count) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if ((c & 0xC0) != 0x80 && chars++ == count)
            return utf8.substr(0, i);
    }
    return utf8;
}

long long CountPoints(const model::TGPX &doc) {
    long long points = 0;
    for (const auto &track : doc.trk.Items())
        for (const auto &segment : track->Items())
            points += segment->Count();
    return points;
}

std::unique_ptr<model::TGPXtrk> CopyOfTrack(const model::TGPXtrk &track) {
    auto copy = std::make_unique<model::TGPXtrk>();
    copy->CopyFrom(track);
    return copy;
}

} // namespace

std::string HTTrackName(const std::string &base, int number) {
    return FirstCharacters(base, kMaxTrackNameBase) + Number3(number);
}

std::string HTDefaultFileName(int number) {
    return Number3(number) + ".ht";
}

std::string HTUploadInformation() {
    return "To upload the generated files to your Humminbird, copy them\n"
           "into a folder \"matrix\" on a SD-Card.\n"
           "The generated files should be named 000.ht, 001.ht and so on.\n"
           "\n"
           "Enter the SD-card in your Humminbird and upload the files, when asked for.\n"
           "To colorize them by depth, you have to set the track style to \"color by depth\".\n"
           "\n"
           "Please note: It is NOT possible to load the generated file as a project again.\n"
           "To save this project, use the GPX format.";
}

// ---------------------------------------------------------------------------------------
// Save order

void TChangeSaveOrder::FormCreate() {
    Items.assign(1, kNewFileMarker);
    ItemIndex = -1;
}

void TChangeSaveOrder::AddTrackNames(const model::TGPX &doc) {
    for (const auto &track : doc.trk.Items()) {
        bool listed = false;
        for (const std::string &item : Items)
            listed = listed || item == track->name;
        if (!listed)
            Items.push_back(track->name);
    }
}

void TChangeSaveOrder::btnUpClick() {
    if (ItemIndex > 0 && ItemIndex < static_cast<int>(Items.size())) {
        std::swap(Items[ItemIndex], Items[ItemIndex - 1]);
        --ItemIndex;
    }
}

void TChangeSaveOrder::btnDownClick() {
    if (ItemIndex >= 0 && ItemIndex + 1 < static_cast<int>(Items.size())) {
        std::swap(Items[ItemIndex], Items[ItemIndex + 1]);
        ++ItemIndex;
    }
}

void TChangeSaveOrder::btnAddFileClick() {
    if (ItemIndex >= 0 && ItemIndex < static_cast<int>(Items.size())) {
        Items.insert(Items.begin() + ItemIndex, kNewFileMarker);
        ++ItemIndex; // the selected entry stays selected, as in a list box
    } else {
        Items.push_back(kNewFileMarker);
    }
}

void TChangeSaveOrder::btnRemoveClick() {
    if (ItemIndex >= 0 && ItemIndex < static_cast<int>(Items.size())) {
        Items.erase(Items.begin() + ItemIndex);
        ItemIndex = -1;
    }
}

void TChangeSaveOrder::btnOKClick() {
    // Deleting while walking: the index stays put after a deletion so that a run of any
    // length shrinks to one entry, and never runs past the end.
    for (std::size_t i = 1; i < Items.size();) {
        if (Items[i] == Items[i - 1])
            Items.erase(Items.begin() + static_cast<std::ptrdiff_t>(i - 1));
        else
            ++i;
    }
    if (!Items.empty() && Items.back() == kNewFileMarker)
        Items.pop_back();
    ItemIndex = -1;
}

// ---------------------------------------------------------------------------------------
// HT files

THTExport::THTExport(support::Dialogs &dialogs, support::LogLine log)
    : dialogs_(dialogs), log_(std::move(log)) {}

void THTExport::Restart() {
    Written.clear();
    NotWritten.clear();
    PointsWritten = 0;
    lastFolder_.clear();
}

std::optional<std::string> THTExport::ChooseFile(const std::string &defaultName) {
    std::string path;
    if (Folder) {
        path = (std::filesystem::path(*Folder) / defaultName).string();
        if (Overwrite)
            return path;
    } else {
        static const std::string title = "Save ISO Lines as HT Track", filter = "HT-Track|*.ht";
        // The files of one action belong together: each dialog after the first opens
        // where the user put the one before.
        const std::string proposed =
            lastFolder_.empty() ? defaultName
                                : (std::filesystem::path(lastFolder_) / defaultName).string();
        std::optional<std::string> chosen = SaveFileAs ? SaveFileAs(title, filter, "ht", proposed)
                                                       : dialogs_.SaveFile(title, filter, "ht");
        if (!chosen || chosen->empty())
            return std::nullopt;
        path = *chosen;
        lastFolder_ = std::filesystem::path(path).parent_path().string();
    }
    if (!support::MayOverwrite(dialogs_, path, "Overwrite existing "))
        return std::nullopt;
    return path;
}

bool THTExport::WriteHTFile(model::TGPX &doc, const std::string &TrackName,
                            const std::string &DefaultFileName) {
    std::optional<std::string> path = ChooseFile(DefaultFileName);
    if (!path)
        return false;
    Log("WriteHTFile" + *path);

    const long long points = CountPoints(doc);
    formats::THTConvert convert(&doc, TrackName, *path, log_);
    if (Now)
        convert.Now = Now;
    bool written = false;
    std::string reason; // empty when the writer refused the data (its ErrorText says why)
    try {
        written = convert.ConvertToHT();
    } catch (const std::exception &e) {
        // A file that cannot be created or replaced is a failed write like any other:
        // it must not count as written nor end the whole action.
        Log(std::string("WriteHTFile: ") + e.what());
        const auto *file = dynamic_cast<const support::FileError *>(&e);
        reason = file && !file->reason.empty() ? file->reason : e.what();
        written = false;
    }
    if (!written) {
        if (reason.empty() && !convert.ErrorText.empty())
            dialogs_.Error(convert.ErrorText, support::BoxButton::Cancel);
        dialogs_.Error("Error while writing " + DefaultFileName +
                           (reason.empty() ? "" : ": " + reason),
                       support::BoxButton::Ok);
        return false;
    }
    Written.push_back(*path);
    PointsWritten += points;
    return true;
}

int THTExport::CreateHT(const model::TGPX &doc, int number) {
    Log("CreateHT: splitting dataset");
    Log("CreateHT: #Points (total): " + std::to_string(CountPoints(doc)));
    for (const auto &track : doc.trk.Items())
        Log("Save Track: " + track->name);

    int rt = 0, rs = 0, rp = 0; // resume position: track, segment, point
    for (;;) {
        Log("CreateHT: iterate ===== " + Number3(number) + " ======");
        model::TGPX part;
        int total = 0, points = 0;
        bool full = false; // the file is closed and the document goes on in the next one
        // The writer puts the first track's segments first, then those of the later tracks
        // from the last visited back; a segment of a later track thus lands between the end
        // of the first track and the later segment visited before it. The jumps to both
        // must fit one record, or the segment starts the next file, with an origin of its own.
        const model::TGPXwpt *headLast = nullptr;  // the first track's last point so far
        const model::TGPXwpt *tailFirst = nullptr; // the first point written after it
        for (int t = rt; t < doc.trk.Count() && !full; ++t) {
            const model::TGPXtrk &track = *doc.trk[t];
            model::TGPXtrk &partTrack = *part.trk.Add(std::make_unique<model::TGPXtrk>());
            for (int s = (t == rt ? rs : 0); s < track.Count() && !full; ++s) {
                const model::TGPXtrkseg &segment = *track[s];
                // A segment that would push the file past its budget goes to the next
                // file whole; only points ever close a file on their own, and a new
                // segment's separator must not overfill it.
                const bool first = t == rt && s == rs;
                const int start = first ? rp : 0;
                bool fits = first || total + 3 + (start < segment.Count() ? 1 : 0) <= kHTFileBudget;
                if (fits && start < segment.Count()) {
                    // The points this file takes: up to the end or until the budget is spent.
                    const int last =
                        std::min(segment.Count() - 1, start + kHTFileBudget - total - 4);
                    const model::TGPXwpt &a = *segment[start], &b = *segment[last];
                    const bool head = t == rt;
                    fits = (!headLast || formats::THTConvert::SegmentsJoin(*headLast, a)) &&
                           (head || !tailFirst || formats::THTConvert::SegmentsJoin(b, *tailFirst));
                    if (fits)
                        (head ? headLast : tailFirst) = head ? &b : &a;
                }
                if (!fits) {
                    full = true;
                    rt = t, rs = s, rp = 0;
                    break;
                }
                model::TGPXtrkseg &partSegment =
                    *partTrack.Add(std::make_unique<model::TGPXtrkseg>());
                partSegment.maxdepth = segment.maxdepth;
                total += 3;
                for (int p = start; p < segment.Count(); ++p) {
                    auto copy = std::make_unique<model::TGPXwpt>();
                    copy->CopyFrom(*segment[p]);
                    partSegment.Add(std::move(copy));
                    ++total;
                    ++points;
                    if (total >= kHTFileBudget) {
                        // The next file starts again with this very point, so the line
                        // continues without a gap.
                        full = true;
                        rt = t, rs = s, rp = p;
                        break;
                    }
                }
            }
        }
        Log("CreateHT: n_wpt_total is " + std::to_string(total));
        Log("CreateHT: n of IsoDataWrite " + std::to_string(points));

        if (points == 0) {
            // Nothing the unit could load (no tracks, or empty segments only): no file, no
            // question; go on while segments remain.
            if (full)
                continue;
            return number;
        }
        const std::string defaultName = HTDefaultFileName(number);
        if (!WriteHTFile(part, HTTrackName(TrackName, number), defaultName)) {
            NotWritten.push_back(defaultName);
            return number;
        }
        ++number;
        if (!full)
            return number;
    }
}

int THTExport::CreateHTGrouped(const model::TGPX &doc, const std::vector<std::string> &order,
                               int number) {
    model::TGPX scratch;
    for (const std::string &entry : order) {
        if (entry == kNewFileMarker) {
            if (!scratch.trk.Empty()) {
                number = CreateHT(scratch, number);
                scratch.Clear();
            }
            continue;
        }
        for (const auto &track : doc.trk.Items())
            if (track->name == entry)
                scratch.trk.Add(CopyOfTrack(*track));
    }
    if (!scratch.trk.Empty())
        number = CreateHT(scratch, number);
    return number;
}

int btnCreateHTClick(const model::TGPX &IsoData, THTExport &exporter, bool ManualOrder,
                     const std::function<void(TChangeSaveOrder &)> &ShowSaveOrder) {
    exporter.Restart();
    if (CountPoints(IsoData) == 0) {
        exporter.dialogs().Information(kHTNothingToWrite);
        return 0;
    }
    int number = 0;
    if (!ManualOrder) {
        number = exporter.CreateHT(IsoData, number);
    } else {
        TChangeSaveOrder order;
        order.AddTrackNames(IsoData);
        if (ShowSaveOrder)
            ShowSaveOrder(order);
        number = exporter.CreateHTGrouped(IsoData, order.Items, number);
    }
    if (!exporter.Written.empty()) // not after a cancelled dialog for every file
        exporter.dialogs().Information(HTUploadInformation());
    return number;
}

THTFolderResult SaveHTFilesToFolder(const model::TGPX &IsoData, const std::string &folder,
                                    const std::string &TrackName, bool Overwrite,
                                    const std::vector<std::string> *order,
                                    support::Dialogs &dialogs, support::LogLine log) {
    THTExport exporter(dialogs, std::move(log));
    exporter.TrackName = TrackName;
    exporter.Folder = folder;
    exporter.Overwrite = Overwrite;
    THTFolderResult result;
    result.NextNumber = btnCreateHTClick(IsoData, exporter, order != nullptr,
                                         [order](TChangeSaveOrder &form) { form.Items = *order; });
    result.Written = std::move(exporter.Written);
    result.NotWritten = std::move(exporter.NotWritten);
    return result;
}

// ---------------------------------------------------------------------------------------
// GPX export and "Make HT File..."

bool btnIsoSaveGPXClick(model::TGPX &IsoData, bool FileLoaded, support::Dialogs &dialogs,
                        TDepthUnit unit, std::string *written) {
    if (!FileLoaded)
        return false;
    // GPX first (the default), then every other format the registry writes.
    std::optional<std::string> path =
        dialogs.SaveFile("Save iso tracks to GPX", SaveFilter(), "gpx");
    if (!path || path->empty())
        return false;
    const TFormat *format = FormatOf(*path);
    if (!format || !format->Write) {
        dialogs.Error("File extension not supported: " + *path, support::BoxButton::Cancel);
        return false;
    }
    if (!support::MayOverwrite(dialogs, *path, "Overwrite existing "))
        return false;
    TWriteOptions options;
    options.Unit = unit;
    try {
        format->Write(*path, IsoData, options);
    } catch (const std::exception &e) {
        dialogs.Error(e.what());
        return false;
    }
    if (written)
        *written = *path;
    return true;
}

void btnActionHTFileClick(const model::TGPX &GPXdata, model::TGPX &IsoData) {
    // Copies are made first so that a document appended to itself stays well defined.
    std::vector<std::unique_ptr<model::TGPXtrk>> copies;
    for (const auto &track : GPXdata.trk.Items())
        copies.push_back(CopyOfTrack(*track));
    for (auto &copy : copies)
        IsoData.trk.Add(std::move(copy));
    if (!IsoData.trk.Empty())
        IsoData.trk.filled = true;
}

} // namespace depth
