// depthwright-batch render: the project map, the shadow band and the masks as image files.
#include "batch/BatchCommands.h"

#include "depth/ColorModel.h"
#include "depth/ProjectLoader.h"
#include "mapview/GPXDraw.h"
#include "support/ImageFiles.h"
#include "support/NumText.h"

#include <optional>
#include <ostream>
#include <stdexcept>

namespace batch {

namespace {

struct RenderOptions {
    std::vector<std::string> files;
    std::string out;
    int width = 840, height = 600;
    std::optional<std::string> colors, shadow, mask, shore;
    int radius = 50;
};

int PositiveInt(const std::string &option, const std::string &text, int max) {
    auto v = support::TryStrToInt(text);
    if (!v || *v < 1 || *v > max)
        throw std::invalid_argument(option + " takes a whole number from 1 to " +
                                    std::to_string(max) + ", not \"" + text + "\"");
    return *v;
}

RenderOptions ParseRenderOptions(const std::vector<std::string> &args) {
    RenderOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&]() -> const std::string & {
            if (i + 1 >= args.size())
                throw std::invalid_argument(a + " needs a value");
            return args[++i];
        };
        if (a == "--out") {
            o.out = value();
        } else if (a == "--size") {
            const std::string &v = value();
            std::size_t x = v.find('x');
            if (x == std::string::npos)
                throw std::invalid_argument("--size takes WIDTHxHEIGHT, such as 840x600");
            o.width = PositiveInt("--size", v.substr(0, x), 10000);
            o.height = PositiveInt("--size", v.substr(x + 1), 10000);
        } else if (a == "--colors") {
            o.colors = value();
        } else if (a == "--extrapolation-radius") {
            o.radius = PositiveInt(a, value(), 999);
        } else if (a == "--shadow") {
            o.shadow = value();
        } else if (a == "--mask") {
            o.mask = value();
        } else if (a == "--shore") {
            o.shore = value();
        } else if (a.size() > 1 && a[0] == '-') {
            throw std::invalid_argument("unknown option " + a +
                                        " (allowed: --out, --size, --colors, "
                                        "--extrapolation-radius, --shadow, --mask, --shore)");
        } else {
            o.files.push_back(a);
        }
    }
    if (o.files.empty())
        throw std::invalid_argument("no FILE given");
    if (o.out.empty())
        throw std::invalid_argument("--out MAP.bmp or --out MAP.jpg is required");
    return o;
}

void Save(const std::string &path, const QImage &image) {
    support::SaveImage(path, reinterpret_cast<const std::uint32_t *>(image.constBits()),
                       image.width(), image.height(),
                       static_cast<std::size_t>(image.bytesPerLine()) / 4);
}

} // namespace

int RunRender(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    RenderOptions o;
    try {
        o = ParseRenderOptions(args);
    } catch (const std::invalid_argument &e) {
        err << "depthwright-batch render: " << e.what() << "\n";
        return 2;
    }
    try {
        depth::TColor32Gradient gradient;
        depth::StrToArrayColor32Gradient(o.colors ? depth::LoadColorModel(*o.colors)
                                                  : depth::DefaultColorModel(),
                                         gradient);

        model::TGPX project;
        support::ScriptedDialogs dialogs;
        depth::TProjectLoader loader(project, dialogs, nullptr);
        for (const std::string &file : o.files) {
            if (loader.LoadFile(file) != 0) {
                std::string why = dialogs.shown.empty() ? "cannot read it" : dialogs.shown.back().text;
                err << "depthwright-batch render: " << file << ": " << why << "\n";
                return 1;
            }
        }

        mapview::TImageControl image(o.width, o.height);
        mapview::TMaskArray mask(o.width, o.height), shore(o.width, o.height);
        mapview::TGPXDraw view;
        view.ShadowMapEnabled = o.shadow.has_value();
        view.GPXd = &project;
        view.Image = &image;
        view.MaskArray = &mask;
        view.ShoreArray = &shore;
        view.SetWidth(o.width);
        view.SetHeight(o.height);
        // The project map's colours in the desktop program.
        view.Options.BackGroundColor = 0xFF000000;
        view.DepthColorShallow = 0xFF00FF00;
        view.ShadowMapTrackColor = 0xFFC0C0C0;
        view.ShadowMapTrackWidth = o.radius;
        view.MaxDepth = loader.MaxDepth;
        view.DepthColor = [&](float offset) { return gradient.ColorAt(offset); };
        view.ResetBBox(true, true);
        view.Redraw(o.shadow.has_value());
        Save(o.out, image.Bitmap);
        if (o.shadow)
            Save(*o.shadow, view.ShadowMap);
        if (o.mask || o.shore) {
            view.GenerateAllShorelinePolygons();
            QImage raster(o.width, o.height, QImage::Format_ARGB32);
            if (o.mask) {
                mask.MaskToImage(raster);
                Save(*o.mask, raster);
            }
            if (o.shore) {
                shore.MaskToImage(raster);
                Save(*o.shore, raster);
            }
        }
        out << "render: " << project.trk.Count() << " tracks, greatest depth " << loader.MaxDepth
            << " cm, " << view.PolygonCount() << " shoreline polygons\n";
    } catch (const std::exception &e) {
        err << "depthwright-batch render: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace batch
