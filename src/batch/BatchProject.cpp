#include "batch/BatchProject.h"

#include "support/FilePath.h"
#include "support/ImageFiles.h"
#include "support/NumText.h"

#include <stdexcept>

namespace batch {

void BatchProject::Load(const std::vector<std::string> &files, std::optional<std::string> addDepth,
                        std::optional<std::string> depthOffset, const ShapefileOptions &shp) {
    depth::TProjectLoader loader(GPXdata, [this](const std::string &l) { log.push_back(l); });
    // The options answer what the desktop program asks in its input boxes.
    auto constant = [](const std::optional<std::string> &text)
        -> std::function<std::int32_t(const std::string &)> {
        if (!text)
            return nullptr;
        const std::optional<std::int32_t> v = support::TryStrToInt(*text);
        if (!v)
            throw std::runtime_error("\"" + *text + "\" is not a valid integer value");
        return [v](const std::string &) { return *v; };
    };
    loader.Options.DepthFor = constant(addDepth);
    loader.Options.OffsetFor = constant(depthOffset);
    loader.Options.Read.PrepareShapefile = [&](formats::TShapefile &s) {
        PrepareShapefile(s, shp);
    };
    for (const std::string &file : files) {
        int status;
        const int before = GPXdata.trk.Count();
        try {
            status = loader.LoadFile(file);
        } catch (const std::exception &e) {
            throw std::runtime_error(file + ": " + e.what());
        }
        if (status != 0)
            throw std::runtime_error(file + ": file not found");
        loaded.push_back({file, before, GPXdata.trk.Count() - before});
        project.AddSurvey(file, before); // named as given, for --level-offset and the summary
    }
    for (const std::string &w : loader.Warnings)
        log.push_back("warning: " + w);
    MaxDepth = loader.MaxDepth;
}

void BatchProject::Colors(const std::optional<std::string> &cmtFile) {
    depth::StrToArrayColor32Gradient(
        cmtFile ? depth::LoadColorModel(*cmtFile) : depth::DefaultColorModel(), gradient);
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
}

void SaveQImage(const std::string &path, const QImage &image) {
    support::SaveImage(path, reinterpret_cast<const std::uint32_t *>(image.constBits()),
                       image.width(), image.height(),
                       static_cast<std::size_t>(image.bytesPerLine()) / 4);
}

} // namespace batch
