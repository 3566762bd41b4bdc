#include "app/EditProject.h"
#include "app/Unit1.h"
#include "support/AtomicFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;
using app::TForm1;

namespace {

struct Run : ::testing::Test {
    support::ScriptedDialogs dialogs;
    TForm1 form;
    app::TEditProjectForm edit{form};
    fs::path dir;
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "dw-run-XXXXXX").string();
        dir = ::mkdtemp(tmpl.data());
        form.SetDialogs(&dialogs);
        form.EditProjectForm = &edit;
        form.show();
        QApplication::processEvents();
        form.AddFiles({DEPTHWRIGHT_EXAMPLES "/shoreline.gpx", DEPTHWRIGHT_EXAMPLES "/soundings.gpx"});
        form.btnActionInterpolateClick(); // the page's refresh proposes the radii
        QApplication::processEvents();
    }
    void TearDown() override { fs::remove_all(dir); }
    void Interpolate() {
        form.btnInterpolateClick();
        // The thread slider marks the worker chains alive: all of them at the start,
        // none once the run is over.
        EXPECT_EQ(form.tbInterpolateThrds->SelEnd(), form.tbInterpolateThrds->value());
        QElapsedTimer timer;
        timer.start();
        while (form.Interpolating() && timer.elapsed() < 60000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        ASSERT_FALSE(form.Interpolating());
        EXPECT_EQ(form.tbInterpolateThrds->SelEnd(), 0);
    }
    std::string P(const std::string &name) const { return (dir / name).string(); }
};

} // namespace

TEST_F(Run, InterpolationGivesTheBatchToolsGrid) {
    EXPECT_EQ(form.udDontCareRadius->value(), 50);
    EXPECT_TRUE(form.lblInterpolationWidth->text().startsWith("px = "));
    ASSERT_NO_FATAL_FAILURE(Interpolate());
    EXPECT_TRUE(form.InterpLoaded);
    EXPECT_TRUE(form.btnIsoMap->isEnabled());
    EXPECT_TRUE(form.PageControl->isEnabled());
    // The batch tool, same files and settings, at the size of the map image.
    const std::string grid = P("grid.f32");
    const std::string command = std::string(DEPTHWRIGHT_BATCH) + " chart " DEPTHWRIGHT_EXAMPLES "/shoreline.gpx " DEPTHWRIGHT_EXAMPLES
                                "/soundings.gpx --size " + std::to_string(form.GPXImage->width()) + "x" +
                                std::to_string(form.GPXImage->height()) + " --grid " + grid + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string bytes = support::ReadWholeFile(grid);
    const auto &cells = form.InterpResultArray.Cells();
    ASSERT_EQ(bytes.size(), cells.size() * sizeof(float));
    EXPECT_EQ(std::memcmp(bytes.data(), cells.data(), bytes.size()), 0);
}

TEST_F(Run, ContoursAndTheirExports) {
    ASSERT_NO_FATAL_FAILURE(Interpolate());
    form.btnIsoMapClick();
    EXPECT_TRUE(form.IsoLoaded);
    EXPECT_TRUE(form.lblNumIsoTracks->text().startsWith("# Tracks: "));
    EXPECT_TRUE(form.lblGeneratedPoints->text().startsWith("# Points: "));
    EXPECT_TRUE(form.btnCreateHT->isEnabled());
    ASSERT_GT(form.IsoData.trk.Count(), 2);
    EXPECT_EQ(form.IsoData.trk[0]->name, "Shoreline");

    // Without "Seperate by Depth": one file, then the information box.
    dialogs.saveAnswers = {P("000.ht")};
    form.btnCreateHTClick();
    EXPECT_EQ(fs::file_size(P("000.ht")), 131080u);
    ASSERT_FALSE(dialogs.Texts().empty());
    EXPECT_EQ(dialogs.Texts().back().rfind("To upload the generated files to your Humminbird", 0), 0u);
    long long points = 0;
    for (const auto &t : form.IsoData.trk.Items())
        for (const auto &s : t->Items())
            points += s->Count();
    EXPECT_EQ(form.lblWritePoints->text().toStdString(),
              "# Written: 1 files, " + std::to_string(points) + " points");

    // Cancelled: nothing counted and no upload instructions.
    const std::size_t shown = dialogs.shown.size();
    form.btnCreateHTClick();
    EXPECT_EQ(form.lblWritePoints->text().toStdString(), "# Written: 0 files, 0 points");
    EXPECT_EQ(dialogs.shown.size(), shown);

    // With it: one run of files per group of the save-order list.
    form.cbManualOrder->setChecked(true);
    std::vector<std::string> proposed;
    form.ShowSaveOrder = [&](depth::TChangeSaveOrder &order) {
        proposed = order.Items;
        order.Items = {"### New File ###", "Shoreline", "### New File ###", proposed[2]};
    };
    dialogs.saveAnswers = {P("a.ht"), P("b.ht")};
    form.btnCreateHTClick();
    ASSERT_GE(proposed.size(), 3u);
    EXPECT_EQ(proposed[0], "### New File ###");
    EXPECT_EQ(proposed[1], "Shoreline");
    EXPECT_TRUE(fs::exists(P("a.ht")) && fs::exists(P("b.ht")));

    // "Save Tracks..." and "Save Image..." of the contour page.
    dialogs.saveAnswers = {P("iso.gpx")};
    form.btnIsoSaveGPXClick();
    EXPECT_GT(fs::file_size(P("iso.gpx")), 1000u);
    for (const char *name : {"chart.bmp", "chart.JPG"}) {
        dialogs.saveAnswers = {P(name)};
        form.SaveImage(form.InterpolatedImage->Control.Bitmap);
        EXPECT_TRUE(fs::exists(P(name))) << name;
    }
    dialogs.saveAnswers = {P("chart.png")};
    form.SaveImage(form.IsoImage->Control.Bitmap);
    EXPECT_EQ(dialogs.Texts().back(), "File extension not supported: " + P("chart.png"));
    EXPECT_FALSE(fs::exists(P("chart.png")));
}

TEST_F(Run, MakeHTFileAppendsTheProjectTracks) {
    form.btnActionHTFileClick();
    const int once = form.IsoData.trk.Count();
    EXPECT_EQ(once, form.GPXdata.trk.Count());
    form.btnActionHTFileClick();
    EXPECT_EQ(form.IsoData.trk.Count(), 2 * once); // the contour document is not emptied first
    EXPECT_EQ(form.PageControl->currentWidget(), form.TabHTBuilder);
    EXPECT_TRUE(form.btnCreateHT->isEnabled());
    EXPECT_FALSE(form.btnIsoSaveGPX->isEnabled());
}

TEST_F(Run, InvalidContourSettingsAreRefused) {
    ASSERT_NO_FATAL_FAILURE(Interpolate());
    for (const char *step : {"0", "abc"}) {
        form.edtIsoStep->setText(step);
        dialogs.shown.clear();
        try {
            form.btnIsoMapClick();
        } catch (const std::exception &e) {
            dialogs.Error(e.what());
        }
        ASSERT_FALSE(dialogs.Texts().empty()) << step;
        EXPECT_TRUE(form.btnIsoMap->isEnabled());
    }
}

TEST_F(Run, ClosingDuringARunStopsAndWaitsForTheWorkers) {
    form.btnInterpolateClick();
    ASSERT_TRUE(form.Interpolating());
    form.close(); // must neither crash nor hang
    EXPECT_FALSE(form.Interpolating());
    EXPECT_FALSE(form.InterpLoaded);
}
