#include "formats/GPXFile.h"
#include "mapview/GPXDraw.h"
#include "model/EditHistory.h"

#include <gtest/gtest.h>

namespace {

// The tracks as the project file would hold them: every point, depth and flag.
std::string Written(model::TGPX &doc) {
    formats::TGPXFile writer;
    writer.GPXd = &doc;
    return writer.ExportGPXTRKList(doc.trk);
}

void AddTrack(model::TGPX &doc, int segments, int points, double lat) {
    auto *t = doc.trk.Add(std::make_unique<model::TGPXtrk>());
    for (int s = 0; s < segments; ++s) {
        auto *seg = t->Add(std::make_unique<model::TGPXtrkseg>());
        for (int i = 0; i < points; ++i) {
            auto p = std::make_unique<model::TGPXwpt>();
            p->Latitude = lat + s * 0.01 + i * 0.001;
            p->Longitude = 8 + i * 0.001;
            p->HBdepth = 100 + i;
            seg->Add(std::move(p));
        }
    }
}

} // namespace

TEST(EditHistory, UndoAndRedoGiveTheExactDocumentsBack) {
    model::TGPX doc;
    AddTrack(doc, 2, 5, 47.0);
    AddTrack(doc, 1, 4, 47.5);
    AddTrack(doc, 1, 3, 48.0);
    model::TEditHistory history;
    std::vector<std::string> states{Written(doc)};

    model::TEdit track("track");
    track.Remove(doc.trk, 1);
    history.Push(std::move(track));
    states.push_back(Written(doc));

    model::TEdit points("points and a flag"); // several steps of several kinds in one edit
    points.Remove(*doc.trk[0]->Get(1), 4);
    points.Remove(*doc.trk[0]->Get(1), 0);
    points.SetFlag(*doc.trk[0]->Get(0)->Get(2), true);
    points.Remove(*doc.trk[0], 0); // a segment whose flag was just set
    history.Push(std::move(points));
    states.push_back(Written(doc));

    // The cutter empties a whole track: its points, its segment and the track go.
    mapview::TGPXDraw view;
    view.GPXd = &doc;
    view.SetWidth(100);
    view.SetHeight(100);
    view.BBox.O = 7.99, view.BBox.S = 47.95, view.BBox.Rm = 1000, view.BBox.Complete = true;
    model::TEdit cut("area");
    view.CutterTo({0, 100, 100, 0}, &cut);
    ASSERT_EQ(doc.trk.Count(), 1);
    history.Push(std::move(cut));
    states.push_back(Written(doc));

    for (int k = 3; k > 0; --k) {
        ASSERT_TRUE(history.CanUndo());
        history.Undo();
        EXPECT_EQ(Written(doc), states[static_cast<std::size_t>(k - 1)])
            << "after undo to " << k - 1;
    }
    EXPECT_FALSE(history.CanUndo());
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(history.Redo().empty(), false);
        EXPECT_EQ(Written(doc), states[static_cast<std::size_t>(k)]) << "after redo to " << k;
    }
    EXPECT_FALSE(history.CanRedo());

    // A new edit after an undo ends what could be redone.
    history.Undo();
    model::TEdit flag("flag");
    flag.SetFlag(*doc.trk[0]->Get(0)->Get(0), true);
    history.Push(std::move(flag));
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(history.Undo(), "flag");
    EXPECT_EQ(Written(doc), states[2]);
}
