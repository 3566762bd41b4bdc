// A shapefile and its table, split from one input (see fuzzutil::SplitTwo), read and then
// taken through what "Import Coordinates", "Import Database" and "Add Files..." do next,
// and once more with the depths taken from Z.
#include "FuzzUtil.h"

#include "formats/ShapefileImport.h"
#include "formats/shapefile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const auto [shpBytes, dbfBytes] = fuzzutil::SplitTwo(fuzzutil::AsText(data, size));
    formats::TShapefile shp;
    shp.Filename_SHP = "input.shp";
    shp.ReadSHP(shpBytes);
    try {
        shp.ReadDBF(dbfBytes);
    } catch (const formats::ShapefileReadError &) {
        return 0; // the loader drops the file
    }

    std::vector<std::string> preview;
    for (const formats::TDBFDatabaseFields &field : shp.DatabaseFields)
        try {
            formats::DepthPreview(field, "100", preview);
        } catch (const formats::ConversionError &) {
        }
    try {
        formats::ImportCoordinatesOK(shp, 1, "-500000", "0", "33", 0);
        if (!shp.DatabaseFields.empty()) {
            support::TMessages shown;
            (void)formats::JoinDBFOK(shp, 0, "100", shown);
        }
    } catch (const formats::ConversionError &) {
    }

    model::TGPX doc;
    shp.MakeGPX(&doc);
    fuzzutil::SettleLikeTheLoader(doc);

    // Depth from Z, as an elevation in metres.
    shp.DepthFromZScale = -100;
    model::TGPX fromZ;
    shp.MakeGPX(&fromZ);
    for (const auto &t : fromZ.trk.Items())
        for (const auto &s : t->Items())
            for (const auto &p : s->Items())
                if (!(p->HBdepth >= 0))
                    fuzzutil::Fail("a depth from Z below 0: " + std::to_string(p->HBdepth));
    fuzzutil::SettleLikeTheLoader(fromZ);
    return 0;
}
