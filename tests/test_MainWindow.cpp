#include "app/EditProject.h"
#include "app/SurveysDialog.h"
#include "app/Unit1.h"
#include "support/AtomicFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using app::TForm1;
using testutil::TempDir;

namespace {

std::string Point(double lat, double lon, double depth) {
    return "<trkpt lat='" + std::to_string(lat) + "' lon='" + std::to_string(lon) +
           "'><extensions><h:depth>" + std::to_string(depth) + "</h:depth></extensions></trkpt>";
}

// A lake: track A (a square shoreline) and an unnamed track of soundings.
std::string LakeGpx() {
    return "<gpx><trk><name>A</name><trkseg>" + Point(47.0, 8.0, 0) + Point(47.0, 8.1, 0) +
           Point(47.1, 8.1, 0) + Point(47.1, 8.0, 0) + Point(47.0, 8.0, 0) +
           "</trkseg></trk><trk><trkseg>" + Point(47.05, 8.02, 300) + Point(47.05, 8.05, 1234) +
           Point(47.05, 8.08, 500) + "</trkseg></trk></gpx>";
}

struct Window : ::testing::Test {
    support::ScriptedDialogs dialogs;
    TForm1 form;
    app::TEditProjectForm edit{form};
    TempDir dir;
    void SetUp() override {
        form.SetDialogs(&dialogs);
        form.EditProjectForm = &edit;
        form.show();
        QApplication::processEvents();
    }
    std::string Panel(int i) const { return form.StatusText(i); }
    bool TabShown(QWidget *page) const {
        return form.PageControl->isTabVisible(form.PageControl->indexOf(page));
    }
    void Mouse(QEvent::Type type, int x, int y, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers mods = {}) {
        QMouseEvent e(type, QPointF(x, y), form.GPXImage->mapToGlobal(QPointF(x, y)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, mods);
        QApplication::sendEvent(form.GPXImage, &e);
    }
};

} // namespace

TEST_F(Window, StartUpState) {
    EXPECT_TRUE(TabShown(form.TabProject));
    EXPECT_TRUE(TabShown(form.TabDebug));
    EXPECT_TRUE(TabShown(form.TabAbout));
    EXPECT_FALSE(TabShown(form.TabInterpolator));
    EXPECT_FALSE(TabShown(form.TabHTBuilder));
    EXPECT_EQ(form.PageControl->currentWidget(), form.TabProject);
    EXPECT_EQ(Panel(2), "0m");
    EXPECT_EQ(Panel(4), "0m");
    EXPECT_TRUE(form.lblMaxDepth->text().isEmpty());
    EXPECT_TRUE(form.lblNumPoints1->text().isEmpty());
    const int cpus = static_cast<int>(TForm1::GetCPUCount());
    EXPECT_EQ(form.memDebug->toPlainText().split('\n').front().toStdString(),
              std::to_string(cpus) + " CPUs found");
    EXPECT_EQ(form.tbInterpolateThrds->value(), cpus);
    EXPECT_EQ(form.lblInterpolateThrds->text().toStdString(),
              "CPUs for calculation: " + std::to_string(cpus));
    EXPECT_FALSE(form.btnTrkSaveGPX->isEnabled());
    EXPECT_FALSE(form.btnInterpolate->isEnabled());
    EXPECT_EQ(form.windowTitle(), "Quillfen: Depthwright 2D");
    EXPECT_NE(form.findChild<QPushButton *>("btnAddFiles"), nullptr);
}

TEST_F(Window, SaveAsHTWithoutContoursWritesNothing) {
    dialogs.saveAnswers = {dir.Path("000.ht")};
    form.btnCreateHTClick();
    EXPECT_EQ(dialogs.Texts(),
              std::vector<std::string>{"There is nothing to write: build the contours first."});
    EXPECT_EQ(dialogs.saveAnswers.size(), 1u); // no file dialog
    EXPECT_FALSE(fs::exists(dir.Path("000.ht")));
    EXPECT_EQ(form.lblWritePoints->text().toStdString(), "# Written: 0 files, 0 points");
}

TEST_F(Window, LoadingAsksForDepthAndOffsetPerSegment) {
    std::string gpx =
        dir.File("two.gpx", "<gpx><trk><name>T</name><trkseg>" + Point(47, 8, 0) +
                                Point(47.1, 8.1, 0) + "</trkseg><trkseg>" + Point(47, 8.2, 250) +
                                Point(47.1, 8.3, 300) + "</trkseg></trk></gpx>");
    form.cbAddDepth->setChecked(true);
    form.cbAddOffset->setChecked(true);
    dialogs.inputAnswers = {std::string("100"), std::string("10"), std::string("-5")};
    form.AddFiles({gpx});
    EXPECT_EQ(dialogs.prompts, (std::vector<std::string>{
                                   "two.gpxTrack: T Depth [cm]:", "two.gpxTrack: T Add Depth [cm]:",
                                   "two.gpxTrack: T Add Depth [cm]:"}));
    ASSERT_TRUE(form.FileLoaded);
    EXPECT_EQ(form.GPXdata.trk[0]->Get(0)->maxdepth, 110);
    EXPECT_EQ(form.GPXdata.trk[0]->Get(1)->maxdepth, 295);
    EXPECT_TRUE(form.btnInterpolate->isEnabled());
    EXPECT_TRUE(form.btnTrkSaveGPX->isEnabled());
    EXPECT_EQ(form.minimumSize(), form.maximumSize()); // the size is frozen
    EXPECT_EQ(Panel(4), "295 cm");                     // the offset applies to the depths too
    EXPECT_EQ(form.lblMaxDepth->text(), "Max Depth: 295 cm");
    EXPECT_EQ(form.lblNumPoints1->text(), "Samples: 4");
    EXPECT_TRUE(form.lblMapSize->text().startsWith("Area: "));
    EXPECT_EQ(form.lblImageSize->text().toStdString(),
              "Screen Size: " + std::to_string(form.GPXImage->width()) + " x " +
                  std::to_string(form.GPXImage->height()) + " px");
}

TEST_F(Window, FailuresAreNamedAndWhatLoadedIsShown) {
    std::string good = dir.File("good.gpx", LakeGpx());
    std::string missing = (dir.path / "missing.gpx").string();
    std::string text = dir.File("notes.doc", "x");
    // A missing file first and a good one last: loaded, and the missing one is named.
    form.AddFiles({missing, good});
    EXPECT_TRUE(form.FileLoaded);
    ASSERT_EQ(dialogs.Texts().size(), 1u);
    EXPECT_EQ(dialogs.Texts()[0], "Error while loading file.\n" + missing + ": file not found");

    // A bad file in the middle loses nothing: the files after it are read too, and one box
    // names every failure with its reason.
    std::string broken = dir.File("broken.gpx", "<gpx><trk><trkseg><trkpt lat=");
    support::ScriptedDialogs more;
    form.SetDialogs(&more);
    form.AddFiles({good, text, broken, good});
    ASSERT_EQ(more.Texts().size(), 1u);
    const std::string box = more.Texts()[0];
    EXPECT_EQ(box.rfind("Error while loading file.\nFile extension not supported: " + text + "\n" +
                            broken + ": ",
                        0),
              0u)
        << box;
    EXPECT_EQ(form.GPXdata.trk.Count(), 6); // both good files of this choice were added
    EXPECT_EQ(form.lblNumPoints->text(), "Samples: 24");
}

TEST_F(Window, TreeDeleteEntryAndStartOver) {
    form.AddFiles({dir.File("lake.gpx", LakeGpx())});
    QTreeWidget *tree = edit.tvItems;
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem *root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), "Current Project");
    QTreeWidgetItem *list = root->child(0);
    EXPECT_EQ(list->text(0), "Tracks (2)");
    EXPECT_EQ(list->child(0)->text(0), "A");
    EXPECT_EQ(list->child(0)->child(0)->text(0), "Segment 1");
    EXPECT_EQ(list->child(1)->text(0), "Track 2");
    EXPECT_TRUE(list->child(1)->isExpanded() && list->isExpanded());

    tree->setCurrentItem(list->child(0));
    dialogs.yesNoAnswers = {false};
    edit.btnDeleteEntryClick();
    EXPECT_EQ(dialogs.questions.back(),
              "Are you sure that you want to delete the selected track \"A\" ?");
    EXPECT_EQ(form.GPXdata.trk.Count(), 2);

    tree->setCurrentItem(tree->topLevelItem(0)->child(0)->child(1)->child(0));
    dialogs.yesNoAnswers = {true};
    edit.btnDeleteEntryClick();
    EXPECT_EQ(dialogs.questions.back(),
              "Are you sure that you want to delete the selected track segment ?");
    EXPECT_EQ(form.GPXdata.trk[1]->Count(), 0); // the track stays, empty

    tree->setCurrentItem(tree->topLevelItem(0)->child(0)->child(0));
    edit.btnDeleteSampleClick();
    EXPECT_EQ(dialogs.Texts().back(), "No track in list selcted.");

    // A mouse mode ends with "Start over": caption colour and cursor are restored.
    edit.btnDeleteAreaClick();
    EXPECT_FALSE(edit.btnDeleteArea->styleSheet().isEmpty());

    // The deletes are not saved: "Start over" asks first, and a No keeps the project.
    const std::string discard = "The project has changes that were not saved. Discard them?";
    dialogs.yesNoAnswers = {false};
    form.btnStartOverClick();
    EXPECT_EQ(dialogs.questions.back(), discard);
    EXPECT_TRUE(form.FileLoaded);
    EXPECT_EQ(tree->topLevelItemCount(), 1);

    dialogs.yesNoAnswers = {true};
    form.btnStartOverClick();
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    EXPECT_FALSE(form.FileLoaded);
    EXPECT_EQ(form.GPXdata.trk.Count(), 0);
    EXPECT_TRUE(form.lblMaxDepth->text().isEmpty());
    for (QPushButton *b : {form.btnTrkSaveGPX, form.btnTrkFit, form.btnTrkZoom, form.btnTrkZoomIn,
                           form.btnTrkZoomOut})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString(); // nothing to act on
    EXPECT_EQ(form.minimumSize(), QSize(850, 600));                    // no longer frozen
    EXPECT_TRUE(edit.btnDeleteArea->styleSheet().isEmpty());
    EXPECT_EQ(form.GPXView.MouseMode, mapview::mmMove);
    EXPECT_EQ(form.GPXImage->cursor().shape(), Qt::SizeAllCursor);
    EXPECT_GT(form.maximumWidth(), 10000);
}

TEST_F(Window, DeleteSampleAndAreaWithTheMouse) {
    form.AddFiles({dir.File("lake.gpx", LakeGpx())});
    mapview::TGPXDraw &view = form.GPXView;
    QTreeWidgetItem *soundings = edit.tvItems->topLevelItem(0)->child(0)->child(1)->child(0);
    edit.tvItems->setCurrentItem(soundings);
    edit.btnDeleteSampleClick();
    EXPECT_EQ(view.MouseMode, mapview::mmDeleteTrackPoint);
    EXPECT_EQ(Panel(0), "Select sample to delete...");
    const int x = view.LoToX(8.05), y = view.LaToY(47.05);
    Mouse(QEvent::MouseMove, x, y, Qt::NoButton);
    EXPECT_NE(Panel(0).find(", Depth: 12.34m"), std::string::npos) << Panel(0);
    // The position panel is wide enough for its whole text, hemisphere letters included.
    const QLabel *position = form.sbPanels[5];
    EXPECT_EQ(Panel(5).back(), 'E');
    EXPECT_LE(position->fontMetrics().horizontalAdvance(position->text()),
              position->contentsRect().width());
    Mouse(QEvent::MouseButtonPress, x, y, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, x, y, Qt::NoButton, Qt::AltModifier); // stays in the mode
    EXPECT_EQ(form.GPXdata.trk[1]->First()->Count(), 2);
    EXPECT_EQ(Panel(0), "Deleted 1 sample");
    EXPECT_EQ(form.lblNumPoints->text(), "Samples: 7"); // the statistics follow every edit
    EXPECT_EQ(view.MouseMode, mapview::mmDeleteTrackPoint);
    edit.btnDeleteSampleClick();
    EXPECT_EQ(view.MouseMode, mapview::mmMove);

    // The cutter removes the points inside the dragged rectangle.
    edit.btnDeleteAreaClick();
    EXPECT_EQ(Panel(0), "Select area to delete...");
    const int x0 = view.LoToX(8.01), y0 = view.LaToY(47.06), x1 = view.LoToX(8.09),
              y1 = view.LaToY(47.04);
    Mouse(QEvent::MouseButtonPress, x0, y0, Qt::LeftButton);
    Mouse(QEvent::MouseMove, (x0 + x1) / 2, (y0 + y1) / 2, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, x1, y1, Qt::NoButton);
    EXPECT_EQ(view.MouseMode, mapview::mmMove);
    EXPECT_EQ(form.GPXdata.trk.Count(), 1); // the emptied sounding track is gone
    EXPECT_EQ(form.GPXdata.trk[0]->First()->Count(), 5);
    EXPECT_EQ(edit.tvItems->topLevelItem(0)->child(0)->childCount(), 1);
    EXPECT_EQ(form.lblNumPoints->text(), "Samples: 5");
    EXPECT_EQ(Panel(0), "Deleted 2 points in the area");
}

TEST_F(Window, EditDialogKeysAndTheTreeFollowsTheSelection) {
    const std::string lake = dir.File("lake.gpx", LakeGpx());
    form.AddFiles({lake});
    edit.show();
    QApplication::processEvents();
    auto soundings = [&] { return edit.tvItems->topLevelItem(0)->child(0)->child(1)->child(0); };
    edit.tvItems->setCurrentItem(soundings());
    ASSERT_EQ(form.GPXdata.Selection.Entries().size(), 1u);

    // "Add Files..." with the dialog open rebuilds the tree; it still points at the segment
    // the map shows selected, so "Delete Entry" acts on it.
    form.AddFiles({dir.File("more.gpx", LakeGpx())});
    ASSERT_EQ(edit.tvItems->currentItem(), soundings());
    dialogs.yesNoAnswers = {true};
    edit.btnDeleteEntryClick();
    EXPECT_EQ(form.GPXdata.trk[1]->Count(), 0);

    // Enter presses "OK" (not "Add Files..."), Escape closes as "OK" does: both empty the
    // selection and hide the dialog.
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        edit.show();
        edit.tvItems->setCurrentItem(edit.tvItems->topLevelItem(0)->child(0)->child(0)->child(0));
        ASSERT_FALSE(form.GPXdata.Selection.Entries().empty());
        dialogs.openAnswers = {{lake}}; // taken only if "Add Files..." were pressed
        QTest::keyClick(edit.tvItems, key);
        EXPECT_FALSE(edit.isVisible()) << key;
        EXPECT_TRUE(form.GPXdata.Selection.Entries().empty()) << key;
        EXPECT_EQ(dialogs.openAnswers.size(), 1u) << key;
    }
}

TEST_F(Window, ClosingWithUnsavedChangesAsksFirst) {
    form.AddFiles({dir.File("lake.gpx", LakeGpx())});
    edit.tvItems->setCurrentItem(edit.tvItems->topLevelItem(0)->child(0)->child(1));
    dialogs.yesNoAnswers = {true, false};
    edit.btnDeleteEntryClick();
    ASSERT_EQ(form.GPXdata.trk.Count(), 1);
    EXPECT_FALSE(form.close()); // No: the window stays
    EXPECT_EQ(dialogs.questions.back(),
              "The project has changes that were not saved. Discard them?");
    EXPECT_TRUE(form.isVisible());
    // Once saved there is nothing to lose: no question.
    dialogs.saveAnswers = {dir.File("saved.gpx", "")};
    dialogs.yesNoAnswers = {true}; // overwrite
    form.btnTrkSaveGPXClick();
    const std::size_t asked = dialogs.questions.size();
    EXPECT_TRUE(form.close());
    EXPECT_EQ(dialogs.questions.size(), asked);
}

TEST_F(Window, SaveProjectKeepsABackup) {
    form.AddFiles({dir.File("lake.gpx", LakeGpx())});
    std::string target = dir.File("saved.gpx", "old project");
    dialogs.saveAnswers = {target};
    dialogs.yesNoAnswers = {true};
    form.btnTrkSaveGPXClick();
    EXPECT_EQ(dialogs.questions.back(), "Overwrite " + target + " ?");
    EXPECT_EQ(support::ReadWholeFile((dir.path / "saved.bak").string()), "old project");
    EXPECT_NE(support::ReadWholeFile(target).find("<h:depth>1234.0</h:depth>"), std::string::npos);

    std::string txt = dir.File("saved.txt", "keep");
    dialogs.saveAnswers = {txt};
    dialogs.yesNoAnswers = {true};
    form.btnTrkSaveGPXClick();
    EXPECT_EQ(dialogs.Texts().back(), "File extension not supported: " + txt);
    EXPECT_EQ(support::ReadWholeFile(txt), "keep");

    // Loading the saved project gives the same tracks again.
    form.btnStartOverClick();
    form.AddFiles({target});
    EXPECT_EQ(form.GPXdata.trk.Count(), 2);
    EXPECT_EQ(form.GPXdata.trk[1]->First()->Get(1)->HBdepth, 1234);
}

TEST_F(Window, SaveProjectOnAFullDiskKeepsTheProjectAndTheOldBackup) {
    form.AddFiles({dir.File("lake.gpx", LakeGpx())});
    const std::string oldProject(4000, 'p'), oldBackup = "the backup before";
    std::string target = dir.File("saved.gpx", oldProject);
    dir.File("saved.bak", oldBackup);
    dialogs.saveAnswers = {target};
    dialogs.yesNoAnswers = {true};
    {
        testutil::FileSizeLimit fullDisk(16);
        form.btnTrkSaveGPXClick();
    }
    ASSERT_FALSE(dialogs.shown.empty());
    EXPECT_EQ(dialogs.shown.back().kind, support::BoxKind::Error);
    EXPECT_NE(dialogs.shown.back().text.find(target), std::string::npos);
    EXPECT_EQ(support::ReadWholeFile(target), oldProject);
    // A backup that cannot be made whole must not cost the one there was.
    EXPECT_EQ(support::ReadWholeFile((dir.path / "saved.bak").string()), oldBackup);
    EXPECT_EQ(dir.Entries(), 3u); // lake.gpx, saved.gpx, saved.bak: no temporary left
}

namespace {

// A shore and one line of 40 soundings 2 m apart at about 5 m, one of them a 15 m spike.
std::string SpikyLakeGpx(const std::string &name, double level) {
    std::string line;
    for (int i = 0; i < 40; ++i)
        line += Point(47.05, 8.02 + i * 0.000026, (i == 20 ? 1500 : 500 + (i % 3)) + level);
    return "<gpx><trk><name>A</name><trkseg>" + Point(47.0, 8.0, 0) + Point(47.0, 8.1, 0) +
           Point(47.1, 8.1, 0) + Point(47.1, 8.0, 0) + Point(47.0, 8.0, 0) +
           "</trkseg></trk><trk><name>" + name + "</name><trkseg>" + line + "</trkseg></trk></gpx>";
}

} // namespace

TEST_F(Window, SpikesAreFlaggedReviewedAndUndone) {
    form.AddFiles({dir.File("lake.gpx", SpikyLakeGpx("S", 0))});
    ASSERT_EQ(form.MaxDepth, 1500);
    model::TGPXtrkseg &line = *form.GPXdata.trk[1]->First();
    QTest::mouseClick(edit.btnFindSpikes, Qt::LeftButton);
    EXPECT_EQ(Panel(0), "1 soundings flagged");
    EXPECT_TRUE(line.Get(20)->Flagged);
    EXPECT_EQ(form.MaxDepth, 502); // taken over the unflagged soundings

    edit.StepSpike(+1);
    EXPECT_EQ(Panel(0).rfind("Spike 1 of 1 at ", 0), 0u) << Panel(0);
    form.Undo();
    EXPECT_FALSE(line.Get(20)->Flagged);
    form.Redo();
    EXPECT_TRUE(line.Get(20)->Flagged);

    // Deleting the flagged soundings joins the same history as the other deletes.
    edit.btnDeleteFlaggedClick();
    EXPECT_EQ(line.Count(), 39);
    form.Undo();
    ASSERT_EQ(line.Count(), 40);
    EXPECT_EQ(line.Get(20)->HBdepth, 1500);
    EXPECT_TRUE(line.Get(20)->Flagged);
    edit.tvItems->setCurrentItem(edit.tvItems->topLevelItem(0)->child(0)->child(1));
    dialogs.yesNoAnswers = {true};
    edit.btnDeleteEntryClick();
    EXPECT_EQ(form.GPXdata.trk.Count(), 1);
    form.Undo();
    EXPECT_EQ(form.GPXdata.trk.Count(), 2);
    EXPECT_EQ(form.GPXdata.trk[1]->First(), &line);

    // The flag survives a save and a new load.
    const std::string saved = dir.File("saved.gpx", "");
    dialogs.saveAnswers = {saved};
    dialogs.yesNoAnswers = {true};
    form.btnTrkSaveGPXClick();
    EXPECT_FALSE(form.History.CanUndo()); // a save ends the history
    TForm1 again;
    support::ScriptedDialogs quiet;
    again.SetDialogs(&quiet);
    again.AddFiles({saved});
    ASSERT_EQ(again.GPXdata.trk.Count(), 2);
    EXPECT_TRUE(again.GPXdata.trk[1]->First()->Get(20)->Flagged);
}

TEST_F(Window, SurveysCarryTheirLevelOffsets) {
    form.AddFiles({dir.File("day1.gpx", SpikyLakeGpx("D1", 0)),
                   dir.File("day2.gpx", SpikyLakeGpx("D2", 30))});
    ASSERT_EQ(form.Project.Surveys.size(), 2u); // each file of soundings is a survey
    EXPECT_EQ(form.Project.Surveys[1].Name, "day2.gpx");
    form.ShowSurveys = [](app::TSurveysForm &surveys) {
        surveys.tblSurveys->item(1, 3)->setText("-30");
        surveys.btnOK->click();
        return true;
    };
    form.btnSurveysClick();
    EXPECT_EQ(form.Project.Surveys[1].OffsetCm, -30);
    EXPECT_TRUE(form.Modified);
    // The document keeps the recorded depths; a save asks which to write.
    EXPECT_EQ(form.GPXdata.trk[3]->First()->Get(0)->HBdepth, 530);
    const std::string saved = dir.File("corrected.gpx", "");
    dialogs.saveAnswers = {saved};
    dialogs.yesNoAnswers = {true, true}; // overwrite, corrected depths
    form.btnTrkSaveGPXClick();
    EXPECT_NE(support::ReadWholeFile(saved).find("<h:depth>500.0</h:depth>"), std::string::npos);
    EXPECT_EQ(form.GPXdata.trk[3]->First()->Get(0)->HBdepth, 530);
}
