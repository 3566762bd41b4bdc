// Export of the contour document: numbered HT files within the unit's per-file budget
// (optionally grouped by a save-order list), GPX export and "Make HT File...".
#pragma once

#include "depth/Units.h"
#include "model/GPX.h"
#include "support/Dialogs.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace depth {

// Every segment of a file costs 3 (its separator records), every point 1; the unit takes
// at most 20000 positions per file.
inline constexpr int kHTFileBudget = 19999;
inline constexpr const char *kNewFileMarker = "### New File ###";
// The track name field of an HT header holds 20 bytes: the base plus a three-digit number.
inline constexpr std::size_t kMaxTrackNameBase = 17;

// "%s%.3d": the base cut to 17 characters, so that the number is never lost.
std::string HTTrackName(const std::string &base, int number);
// "%.3d.ht"
std::string HTDefaultFileName(int number);
// The nine lines shown after a "Save as HT File" that wrote at least one file.
std::string HTUploadInformation();
// Shown instead when the contour document holds no point.
inline constexpr const char *kHTNothingToWrite =
    "There is nothing to write: build the contours first.";

// The list of TChangeSaveOrderForm ("Change Save Order") without the widgets: the dialog
// shows Items and mirrors its list box's selection into ItemIndex (-1 = none).
class TChangeSaveOrder {
  public:
    TChangeSaveOrder() { FormCreate(); }

    std::vector<std::string> Items;
    int ItemIndex = -1;

    void FormCreate(); // the list starts with one marker
    // Appends every track name of the document once, in track order.
    void AddTrackNames(const model::TGPX &doc);
    void btnUpClick();
    void btnDownClick();
    void btnAddFileClick();
    void btnRemoveClick();
    // Shrinks runs of equal entries to one and drops a trailing marker.
    void btnOKClick();
};

// One "Save as HT File" action's way of writing files: the user picks every file through
// the dialogs, or (Folder set) every file goes into one folder under its default name.
class THTExport {
  public:
    THTExport(support::Dialogs &dialogs, support::LogLine log = nullptr);
    support::Dialogs &dialogs() const { return dialogs_; }

    std::string TrackName = "NewTrack"; // text of "Track name"

    // Batch mode: files go to Folder/"%.3d.ht" without a file dialog; an existing file is
    // replaced when Overwrite is set and asked about otherwise.
    std::optional<std::string> Folder;
    bool Overwrite = false;

    // The desktop's save dialog that proposes the default file name: for the first file
    // alone (the dialog starts in the current folder), for every later one in the folder
    // chosen for the file before. Unset, the plain Dialogs::SaveFile is used (it has no
    // proposed name).
    std::function<std::optional<std::string>(const std::string &title, const std::string &filter,
                                             const std::string &defaultExt,
                                             const std::string &proposedName)>
        SaveFileAs;
    // Clock of the HT header; unset, THTConvert's own.
    std::function<std::uint32_t()> Now;

    // What the action did: paths written, and default names of files not written
    // (cancelled, declined or failed).
    std::vector<std::string> Written;
    std::vector<std::string> NotWritten;
    // Points in the files written (a point two files share counts in each).
    long long PointsWritten = 0;

    // Forgets an earlier action: the files, the points and the folder of the last dialog.
    void Restart();
    // Writes one file; false when cancelled, declined or failed (failures are shown).
    // `doc` is rearranged by the writer.
    bool WriteHTFile(model::TGPX &doc, const std::string &TrackName,
                     const std::string &DefaultFileName);
    // Splits `doc` into as many files as its budget needs, numbered from `number`, and
    // starts a new file where a segment lies beyond one record's reach of its neighbour
    // in the file; returns the number for the next file. A file not written ends the
    // document and its number is handed back, so that the next group reuses it.
    int CreateHT(const model::TGPX &doc, int number);
    // "Seperate by Depth": walks a save-order list, one run of files per marker group.
    int CreateHTGrouped(const model::TGPX &doc, const std::vector<std::string> &order, int number);

  private:
    std::optional<std::string> ChooseFile(const std::string &defaultName);
    void Log(const std::string &line) const {
        if (log_)
            log_(line);
    }

    support::Dialogs &dialogs_;
    support::LogLine log_;
    std::string lastFolder_; // of the file last chosen in a dialog
};

// The whole "Save as HT File": numbering from 000, the save-order dialog when ManualOrder
// ("Seperate by Depth") is set (ShowSaveOrder shows it modally; unset, the proposed list
// is kept), and the closing information box when a file was written. A document without
// a point gets kHTNothingToWrite and nothing else. Returns the number after the last file;
// the exporter's Written, NotWritten and PointsWritten then tell this action's files.
int btnCreateHTClick(const model::TGPX &IsoData, THTExport &exporter, bool ManualOrder,
                     const std::function<void(TChangeSaveOrder &)> &ShowSaveOrder = nullptr);

// The batch tool's "Save as HT File": all files into `folder` as 000.ht, 001.ht, ...;
// `order`, when given, is the save-order list of "Seperate by Depth". The closing
// information box goes to `dialogs` like every other message.
struct THTFolderResult {
    std::vector<std::string> Written, NotWritten;
    int NextNumber = 0;
};
THTFolderResult SaveHTFilesToFolder(const model::TGPX &IsoData, const std::string &folder,
                                    const std::string &TrackName, bool Overwrite,
                                    const std::vector<std::string> *order,
                                    support::Dialogs &dialogs, support::LogLine log = nullptr);

// "Save Tracks...": IsoData as one GPX file; true when written (the path in `written`). Nothing
// happens without a loaded project, after a cancelled dialog or a declined overwrite; write errors
// are shown and give false. The file's type comes from its extension: GPX, or a GIS format of the
// registry whose `depth` attribute is in `unit`. `written`, when given, gets the path of the file
// written.
bool btnIsoSaveGPXClick(model::TGPX &IsoData, bool FileLoaded, support::Dialogs &dialogs,
                        TDepthUnit unit = TDepthUnit::Metres, std::string *written = nullptr);

// "Make HT File...": appends copies of the project's tracks to the contour document (not
// emptied first). The page, view and button states are the window's.
void btnActionHTFileClick(const model::TGPX &GPXdata, model::TGPX &IsoData);

} // namespace depth
