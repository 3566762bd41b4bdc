// A project as the desktop program holds it, without a window: the loaded document, the
// project map view with its raster and masks, and the colour model.
#pragma once

#include "batch/ShapefileOptions.h"
#include "depth/ColorModel.h"
#include "depth/Project.h"
#include "depth/ProjectLoader.h"
#include "mapview/GPXDraw.h"

#include <QImage>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace batch {

struct BatchProject {
    depth::TProject project; // the same pipeline the desktop program runs
    model::TGPX &GPXdata = project.GPXdata;
    mapview::TGPXDraw &GPXView = project.GPXView;
    std::int32_t &MaxDepth = project.MaxDepth;
    support::ScriptedDialogs dialogs; // the exports' boxes, kept to be reported
    std::vector<std::string> log;
    depth::TColor32Gradient gradient;
    std::unique_ptr<mapview::TImageControl> image;
    // Each file as given to Load, in that order, with the tracks it added:
    // GPXdata.trk[FirstTrack .. FirstTrack + TrackCount - 1].
    struct LoadedFile {
        std::string Path;
        int FirstTrack = 0, TrackCount = 0;
    };
    std::vector<LoadedFile> loaded;

    // Loads every file as "Add Files..." does; throws with the file's name on failure.
    void Load(const std::vector<std::string> &files, std::optional<std::string> addDepth = {},
              std::optional<std::string> depthOffset = {}, const ShapefileOptions &shp = {});
    // The colour model from a ".cmt" file, or the default one.
    void Colors(const std::optional<std::string> &cmtFile);
    // The project map of width x height with the window's colours, fitted (not drawn: a
    // chart never shows it, and drawing ten million soundings takes seconds).
    void FitView(int width, int height, bool shadowMap);
};

void SaveQImage(const std::string &path, const QImage &image);

} // namespace batch
