// The main window as users of any desktop program expect it: keyboard shortcuts, files
// dropped on it, the wheel on its maps, the remembered folders of its file dialogs and the
// status bar's word after a save.
#include "app/EditProject.h"
#include "app/QtDialogs.h"
#include "app/Unit1.h"
#include "depth/FormatRegistry.h"
#include "depth/MovingSquares.h"
#include "depth/ProjectLoader.h"
#include "support/NumText.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <filesystem>

namespace fs = std::filesystem;
using app::TForm1;
using testutil::TempDir;

namespace {

const std::string kShoreline = DEPTHWRIGHT_EXAMPLES "/shoreline.gpx";
const std::string kSoundings = DEPTHWRIGHT_EXAMPLES "/soundings.gpx";

struct Desktop : ::testing::Test {
    support::ScriptedDialogs dialogs;
    TForm1 form;
    app::TEditProjectForm edit{form};
    TempDir dir;
    std::vector<QUrl> opened;
    void SetUp() override {
        form.SetDialogs(&dialogs);
        form.EditProjectForm = &edit;
        form.OpenUrl = [this](const QUrl &url) {
            opened.push_back(url);
            return true;
        };
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::ControlModifier) {
        QTest::keyClick(&form, static_cast<Qt::Key>(key), mods);
        QApplication::processEvents();
    }
    void LoadLake() {
        form.AddFiles({kShoreline, kSoundings});
        ASSERT_TRUE(form.FileLoaded);
    }
    void Interpolate() {
        form.btnActionInterpolateClick();
        QApplication::processEvents();
        form.btnInterpolateClick();
        QElapsedTimer timer;
        timer.start();
        while (form.Interpolating() && timer.elapsed() < 60000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        ASSERT_FALSE(form.Interpolating());
        ASSERT_TRUE(form.InterpLoaded);
    }
    void Wheel(QWidget *target, QPoint at, int notches) {
        QWheelEvent e(QPointF(at), target->mapToGlobal(QPointF(at)), QPoint(),
                      QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
        QApplication::sendEvent(target, &e);
    }
    std::int64_t Points() const { return depth::CountPoints(form.GPXdata, 0); }
};

std::vector<std::pair<double, double>> Vertices(const model::TGPX &doc) {
    std::vector<std::pair<double, double>> out;
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items())
            for (int i = 0; i < s->Count(); ++i)
                out.emplace_back(s->Get(i)->Longitude, s->Get(i)->Latitude);
    return out;
}

std::unique_ptr<QMimeData> Urls(const QList<QUrl> &urls) {
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    return data;
}

} // namespace

TEST_F(Desktop, EachShortcutDoesWhatItsButtonDoes) {
    // Ctrl+O: "Add Files..." with its dialog.
    dialogs.openAnswers = {{kShoreline, kSoundings}};
    Key(Qt::Key_O);
    EXPECT_TRUE(dialogs.openAnswers.empty());
    ASSERT_TRUE(form.FileLoaded);
    const std::int64_t loaded = Points();

    // Ctrl+Z and Ctrl+Y (or Ctrl+Shift+Z): the history of edits.
    model::TGPXtrkseg &seg = *form.GPXdata.trk[1]->Get(0);
    model::TEdit removal("Deleted 1 sample");
    removal.Remove(seg, 0);
    form.ApplyEdit(std::move(removal));
    ASSERT_EQ(Points(), loaded - 1);
    Key(Qt::Key_Z);
    EXPECT_EQ(Points(), loaded);
    EXPECT_EQ(form.StatusText(0), "Undone: Deleted 1 sample");
    Key(Qt::Key_Y);
    EXPECT_EQ(Points(), loaded - 1);
    Key(Qt::Key_Z);
    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Points(), loaded - 1);
    EXPECT_EQ(form.StatusText(0), "Redone: Deleted 1 sample");

    // Ctrl+S: "Save Project...", and the status bar says what was written.
    const std::string saved = dir.Path("lake.gpx");
    dialogs.saveAnswers = {saved};
    Key(Qt::Key_S);
    ASSERT_TRUE(fs::exists(saved));
    EXPECT_FALSE(form.Modified);
    EXPECT_EQ(form.StatusText(0), "Saved lake.gpx: " + std::to_string(form.GPXdata.trk.Count()) +
                                      " tracks, " + support::GroupThousands(loaded - 1) +
                                      " points");

    // F1 and "Help": the first user guide found.
    Key(Qt::Key_F1, Qt::NoModifier);
    QTest::mouseClick(form.btnHelp, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], opened[1]);
    EXPECT_TRUE(opened[0].toLocalFile().endsWith("/USER_GUIDE.md"));
    EXPECT_TRUE(fs::is_regular_file(opened[0].toLocalFile().toStdString()));
    form.OpenUrl = [](const QUrl &) { return false; }; // no program to show it
    Key(Qt::Key_F1, Qt::NoModifier);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, support::BoxKind::Warning);
    EXPECT_NE(dialogs.shown[0].text.find("USER_GUIDE.md"), std::string::npos);

    // The tooltips name the keys.
    EXPECT_TRUE(form.btnAddFiles->toolTip().endsWith(" (Ctrl+O)"));
    EXPECT_TRUE(form.btnTrkSaveGPX->toolTip().endsWith(" (Ctrl+S)"));
    EXPECT_TRUE(form.btnHelp->toolTip().endsWith(" (F1)"));
    EXPECT_EQ(edit.btnAddFiles->toolTip(), form.btnAddFiles->toolTip());

    // Ctrl+Q: asks about unsaved work; No keeps the window, Yes closes it.
    form.Modified = true;
    dialogs.yesNoAnswers = {false, true};
    Key(Qt::Key_Q);
    EXPECT_TRUE(form.isVisible());
    Key(Qt::Key_Q);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(dialogs.questions.size(), 2u);
}

TEST_F(Desktop, ShortcutsWaitForARunAndForAnEnabledButton) {
    dialogs.saveAnswers = {dir.Path("early.gpx")};
    Key(Qt::Key_S); // nothing to save yet: the button is disabled
    EXPECT_EQ(dialogs.saveAnswers.size(), 1u);
    Key(Qt::Key_Z); // nothing to undo
    EXPECT_TRUE(dialogs.shown.empty());

    ASSERT_NO_FATAL_FAILURE(LoadLake());
    model::TEdit removal("Deleted 1 sample");
    removal.Remove(*form.GPXdata.trk[1]->Get(0), 0);
    form.ApplyEdit(std::move(removal));
    const std::int64_t points = Points();
    form.btnActionInterpolateClick();
    QApplication::processEvents();
    form.btnInterpolateClick();
    ASSERT_TRUE(form.Interpolating());
    dialogs.openAnswers = {{kShoreline}};
    dialogs.saveAnswers = {dir.Path("during.gpx")};
    for (Qt::Key key : {Qt::Key_O, Qt::Key_S, Qt::Key_Z, Qt::Key_Y}) {
        QTest::keyClick(&form, key, Qt::ControlModifier); // no event loop: the run goes on
        ASSERT_TRUE(form.Interpolating());
    }
    QElapsedTimer timer;
    timer.start();
    while (form.Interpolating() && timer.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_FALSE(form.Interpolating());
    EXPECT_EQ(Points(), points);
    EXPECT_TRUE(form.History.CanUndo());
    EXPECT_EQ(dialogs.openAnswers.size(), 1u);
    EXPECT_FALSE(fs::exists(dir.Path("during.gpx")));
    EXPECT_TRUE(form.InterpLoaded);
}

TEST_F(Desktop, DroppedFilesAreAddedAsAddFilesAddsThem) {
    // Only local files are taken; a web link, alone or among files, is refused whole. (Qt
    // delivers a drop only where the drag's entry was accepted.)
    const QList<QUrl> lake = {QUrl::fromLocalFile(QString::fromStdString(kShoreline)),
                              QUrl::fromLocalFile(QString::fromStdString(kSoundings))};
    for (const QList<QUrl> &refused :
         {QList<QUrl>{QUrl("https://example.org/lake.gpx")},
          QList<QUrl>{lake[0], QUrl("https://example.org/lake.gpx")}, QList<QUrl>{}}) {
        auto data = Urls(refused);
        QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, data.get(), Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&form, &enter);
        EXPECT_FALSE(enter.isAccepted());
        QDropEvent drop(QPointF(300, 300), Qt::CopyAction, data.get(), Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(&form, &drop);
        QApplication::processEvents();
        EXPECT_FALSE(form.FileLoaded);
    }

    auto data = Urls(lake);
    QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, data.get(), Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    EXPECT_TRUE(drop.isAccepted());
    QApplication::processEvents();
    ASSERT_TRUE(form.FileLoaded);
    model::TGPX expected;
    depth::TProjectLoader loader(expected, nullptr);
    for (const std::string &f : {kShoreline, kSoundings})
        ASSERT_EQ(loader.LoadFile(f), 0);
    EXPECT_EQ(form.GPXdata.trk.Count(), expected.trk.Count());
    EXPECT_EQ(Points(), depth::CountPoints(expected, 0));
    EXPECT_TRUE(form.btnInterpolate->isEnabled());
    EXPECT_TRUE(dialogs.shown.empty());

    // The loaders' questions and errors are those of "Add Files...".
    const std::string missing = dir.Path("missing.gpx");
    const std::string text = dir.File("notes.doc", "hello");
    form.cbAddOffset->setChecked(true);
    dialogs.inputAnswers = {std::string("25")};
    auto more = Urls({QUrl::fromLocalFile(QString::fromStdString(missing)),
                      QUrl::fromLocalFile(QString::fromStdString(text)), lake[0]});
    QDragEnterEvent again(QPoint(300, 300), Qt::CopyAction, more.get(), Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(&form, &again);
    EXPECT_TRUE(again.isAccepted());
    QDropEvent second(QPointF(300, 300), Qt::CopyAction, more.get(), Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&form, &second);
    QApplication::processEvents();
    EXPECT_FALSE(dialogs.prompts.empty());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Error while loading file.\n" + missing +
                                         ": file not found\nFile extension not supported: " + text);
    model::TGPX shoreline;
    depth::TProjectLoader shoreLoader(shoreline, nullptr);
    ASSERT_EQ(shoreLoader.LoadFile(kShoreline), 0);
    EXPECT_EQ(form.GPXdata.trk.Count(),
              expected.trk.Count() + shoreline.trk.Count()); // the shoreline again
}

TEST_F(Desktop, TheWheelZoomsAboutThePointerAndLeavesTheChartAlone) {
    ASSERT_NO_FATAL_FAILURE(LoadLake());
    ASSERT_NO_FATAL_FAILURE(Interpolate());
    form.btnIsoMapClick();
    const std::vector<float> grid = form.InterpResultArray.Cells();
    const auto contours = Vertices(form.IsoData);
    const model::TBBox frame = form.ChartFrame.BBox;
    ASSERT_GT(contours.size(), 100u);

    // In, in, out, at points off the centre: the position under the pointer stays there.
    form.PageControl->setCurrentWidget(form.TabProject);
    QApplication::processEvents();
    const struct {
        QPoint at;
        int notches;
    } turns[] = {{{120, 90}, 1}, {{400, 300}, 2}, {{37, 411}, -1}};
    for (const auto &turn : turns) {
        mapview::TGPXDraw &view = form.GPXView;
        const double lo = view.XToLo(turn.at.x()), la = view.YToLa(turn.at.y()), rm = view.BBox.Rm;
        Wheel(form.GPXImage, turn.at, turn.notches);
        EXPECT_NEAR(view.BBox.Rm, rm * std::pow(1 / 0.85, turn.notches), 1e-9 * rm);
        EXPECT_NEAR(view.LoToX(lo), turn.at.x(), 1);
        EXPECT_NEAR(view.LaToY(la), turn.at.y(), 1);
    }
    // The chart keeps the grid and the frame of its run; contours traced again match.
    const std::vector<float> &after = form.InterpResultArray.Cells();
    ASSERT_EQ(after.size(), grid.size());
    EXPECT_EQ(std::memcmp(after.data(), grid.data(), grid.size() * sizeof(float)), 0);
    EXPECT_EQ(form.ChartFrame.BBox.O, frame.O);
    EXPECT_EQ(form.ChartFrame.BBox.Rm, frame.Rm);
    EXPECT_TRUE(form.InterpLoaded);
    EXPECT_TRUE(Vertices(form.IsoData) == contours);

    // The contour map zooms the same way; its contours stay what they are.
    form.PageControl->setCurrentWidget(form.TabHTBuilder);
    QApplication::processEvents();
    const QPoint at(200, 150);
    const double lo = form.IsoView.XToLo(at.x()), la = form.IsoView.YToLa(at.y());
    const double rm = form.IsoView.BBox.Rm;
    Wheel(form.IsoImage, at, 3);
    EXPECT_GT(form.IsoView.BBox.Rm, rm * 1.6);
    EXPECT_NEAR(form.IsoView.LoToX(lo), at.x(), 1);
    EXPECT_NEAR(form.IsoView.LaToY(la), at.y(), 1);
    form.btnIsoMapClick();
    EXPECT_TRUE(Vertices(form.IsoData) == contours);
}

TEST_F(Desktop, SavesSayWhatWasWritten) {
    ASSERT_NO_FATAL_FAILURE(LoadLake());
    ASSERT_NO_FATAL_FAILURE(Interpolate());
    form.btnIsoMapClick();
    dialogs.saveAnswers = {dir.Path("contours.gpx")};
    form.btnIsoSaveGPXClick();
    ASSERT_TRUE(fs::exists(dir.Path("contours.gpx")));
    EXPECT_EQ(form.StatusText(0),
              "Saved contours.gpx: " + std::to_string(form.IsoData.trk.Count()) + " tracks, " +
                  support::GroupThousands(depth::CountPoints(form.IsoData, 0)) + " points");
    dialogs.saveAnswers = {dir.Path("chart.bmp")};
    form.SaveImage(form.InterpolatedImage->Control.Bitmap);
    ASSERT_TRUE(fs::exists(dir.Path("chart.bmp")));
    const QImage &image = form.InterpolatedImage->Control.Bitmap;
    EXPECT_EQ(form.StatusText(0), "Saved chart.bmp: " + std::to_string(image.width()) + " x " +
                                      std::to_string(image.height()) + " pixels");
    dialogs.saveAnswers = {dir.Path("000.ht"), dir.Path("001.ht")};
    form.btnCreateHTClick();
    ASSERT_TRUE(fs::exists(dir.Path("000.ht")));
    EXPECT_EQ(form.StatusText(0).rfind("Saved 000.ht", 0), 0u) << form.StatusText(0);

    const std::pair<std::vector<std::string>, const char *> ht[] = {
        {{"/a/000.ht"}, "Saved 000.ht: 1,234 points"},
        {{"/a/000.ht", "/a/001.ht", "/b/002.ht"}, "Saved 000.ht, 001.ht, 002.ht: 1,234 points"},
        {{"/a/000.ht", "/a/001.ht", "/a/002.ht", "/a/003.ht"},
         "Saved 4 HT files (000.ht to 003.ht): 1,234 points"},
        {{}, ""}};
    for (const auto &[paths, text] : ht)
        EXPECT_EQ(TForm1::SavedHTText(paths, 1234), text);
    model::TGPX one;
    one.trk.Add(std::make_unique<model::TGPXtrk>());
    auto seg = std::make_unique<model::TGPXtrkseg>();
    seg->Add(std::make_unique<model::TGPXwpt>());
    one.trk.First()->Add(std::move(seg));
    EXPECT_EQ(TForm1::SavedText("/x/one.gpx", one), "Saved one.gpx: 1 track, 1 point");
}

TEST(FileDialogs, EachKindStartsInTheFolderLastUsedForIt) {
    const std::array<std::string, 4> kinds[] = {
        {"Open project...", depth::OpenFilter(), "", "projects"},
        {"Save current project...", "GPX file|*.gpx", "gpx", "projects"},
        {"Save iso tracks to GPX", "GPX file|*.gpx", "gpx", "contours"},
        {"Save ISO Lines as HT Track", "HT-Track|*.ht", "ht", "HT files"},
        {"Save image", "Bitmap Image|*.bmp|JPEG Image|*.jpg", "bmp", "images"},
        {"Open color model...", "Color Model|*.cmt", "", "color models"},
        {"Save color model...", "Color Model|*.cmt", "cmt", "color models"},
        {"Export", "Text|*.txt", "txt", "Text|*.txt"}, // any other kind by its filter
    };
    for (const auto &k : kinds)
        EXPECT_EQ(app::TQtDialogs::KindOf(k[0], k[1], k[2]), k[3]) << k[0];

    TempDir dir;
    for (const char *sub : {"a", "b", "c"})
        fs::create_directories(dir.Path(sub));
    const QString here = QDir::currentPath();
    auto Q = [&](const std::string &p) { return QDir(QString::fromStdString(p)).absolutePath(); };
    app::TQtDialogs dialogs(nullptr);
    std::vector<QString> started, proposed;
    std::deque<QStringList> answers;
    dialogs.RunFileDialog = [&](QFileDialog &d) {
        started.push_back(d.directory().absolutePath());
        proposed.push_back(d.selectedFiles().value(0));
        QStringList a = answers.front();
        answers.pop_front();
        return a;
    };
    auto saveProject = [&] {
        return dialogs.SaveFile("Save current project...", "GPX file|*.gpx", "gpx");
    };
    answers = {{Q(dir.Path("a")) + "/one.gpx"}, {Q(dir.Path("a")) + "/two.gpx"}, {}};
    EXPECT_EQ(saveProject(), Q(dir.Path("a")).toStdString() + "/one.gpx");
    EXPECT_TRUE(saveProject());
    EXPECT_TRUE(dialogs.OpenFiles("Open project...", depth::OpenFilter()).empty()); // cancelled
    ASSERT_EQ(started.size(), 3u);
    EXPECT_EQ(started[0], here);
    EXPECT_EQ(started[1], Q(dir.Path("a"))); // the second save starts in the first one's folder
    EXPECT_EQ(started[2], Q(dir.Path("a"))); // opening a project too

    // Another kind keeps its own folder; a cancelled dialog changes none.
    answers = {{Q(dir.Path("b")) + "/chart.bmp"}, {}, {}};
    dialogs.SaveFile("Save image", "Bitmap Image|*.bmp|JPEG Image|*.jpg", "bmp");
    dialogs.SaveFile("Save image", "Bitmap Image|*.bmp|JPEG Image|*.jpg", "bmp");
    dialogs.SaveFile("Save current project...", "GPX file|*.gpx", "gpx");
    EXPECT_EQ(started[3], here);
    EXPECT_EQ(started[4], Q(dir.Path("b")));
    EXPECT_EQ(started[5], Q(dir.Path("a")));

    // HT files: a bare proposed name in the kind's folder, one with a folder there.
    answers = {{Q(dir.Path("c")) + "/000.ht"}, {}, {}};
    dialogs.SaveFileProposing("Save ISO Lines as HT Track", "HT-Track|*.ht", "ht", "000.ht");
    dialogs.SaveFileProposing("Save ISO Lines as HT Track", "HT-Track|*.ht", "ht", "001.ht");
    dialogs.SaveFileProposing("Save ISO Lines as HT Track", "HT-Track|*.ht", "ht",
                              dir.Path("b") + "/002.ht");
    EXPECT_EQ(started[6], here);
    EXPECT_EQ(started[7], Q(dir.Path("c")));
    EXPECT_TRUE(proposed[7].endsWith("/001.ht"));
    EXPECT_EQ(started[8], Q(dir.Path("b")));
    EXPECT_EQ(dialogs.StartFolder("HT files"), Q(dir.Path("c")));
    EXPECT_EQ(dialogs.StartFolder("color models"), here);
}
