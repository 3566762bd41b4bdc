#include "app/ColorModelEditor.h"
#include "app/EditProject.h"
#include "app/Unit1.h"
#include "depth/MovingSquares.h"
#include "depth/Project.h"
#include "depth/ProjectLoader.h"
#include "support/AtomicFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

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
        form.AddFiles(
            {DEPTHWRIGHT_EXAMPLES "/shoreline.gpx", DEPTHWRIGHT_EXAMPLES "/soundings.gpx"});
        form.btnActionInterpolateClick(); // the page's refresh proposes the radii
        QApplication::processEvents();
    }
    void TearDown() override { fs::remove_all(dir); }
    void Interpolate() {
        form.btnInterpolateClick();
        // The thread slider marks the worker chains alive: all of them at the start,
        // none once the run is over.
        EXPECT_EQ(form.tbInterpolateThrds->SelEnd(), form.tbInterpolateThrds->value());
        ASSERT_NO_FATAL_FAILURE(WaitForTheRun());
        EXPECT_EQ(form.tbInterpolateThrds->SelEnd(), 0);
    }
    void WaitForTheRun() {
        QElapsedTimer timer;
        timer.start();
        while (form.Interpolating() && timer.elapsed() < 60000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        ASSERT_FALSE(form.Interpolating());
    }
    std::string P(const std::string &name) const { return (dir / name).string(); }
};

// Water cells of the chart whose pixel was never painted (still the image's black).
int UnpaintedWater(const TForm1 &form) {
    const QImage &image = form.InterpolatedImage->Control.Bitmap;
    int unpainted = 0;
    for (int y = 0; y < std::min(image.height(), form.ChartMask.array_height); ++y)
        for (int x = 0; x < std::min(image.width(), form.ChartMask.array_width); ++x)
            unpainted += form.ChartMask.Get(x, y) && image.pixel(x, y) == 0xFF000000u;
    return unpainted;
}

std::vector<std::pair<double, double>> Vertices(const model::TGPX &doc) {
    std::vector<std::pair<double, double>> out;
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items())
            for (int i = 0; i < s->Count(); ++i)
                out.emplace_back(s->Get(i)->Longitude, s->Get(i)->Latitude);
    return out;
}

} // namespace

TEST_F(Run, TheWindowRunsThePipelinesSteps) {
    ASSERT_NO_FATAL_FAILURE(Interpolate());
    form.btnIsoMapClick();

    // The same files through the pipeline directly, at the map's size and the page's settings.
    depth::TProject project;
    depth::TProjectLoader loader(project.GPXdata, nullptr);
    for (const char *file :
         {DEPTHWRIGHT_EXAMPLES "/shoreline.gpx", DEPTHWRIGHT_EXAMPLES "/soundings.gpx"})
        ASSERT_EQ(loader.LoadFile(file), 0);
    project.MaxDepth = loader.MaxDepth;
    project.GPXView.SetWidth(form.GPXImage->width());
    project.GPXView.SetHeight(form.GPXImage->height());
    project.SetMaskSize(form.GPXImage->width(), form.GPXImage->height());
    project.Fit();
    depth::TInterpolationSettings settings;
    settings.ExtrapolationRadius = form.udInterpolationWidth->value();
    settings.SmoothingRuns = form.udSmoothingRuns->value();
    settings.Style = form.tbInterpolatorStyle->value();
    settings.ThreadsTasks = 4 * static_cast<int>(TForm1::GetCPUCount());
    double pixel = 0;
    depth::UpdateInterpolatorSettings(project.GPXView.Viewport(), settings,
                                      form.udDontCareRadius->value(), pixel);
    depth::RunInterpolation(project, settings, nullptr);
    project.TraceContours(form.edtIsoStart->text().toInt(), form.edtIsoStep->text().toInt());

    const auto &mine = form.InterpResultArray.Cells(), &theirs = project.InterpResultArray.Cells();
    ASSERT_EQ(mine.size(), theirs.size());
    EXPECT_EQ(std::memcmp(mine.data(), theirs.data(), mine.size() * sizeof(float)), 0);
    EXPECT_TRUE(Vertices(form.IsoData) == Vertices(project.IsoData));
}

TEST_F(Run, TheChartCoversTheWholeImageWithAndWithoutTheProgressBar) {
    ASSERT_NO_FATAL_FAILURE(Interpolate());
    ASSERT_GT(form.ChartMask.array_height, 0);
    EXPECT_EQ(UnpaintedWater(form), 0);
    // The bar takes rows from the image while it shows; the chart follows the image's size.
    form.pbInterpolate->show();
    QApplication::processEvents();
    EXPECT_EQ(UnpaintedWater(form), 0);
    form.pbInterpolate->hide();
    QApplication::processEvents();
    EXPECT_GE(form.InterpolatedImage->height(), form.InterpResultArray.Height());
    EXPECT_EQ(UnpaintedWater(form), 0);
}

TEST_F(Run, NothingReachableDuringARunChangesItsGrid) {
    ASSERT_NO_FATAL_FAILURE(Interpolate());
    const std::vector<float> undisturbed = form.InterpResultArray.Cells();
    const std::int64_t points = depth::CountPoints(form.GPXdata, 0);
    edit.show();
    edit.tvItems->setCurrentItem(edit.tvItems->topLevelItem(0)->child(0)->child(1)->child(0));
    form.ColorModelEditorForm->show();
    QApplication::processEvents();

    form.btnInterpolateClick();
    ASSERT_TRUE(form.Interpolating());
    // Every button of the editing dialog, the colour editor's "OK", the gradient strip and
    // the map's mouse, each answered yes where it would ask.
    dialogs.yesNoAnswers = {true, true, true, true};
    dialogs.openAnswers = {{DEPTHWRIGHT_EXAMPLES "/shoreline.gpx"}};
    dialogs.saveAnswers = {P("during.gpx")};
    for (QPushButton *b : {edit.btnAddFiles, edit.btnSaveProject, edit.btnDeleteEntry,
                           edit.btnDeleteArea, edit.btnDeleteSample, edit.btnClose,
                           form.ColorModelEditorForm->findChild<QPushButton *>("btnOK")})
        QTest::mouseClick(b, Qt::LeftButton);
    QTest::mouseClick(form.sbPanels[3], Qt::LeftButton);
    const QPoint middle = form.GPXImage->rect().center();
    QTest::mousePress(form.GPXImage, Qt::LeftButton, {}, middle);
    QTest::mouseMove(form.GPXImage, middle + QPoint(40, 30));
    QTest::mouseRelease(form.GPXImage, Qt::LeftButton, {}, middle + QPoint(40, 30));
    form.GPXImageResize();
    form.UpdateInterpolatorSettings();
    ASSERT_NO_FATAL_FAILURE(WaitForTheRun());

    const std::vector<float> &grid = form.InterpResultArray.Cells();
    ASSERT_EQ(grid.size(), undisturbed.size());
    EXPECT_EQ(std::memcmp(grid.data(), undisturbed.data(), grid.size() * sizeof(float)), 0);
    EXPECT_EQ(depth::CountPoints(form.GPXdata, 0), points);
    EXPECT_EQ(dialogs.openAnswers.size(), 1u);
    EXPECT_FALSE(fs::exists(P("during.gpx")));
    EXPECT_TRUE(edit.isEnabled() && form.PageControl->isEnabled() && form.sbMain->isEnabled());
}

TEST_F(Run, ContoursKeepTheRunsFrameWhateverTheMapDoes) {
    ASSERT_NO_FATAL_FAILURE(Interpolate());
    form.btnIsoMapClick();
    const auto traced = Vertices(form.IsoData);
    ASSERT_GT(traced.size(), 100u);
    form.btnTrkZoomInClick();
    form.GPXView.MoveFromTo(10, 10, 70, 45);
    form.btnTrkZoomOutClick();
    form.btnTrkZoomOutClick();
    form.btnHtZoomClick(); // a mode left on the contour map ends with the next build
    form.btnIsoMapClick();
    EXPECT_TRUE(Vertices(form.IsoData) == traced);
    EXPECT_FALSE(form.btnHtZoom->isDown());
    EXPECT_EQ(form.IsoImage->cursor().shape(), Qt::SizeAllCursor);

    // A load makes the chart stale: it is discarded, so no stale grid can be traced.
    form.AddFiles({DEPTHWRIGHT_EXAMPLES "/shoreline.gpx"});
    EXPECT_FALSE(form.InterpLoaded);
    EXPECT_FALSE(form.btnIsoMap->isEnabled());
    EXPECT_FALSE(form.btnInterpolSaveBMP->isEnabled());
}

TEST_F(Run, StartOverClearsTheChartAndTheContours) {
    ASSERT_NO_FATAL_FAILURE(Interpolate());
    form.btnIsoMapClick();
    form.btnStartOverClick(); // nothing edited: no question
    EXPECT_TRUE(dialogs.questions.empty());
    auto uniform = [](const QImage &image) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != image.pixel(0, 0))
                    return false;
        return true;
    };
    EXPECT_TRUE(uniform(form.InterpolatedImage->Control.Bitmap));
    EXPECT_TRUE(form.InterpolatedImage->Layers.empty());
    EXPECT_TRUE(uniform(form.IsoImage->Control.Bitmap));
    for (QPushButton *b : {form.btnInterpolSaveBMP, form.btnIsoMap, form.btnIsoSaveGPX,
                           form.btnIsoSaveBMP, form.btnCreateHT, form.btnTrkSaveGPX})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
}

TEST_F(Run, InterpolationGivesTheBatchToolsGrid) {
    EXPECT_EQ(form.udDontCareRadius->value(), 50);
    EXPECT_TRUE(form.lblInterpolationWidth->text().startsWith("px = "));
    ASSERT_NO_FATAL_FAILURE(Interpolate());
    EXPECT_TRUE(form.InterpLoaded);
    EXPECT_TRUE(form.btnIsoMap->isEnabled());
    EXPECT_TRUE(form.PageControl->isEnabled());
    // The batch tool, same files and settings, at the size of the map image.
    const std::string grid = P("grid.f32");
    const std::string command = std::string(DEPTHWRIGHT_BATCH) +
                                " chart " DEPTHWRIGHT_EXAMPLES
                                "/shoreline.gpx " DEPTHWRIGHT_EXAMPLES "/soundings.gpx --size " +
                                std::to_string(form.GPXImage->width()) + "x" +
                                std::to_string(form.GPXImage->height()) + " --grid " + grid +
                                " > /dev/null";
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
    EXPECT_EQ(dialogs.Texts().back().rfind("To upload the generated files to your Humminbird", 0),
              0u);
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

TEST_F(Run, FeetAndTheChartsExports) {
    form.cbUnits->setCurrentIndex(1); // feet
    EXPECT_TRUE(form.lblMaxDepth->text().endsWith(" ft")) << form.lblMaxDepth->text().toStdString();
    EXPECT_EQ(form.lblIsoStepUnit->text(), "ft");
    ASSERT_NO_FATAL_FAILURE(Interpolate());
    form.btnIsoMapClick(); // every 5 ft from 5 ft
    ASSERT_GT(form.IsoData.trk.Count(), 3);
    bool inFeet = false;
    for (const auto &t : form.IsoData.trk.Items())
        if (t->name != "Shoreline") {
            EXPECT_EQ(t->name.substr(t->name.size() - 3), " ft") << t->name;
            inFeet = true;
        }
    EXPECT_TRUE(inFeet);
    EXPECT_EQ(form.IsoData.trk[3]->First()->First()->HBdepth, 152.4); // 5 ft

    dialogs.saveAnswers = {P("grid.tif"), P("chart.kmz"), P("iso.gpkg")};
    form.btnExportGridClick();
    form.btnExportKMZClick();
    form.btnIsoSaveGPXClick();
    for (const char *name : {"grid.tif", "chart.kmz", "iso.gpkg"})
        EXPECT_GT(fs::file_size(P(name)), 1000u) << name;

    // With the legend the image is wider; the chart's pixels stay where they were.
    form.cbLegend->setChecked(true);
    dialogs.saveAnswers = {P("legend.bmp")};
    form.SaveImage(form.InterpolatedImage->Control.Bitmap, true, &form.ChartFrame);
    const std::string bmp = support::ReadWholeFile(P("legend.bmp"));
    ASSERT_GT(bmp.size(), 26u);
    std::int32_t width = 0;
    std::memcpy(&width, bmp.data() + 18, 4);
    EXPECT_GT(width, form.InterpolatedImage->Control.Bitmap.width());

    // Coverage hatches cells far from every sounding: the chart changes, the grid does not.
    const QImage before = form.InterpolatedImage->Control.Bitmap.copy();
    const std::vector<float> grid = form.InterpResultArray.Cells();
    form.udCoverage->setValue(5);
    form.cbCoverage->setChecked(true);
    EXPECT_NE(form.InterpolatedImage->Control.Bitmap, before);
    EXPECT_TRUE(form.InterpResultArray.Cells() == grid);
}
