#include "batch/BatchProject.h"

#include "support/ImageFiles.h"

#include <stdexcept>

namespace batch {

void BatchProject::Load(const std::vector<std::string> &files, std::optional<std::string> addDepth,
                        std::optional<std::string> depthOffset, const ShapefileOptions &shp) {
    dialogs.depth = addDepth;
    dialogs.offset = depthOffset;
    depth::TProjectLoader loader(GPXdata, dialogs, [this](const std::string &l) { log.push_back(l); });
    loader.AddDepth = addDepth.has_value();
    loader.AddOffset = depthOffset.has_value();
    loader.ImportCoordinates = [&](formats::TShapefile &s) { ImportCoordinates(s, shp); };
    loader.JoinDBF = [&](formats::TShapefile &s) { ChooseDepthField(s, shp, dialogs); };
    for (const std::string &file : files) {
        const std::size_t shown = dialogs.shown.size();
        int status;
        try {
            status = loader.LoadFile(file);
        } catch (const std::exception &e) {
            throw std::runtime_error(file + ": " + e.what());
        }
        if (status != 0)
            throw std::runtime_error(file + ": " +
                                     (dialogs.shown.size() > shown ? dialogs.shown.back().text
                                                                   : std::string("Error while loading file.")));
    }
    MaxDepth = loader.MaxDepth;
}

void BatchProject::Colors(const std::optional<std::string> &cmtFile) {
    depth::StrToArrayColor32Gradient(cmtFile ? depth::LoadColorModel(*cmtFile) : depth::DefaultColorModel(),
                                     gradient);
}

void BatchProject::FitView(int width, int height, bool shadowMap) {
    image = std::make_unique<mapview::TImageControl>(width, height);
    project.SetMaskSize(width, height);
    GPXView.ShadowMapEnabled = shadowMap;
    GPXView.Image = image.get();
    GPXView.SetWidth(width);
    GPXView.SetHeight(height);
    // The project map's colours in the desktop program.
    GPXView.Options.BackGroundColor = 0xFF000000;
    GPXView.DepthColorShallow = 0xFF00FF00;
    GPXView.ShadowMapTrackColor = 0xFFC0C0C0;
    GPXView.MaxDepth = MaxDepth;
    GPXView.DepthColor = [this](float offset) { return gradient.ColorAt(offset); };
    project.Fit();
    GPXView.Redraw(false);
}

void SaveQImage(const std::string &path, const QImage &image) {
    support::SaveImage(path, reinterpret_cast<const std::uint32_t *>(image.constBits()),
                       image.width(), image.height(),
                       static_cast<std::size_t>(image.bytesPerLine()) / 4);
}

} // namespace batch
