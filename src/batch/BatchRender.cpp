// depthwright-batch render: the project map, the shadow band and the masks as image files.
#include "batch/BatchCommands.h"
#include "batch/BatchProject.h"
#include "batch/Options.h"

#include "mapview/GPXDraw.h"
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
    ShapefileOptions shp;
};

RenderOptions ParseRenderOptions(const std::vector<std::string> &args) {
    RenderOptions o;
    ArgReader a(args);
    while (a.Next()) {
        const std::string &arg = a.Arg();
        if (a.TakeShapefile(o.shp))
            continue;
        if (arg == "--out")
            o.out = ImageOption(arg, a.Value());
        else if (arg == "--size")
            SizeOption(a.Value(), o.width, o.height);
        else if (arg == "--colors")
            o.colors = a.Value();
        else if (arg == "--extrapolation-radius")
            o.radius = IntOption(arg, a.Value(), 1, 999);
        else if (arg == "--shadow")
            o.shadow = ImageOption(arg, a.Value());
        else if (arg == "--mask")
            o.mask = ImageOption(arg, a.Value());
        else if (arg == "--shore")
            o.shore = ImageOption(arg, a.Value());
        else if (a.IsOption())
            throw std::invalid_argument(
                "unknown option " + arg +
                " (allowed: --out, --size, --colors, "
                "--extrapolation-radius, --shadow, --mask, --shore, --utm, --south, "
                "--x-offset, --y-offset, --depth-field, --depth-scale)");
        else
            o.files.push_back(arg);
    }
    if (o.files.empty())
        throw std::invalid_argument("no FILE given");
    if (o.out.empty())
        throw std::invalid_argument("--out MAP.bmp or --out MAP.jpg is required");
    return o;
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
        BatchProject p;
        p.Colors(o.colors);
        p.Load(o.files, {}, {}, o.shp);
        p.FitView(o.width, o.height, o.shadow.has_value());
        mapview::TGPXDraw &view = p.GPXView;
        if (o.shadow)
            view.ShadowMapTrackWidth = o.radius;
        view.Redraw(o.shadow.has_value());
        SaveQImage(o.out, p.image->Bitmap);
        if (o.shadow)
            SaveQImage(*o.shadow, view.ShadowMap);
        if (o.mask || o.shore) {
            view.GenerateAllShorelinePolygons();
            QImage raster(o.width, o.height, QImage::Format_ARGB32);
            if (o.mask) {
                p.project.MaskArray->MaskToImage(raster);
                SaveQImage(*o.mask, raster);
            }
            if (o.shore) {
                p.project.ShoreArray->MaskToImage(raster);
                SaveQImage(*o.shore, raster);
            }
        }
        out << "render: " << p.GPXdata.trk.Count() << " tracks, greatest depth " << p.MaxDepth
            << " cm, " << view.PolygonCount() << " shoreline polygons\n";
    } catch (const std::exception &e) {
        err << "depthwright-batch render: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace batch
