#include "app/EditProject.h"
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
    bool TabShown(QWidget *page) const { return form.PageControl->isTabVisible(form.PageControl->indexOf(page)); }
    void Mouse(QEvent::Type type, int x, int y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = {}) {
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
    EXPECT_EQ(form.memDebug->toPlainText().split('\n').front().toStdString(), std::to_string(cpus) + " CPUs found");
    EXPECT_EQ(form.tbInterpolateThrds->value(), cpus);
    EXPECT_EQ(form.lblInterpolateThrds->text().toStdString(), "CPUs for calculation: " + std::to_string(cpus));
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
    std::string gpx = dir.File("two.gpx", "<gpx><trk><name>T</name><trkseg>" + Point(47, 8, 0) +
                                              Point(47.1, 8.1, 0) + "</trkseg><trkseg>" +
                                              Point(47, 8.2, 250) + Point(47.1, 8.3, 300) +
                                              "</trkseg></trk></gpx>");
    form.cbAddDepth->setChecked(true);
    form.cbAddOffset->setChecked(true);
    dialogs.inputAnswers = {std::string("100"), std::string("10"), std::string("-5")};
    form.AddFiles({gpx});
    EXPECT_EQ(dialogs.prompts, (std::vector<std::string>{"two.gpxTrack: T Depth [cm]:",
                                                         "two.gpxTrack: T Add Depth [cm]:",
                                                         "two.gpxTrack: T Add Depth [cm]:"}));
    ASSERT_TRUE(form.FileLoaded);
    EXPECT_EQ(form.GPXdata.trk[0]->Get(0)->maxdepth, 110);
    EXPECT_EQ(form.GPXdata.trk[0]->Get(1)->maxdepth, 295);
    EXPECT_TRUE(form.btnInterpolate->isEnabled());
    EXPECT_TRUE(form.btnTrkSaveGPX->isEnabled());
    EXPECT_EQ(form.minimumSize(), form.maximumSize()); // the size is frozen
    EXPECT_EQ(Panel(4), "295 cm"); // the offset applies to the depths too
    EXPECT_EQ(form.lblMaxDepth->text(), "Max Depth: 295 cm");
    EXPECT_EQ(form.lblNumPoints1->text(), "Samples: 4");
    EXPECT_TRUE(form.lblMapSize->text().startsWith("Area: "));
    EXPECT_EQ(form.lblImageSize->text().toStdString(), "Screen Size: " + std::to_string(form.GPXImage->width()) + " x " +
                                                           std::to_string(form.GPXImage->height()) + " px");
}

TEST_F(Window, FailuresAreNamedAndWhatLoadedIsShown) {
    std::string good = dir.File("good.gpx", LakeGpx());
    std::string missing = (dir.path / "missing.gpx").string();
    std::string text = dir.File("notes.txt", "x");
    // A missing file first and a good one last: loaded, and the missing one is named.
    form.AddFiles({missing, good});
    EXPECT_TRUE(form.FileLoaded);
    ASSERT_EQ(dialogs.Texts().size(), 1u);
    EXPECT_EQ(dialogs.Texts()[0], "Error while loading file.\n" + missing);

    // An unsupported extension ends the operation; what came before it is shown.
    support::ScriptedDialogs more;
    form.SetDialogs(&more);
    form.AddFiles({good, text, good});
    EXPECT_EQ(more.Texts(), std::vector<std::string>{"File extension not supported: " + text});
    EXPECT_EQ(form.GPXdata.trk.Count(), 4); // the first file of this choice was added
    EXPECT_EQ(form.lblNumPoints->text(), "Samples: 16");
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
    EXPECT_EQ(dialogs.questions.back(), "Are you sure that you want to delete the selected track \"A\" ?");
    EXPECT_EQ(form.GPXdata.trk.Count(), 2);

    tree->setCurrentItem(tree->topLevelItem(0)->child(0)->child(1)->child(0));
    dialogs.yesNoAnswers = {true};
    edit.btnDeleteEntryClick();
    EXPECT_EQ(dialogs.questions.back(), "Are you sure that you want to delete the selected track segment ?");
    EXPECT_EQ(form.GPXdata.trk[1]->Count(), 0); // the track stays, empty

    tree->setCurrentItem(tree->topLevelItem(0)->child(0)->child(0));
    edit.btnDeleteSampleClick();
    EXPECT_EQ(dialogs.Texts().back(), "No track in list selcted.");

    form.btnStartOverClick();
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    EXPECT_FALSE(form.FileLoaded);
    EXPECT_EQ(form.GPXdata.trk.Count(), 0);
    EXPECT_TRUE(form.lblMaxDepth->text().isEmpty());
    EXPECT_TRUE(form.btnTrkSaveGPX->isEnabled()); // stays enabled, does nothing
    EXPECT_EQ(form.minimumSize(), QSize(850, 600)); // no longer frozen
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
    Mouse(QEvent::MouseButtonPress, x, y, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, x, y, Qt::NoButton, Qt::AltModifier); // stays in the mode
    EXPECT_EQ(form.GPXdata.trk[1]->First()->Count(), 2);
    EXPECT_EQ(view.MouseMode, mapview::mmDeleteTrackPoint);
    edit.btnDeleteSampleClick();
    EXPECT_EQ(view.MouseMode, mapview::mmMove);

    // The cutter removes the points inside the dragged rectangle.
    edit.btnDeleteAreaClick();
    EXPECT_EQ(Panel(0), "Select area to delete...");
    const int x0 = view.LoToX(8.01), y0 = view.LaToY(47.06), x1 = view.LoToX(8.09), y1 = view.LaToY(47.04);
    Mouse(QEvent::MouseButtonPress, x0, y0, Qt::LeftButton);
    Mouse(QEvent::MouseMove, (x0 + x1) / 2, (y0 + y1) / 2, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, x1, y1, Qt::NoButton);
    EXPECT_EQ(view.MouseMode, mapview::mmMove);
    EXPECT_EQ(form.GPXdata.trk.Count(), 1); // the emptied sounding track is gone
    EXPECT_EQ(form.GPXdata.trk[0]->First()->Count(), 5);
    EXPECT_EQ(edit.tvItems->topLevelItem(0)->child(0)->childCount(), 1);
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
