// The colour model editor, the status bar's gradient strip, the "Change Save Order"
// dialog and the file save dialog, driven through their controls with scripted dialogs.
#include "app/ChangeSaveOrder.h"
#include "app/ColorModelEditor.h"
#include "app/GradientPanel.h"
#include "app/QtDialogs.h"
#include "depth/ColorModel.h"
#include "depth/ContourExport.h"
#include "support/Dialogs.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using depth::TColor32;
using support::BoxKind;
using support::ScriptedDialogs;

namespace {

constexpr TColor32 Lime = 0xFF00FF00, Yellow = 0xFFFFFF00, Blue = 0xFF0000FF;

template <class T> T *Child(const QObject &parent, const char *name) {
    if (auto *w = parent.findChild<T *>(name))
        return w;
    throw std::runtime_error(std::string("no control ") + name);
}

void Click(const QObject &parent, const char *button) {
    Child<QPushButton>(parent, button)->click();
}

QString Caption(const QObject &parent, const char *name) {
    const QObject *o = Child<QObject>(parent, name);
    if (auto *b = qobject_cast<const QPushButton *>(o))
        return b->text();
    if (auto *l = qobject_cast<const QLabel *>(o))
        return l->text();
    if (auto *g = qobject_cast<const QGroupBox *>(o))
        return g->title();
    throw std::runtime_error(std::string("no caption on ") + name);
}

// Every channel of `c` within `tolerance` of `expected`'s: the columns just inside the
// preview's frame lie one table step from the ends.
bool Near(QRgb c, TColor32 expected) {
    constexpr int tolerance = 3;
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(int(c >> shift & 0xFF) - int(expected >> shift & 0xFF)) > tolerance)
            return false;
    return true;
}

QStringList Items(const QListWidget *list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// ---------------------------------------------------------------------------------------
// Colour model editor

struct ColorModelEditor : ::testing::Test {
    ScriptedDialogs dialogs;
    app::TColorModelEditorForm form{dialogs};

    QPlainTextEdit *memo() const { return Child<QPlainTextEdit>(form, "memColors"); }
    QListWidget *colors() const { return Child<QListWidget>(form, "lbColors"); }
    QString Text() const { return memo()->toPlainText(); }
    void Select(const char *name) const {
        const auto found = colors()->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        colors()->setCurrentItem(found.front(), QItemSelectionModel::ClearAndSelect);
    }
    QImage Preview() const {
        return Child<QLabel>(form, "PreviewImage")
            ->pixmap()
            .toImage()
            .convertToFormat(QImage::Format_ARGB32);
    }
};

TEST_F(ColorModelEditor, StartsWithTheDefaultModelAndEveryNamedColour) {
    EXPECT_EQ(form.windowTitle(), "Color Editor");
    EXPECT_FALSE(form.isModal());
    const std::vector<std::pair<const char *, const char *>> captions = {
        {"Label3", "Color Model Editor"},
        {"Label4", "Color Selector"},
        {"btnAdd", "<< Add"},
        {"btnDefault", "Default"},
        {"btnSave", "Save..."},
        {"btnLoad", "Load..."},
        {"btnOK", "OK"},
        {"GroupBox1", "Preview"},
        {"Label1", "0%"},
        {"Label2", "100%"}};
    for (const auto &[name, text] : captions)
        EXPECT_EQ(Caption(form, name), text) << name;

    EXPECT_EQ(Text(), "0% Lime\n50% Yellow\n100% Blue");
    EXPECT_EQ(form.FGradient.ColorAt(0.f), Lime);
    EXPECT_EQ(form.FGradient.ColorAt(0.5f), Yellow);
    EXPECT_EQ(form.FGradient.ColorAt(1.f), Blue);
    ASSERT_EQ(form.FGradientLUT.Size(), 512u);
    EXPECT_EQ(form.FGradientLUT[0], Lime);
    EXPECT_EQ(form.FGradientLUT[511], Blue);

    // The list in table order, each entry on its own colour with its name in black on light
    // colours and in white on dark ones, so that "Black" is not blank.
    QListWidget *list = colors();
    ASSERT_EQ(list->count(), 148);
    EXPECT_EQ(list->item(0)->text(), "Black");
    EXPECT_EQ(list->item(23)->text(), "BlancheDalmond");
    EXPECT_EQ(list->item(147)->text(), "YellowGreen");
    EXPECT_EQ(list->item(12)->background().color().rgba(), Lime);
    EXPECT_EQ(list->item(12)->foreground().color().rgba(), 0xFF000000u);
    EXPECT_EQ(list->item(0)->foreground().color().rgba(), 0xFFFFFFFFu);
    list->resize(200, 300);
    const QImage shot = list->viewport()->grab().toImage();
    const QRect black = list->visualItemRect(list->item(0));
    int whitePixels = 0;
    for (int y = black.top() + 2; y < black.bottom() - 1; ++y)
        for (int x = black.left() + 3; x < black.right(); ++x)
            whitePixels += shot.pixel(x, y) == 0xFFFFFFFFu;
    EXPECT_GT(whitePixels, 5) << "the name on the black entry is drawn in white";

    // The preview runs lime to blue inside a black frame.
    const QImage preview = Preview();
    const int mid = preview.height() / 2, right = preview.width() - 1;
    EXPECT_EQ(preview.pixel(0, mid), 0xFF000000u);
    EXPECT_EQ(preview.pixel(right, mid), 0xFF000000u);
    EXPECT_PRED2(Near, preview.pixel(1, mid), Lime);
    EXPECT_PRED2(Near, preview.pixel(right / 2, mid), Yellow);
    EXPECT_PRED2(Near, preview.pixel(right - 1, mid), Blue);
}

TEST_F(ColorModelEditor, AddAppendsTheSelectedColourAtTheClampedOffset) {
    struct Case {
        const char *colour;                // nullptr: nothing selected
        std::optional<std::string> answer; // nullopt: the box is cancelled
        const char *added;                 // nullptr: the memo stays as it was
    };
    const Case cases[] = {
        {nullptr, "50", nullptr}, {"Navy", std::nullopt, "0% Navy"}, {"Red", "150", "100% Red"},
        {"Red", "-5", "0% Red"},  {"Red", " 75", "75% Red"},         {"Red", "abc", nullptr},
        {"Red", "", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.answer.value_or("<cancel>"));
        dialogs = ScriptedDialogs();
        form.SetDefaultModel();
        colors()->clearSelection();
        if (c.colour)
            Select(c.colour);
        dialogs.inputAnswers.push_back(c.answer);

        Click(form, "btnAdd");

        if (!c.colour) {
            EXPECT_TRUE(dialogs.prompts.empty()); // not even asked
        } else {
            EXPECT_EQ(dialogs.prompts, std::vector<std::string>{"Enter Color Offset (0..100)"});
        }
        if (c.added) {
            EXPECT_EQ(Text(), QString("0% Lime\n50% Yellow\n100% Blue\n") + c.added);
            EXPECT_EQ(form.FGradient.GradientCount(), 4u); // the model followed the memo
            EXPECT_TRUE(dialogs.shown.empty());
        } else {
            EXPECT_EQ(Text(), "0% Lime\n50% Yellow\n100% Blue");
            EXPECT_EQ(form.FGradient.GradientCount(), 3u);
        }
        if (c.colour && !c.added) {
            ASSERT_EQ(dialogs.shown.size(), 1u);
            EXPECT_EQ(dialogs.shown[0].kind, BoxKind::Error);
            EXPECT_EQ(dialogs.shown[0].text, "'" + *c.answer + "' is not a valid integer value");
        }
    }
}

TEST_F(ColorModelEditor, AddAfterAFinalLineBreakLeavesNoBlankLine) {
    memo()->setPlainText("0% Lime\n");
    Select("Navy");
    dialogs.inputAnswers.push_back("100");
    Click(form, "btnAdd");
    EXPECT_EQ(Text(), "0% Lime\n100% Navy");
}

TEST_F(ColorModelEditor, EditsRebuildTheModelAndDefaultRestoresIt) {
    memo()->setPlainText("0% Red\n100% $FF0000FF");
    EXPECT_EQ(form.FGradient.ColorAt(0.f), 0xFFFF0000u);
    EXPECT_EQ(form.FGradientLUT[511], Blue);

    // An empty memo: no stops, so every colour is 0x00000000 and the preview shows only
    // its white background inside the frame.
    memo()->clear();
    EXPECT_EQ(form.FGradient.GradientCount(), 0u);
    for (float t : {0.f, 0.5f, 1.f})
        EXPECT_EQ(form.FGradient.ColorAt(t), 0x00000000u) << t;
    for (std::size_t i = 0; i < form.FGradientLUT.Size(); ++i)
        ASSERT_EQ(form.FGradientLUT[i], 0x00000000u) << i;
    const QImage preview = Preview();
    EXPECT_EQ(preview.pixel(preview.width() / 2, preview.height() / 2), 0xFFFFFFFFu);
    EXPECT_EQ(preview.pixel(0, 0), 0xFF000000u);

    Click(form, "btnDefault");
    EXPECT_EQ(Text(), "0% Lime\n50% Yellow\n100% Blue");
    EXPECT_EQ(form.FGradient.ColorAt(0.5f), Yellow);
    EXPECT_PRED2(Near, Preview().pixel(1, preview.height() / 2), Lime);
}

TEST_F(ColorModelEditor, SaveAndLoadRoundTripThroughCmtFiles) {
    testutil::TempDir dir;
    const std::string path = dir.Path("model.cmt");
    memo()->setPlainText("10% Navy\n90% $FF00FF00\nshallow end");

    dialogs.saveAnswers.push_back(std::nullopt); // cancelled: nothing written
    Click(form, "btnSave");
    EXPECT_EQ(dir.Entries(), 0u);

    dialogs.saveAnswers.push_back(path);
    Click(form, "btnSave");
    EXPECT_TRUE(dialogs.questions.empty()); // a new file is not asked about
    EXPECT_EQ(testutil::ReadBytes(path), "10% Navy\r\n90% $FF00FF00\r\nshallow end\r\n");

    // An existing file is replaced only after a Yes.
    Click(form, "btnDefault");
    dialogs.saveAnswers.push_back(path);
    dialogs.yesNoAnswers.push_back(false);
    Click(form, "btnSave");
    EXPECT_EQ(dialogs.questions, std::vector<std::string>{"Overwrite " + path + " ?"});
    EXPECT_EQ(testutil::ReadBytes(path), "10% Navy\r\n90% $FF00FF00\r\nshallow end\r\n");

    dialogs.openAnswers.push_back({path});
    Click(form, "btnLoad");
    EXPECT_EQ(Text(), "10% Navy\n90% $FF00FF00\nshallow end");
    EXPECT_EQ(form.FGradient.GradientCount(), 2u);
    EXPECT_EQ(form.FGradient.ColorAt(0.f), 0xFF00007Fu);

    Click(form, "btnDefault");
    dialogs.saveAnswers.push_back(path);
    dialogs.yesNoAnswers.push_back(true);
    Click(form, "btnSave");
    EXPECT_EQ(testutil::ReadBytes(path), "0% Lime\r\n50% Yellow\r\n100% Blue\r\n");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ColorModelEditor, FileErrorsAreShownAndTheMemoKeepsItsLines) {
    testutil::TempDir dir;
    memo()->setPlainText("0% Red");

    dialogs.openAnswers.push_back({dir.Path("missing.cmt")});
    Click(form, "btnLoad");
    dialogs.saveAnswers.push_back(dir.Path("no-such-folder/model.cmt"));
    Click(form, "btnSave");

    ASSERT_EQ(dialogs.shown.size(), 2u);
    for (const auto &box : dialogs.shown) {
        EXPECT_EQ(box.kind, BoxKind::Error);
        EXPECT_FALSE(box.text.empty());
    }
    EXPECT_EQ(Text(), "0% Red");
    EXPECT_EQ(form.FGradient.ColorAt(0.5f), 0xFFFF0000u);
}

TEST_F(ColorModelEditor, OKHidesTheEditorAndCallsOnOK) {
    form.show();
    int calls = 0;
    bool hiddenFirst = false;
    form.OnOK = [&] {
        ++calls;
        hiddenFirst = !form.isVisible();
    };
    Click(form, "btnOK");
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(hiddenFirst);

    form.OnOK = nullptr; // unset, OK only hides
    form.show();
    Click(form, "btnOK");
    EXPECT_FALSE(form.isVisible());
}

// ---------------------------------------------------------------------------------------
// Gradient strip of the status bar

TEST(GradientPanel, PaintsTheModelFromZeroAtTheLeftToOneAtTheRight) {
    depth::TColor32Gradient gradient;
    depth::StrToArrayColor32Gradient(depth::DefaultColorModel(), gradient);
    app::TGradientPanel panel;
    panel.setFixedSize(150, 20);
    panel.SetGradient(&gradient);

    QImage strip = panel.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(strip.width(), 150);
    for (int y : {0, 10, 19}) {
        EXPECT_EQ(strip.pixel(0, y), Lime) << y;
        EXPECT_EQ(strip.pixel(75, y), Yellow) << y;
        // Column x shows offset x / width, so the last column falls just short of blue.
        EXPECT_EQ(strip.pixel(149, y), gradient.ColorAt(149.f / 150.f)) << y;
    }
    EXPECT_NE(strip.pixel(149, 10), Blue);

    // Drawn opaque: a model without stops gives black, not the bar behind it.
    depth::TColor32Gradient empty;
    panel.SetGradient(&empty);
    strip = panel.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(strip.pixel(0, 10), 0xFF000000u);
    EXPECT_EQ(strip.pixel(149, 10), 0xFF000000u);
}

TEST(GradientPanel, LeftClickCallsOnClick) {
    app::TGradientPanel panel;
    panel.resize(150, 20);
    panel.show();
    int clicks = 0;
    panel.OnClick = [&] { ++clicks; };
    QTest::mouseClick(&panel, Qt::RightButton);
    EXPECT_EQ(clicks, 0);
    QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks, 1);
}

TEST(GradientPanel, PanelAtPicksTheFirstPanelEndingBeyondTheClick) {
    // The main window's panels: Properties, (hidden), min, Gradient, max, Coord.
    const std::vector<int> widths = {490, 0, 30, 150, 100, 150};
    const std::pair<int, int> cases[] = {
        {-3, 0},  {0, 0},   {489, 0}, {490, 2}, {519, 2}, {520, 3},  {669, 3},
        {670, 4}, {769, 4}, {770, 5}, {919, 5}, {920, 5}, {5000, 5}, // right of all panels: the
                                                                     // last one
    };
    for (const auto &[x, panel] : cases)
        EXPECT_EQ(app::TGradientPanel::PanelAt(widths, x), panel) << x;
    EXPECT_EQ(app::TGradientPanel::PanelAt({}, 10), -1);
}

// ---------------------------------------------------------------------------------------
// "Change Save Order"

const std::string Marker = "### New File ###";

struct SaveOrderDialog : ::testing::Test {
    depth::TChangeSaveOrder order;
    std::optional<app::TChangeSaveOrderForm> form;

    void SetUp() override {
        for (const char *name : {"Shoreline", "ISO 100 cm", "ISO 200 cm"})
            order.Items.push_back(name);
        form.emplace(order);
    }
    QListWidget *list() const { return Child<QListWidget>(*form, "lbTracks"); }
    // The list box must show exactly the object's list and selection.
    void ExpectMirrored(const std::vector<std::string> &items, int selected) const {
        EXPECT_EQ(order.Items, items);
        EXPECT_EQ(order.ItemIndex, selected);
        QStringList shown;
        for (const std::string &s : items)
            shown << QString::fromStdString(s);
        EXPECT_EQ(Items(list()), shown);
        const auto sel = list()->selectedItems();
        EXPECT_EQ(sel.isEmpty() ? -1 : list()->row(sel.front()), selected);
    }
};

TEST_F(SaveOrderDialog, CaptionsAndStartList) {
    EXPECT_EQ(form->windowTitle(), "Change Save Order");
    const std::vector<std::pair<const char *, const char *>> captions = {
        {"Label1", "Available Datasets"},
        {"btnOK", "OK"},
        {"btnUp", "Move Up"},
        {"btnDown", "Move Down"},
        {"btnAddFile", "Add New File"},
        {"btnRemove", "Remove"}};
    for (const auto &[name, text] : captions)
        EXPECT_EQ(Caption(*form, name), text) << name;
    ExpectMirrored({Marker, "Shoreline", "ISO 100 cm", "ISO 200 cm"}, -1);
}

TEST_F(SaveOrderDialog, ButtonsEditTheListAndTheBoxFollows) {
    list()->setCurrentRow(3); // the user picks "ISO 200 cm"
    ASSERT_EQ(order.ItemIndex, 3);

    Click(*form, "btnUp");
    ExpectMirrored({Marker, "Shoreline", "ISO 200 cm", "ISO 100 cm"}, 2);

    list()->setCurrentRow(3);
    Click(*form, "btnDown"); // already last
    ExpectMirrored({Marker, "Shoreline", "ISO 200 cm", "ISO 100 cm"}, 3);

    Click(*form, "btnAddFile"); // before the selection, which stays on its entry
    ExpectMirrored({Marker, "Shoreline", "ISO 200 cm", Marker, "ISO 100 cm"}, 4);

    Click(*form, "btnRemove");
    ExpectMirrored({Marker, "Shoreline", "ISO 200 cm", Marker}, -1);
    Click(*form, "btnRemove"); // nothing selected
    Click(*form, "btnUp");
    ExpectMirrored({Marker, "Shoreline", "ISO 200 cm", Marker}, -1);

    Click(*form, "btnAddFile"); // nothing selected: at the end
    ExpectMirrored({Marker, "Shoreline", "ISO 200 cm", Marker, Marker}, -1);

    list()->setCurrentRow(0);
    Click(*form, "btnUp"); // already first
    ExpectMirrored({Marker, "Shoreline", "ISO 200 cm", Marker, Marker}, 0);
    list()->clearSelection(); // deselected by the user: the object follows
    EXPECT_EQ(order.ItemIndex, -1);
}

TEST_F(SaveOrderDialog, OKCleansTheListAndEndsExec) {
    order.Items = {"A", Marker, Marker, "B", Marker};
    form->FillList();
    QTimer::singleShot(0, [this] { Click(*form, "btnOK"); });
    EXPECT_EQ(form->exec(), QDialog::Accepted);
    ExpectMirrored({"A", Marker, "B"}, -1);
}

// The save dialog proposing a name: the HT export proposes 000.ht alone, and every later
// file in the folder chosen for the one before.
TEST(QtSaveDialog, StartsInTheFolderOfTheProposedName) {
    testutil::TempDir dir;
    app::TQtDialogs dialogs(nullptr);
    struct Seen {
        QString folder, selected;
    };
    auto open = [&](const std::string &proposed) {
        Seen seen;
        bool closed = false;
        QTimer poll; // the dialog shows once its own event loop runs
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *d = qobject_cast<QFileDialog *>(w); d && d->isVisible() && !closed) {
                    seen.folder = QFileInfo(d->directory().absolutePath()).canonicalFilePath();
                    if (!d->selectedFiles().isEmpty())
                        seen.selected = QFileInfo(d->selectedFiles().front()).fileName();
                    closed = true;
                    d->reject();
                }
        });
        poll.start(10);
        EXPECT_FALSE(dialogs.SaveFileProposing("Save ISO Lines as HT Track", "HT-Track|*.ht", "ht",
                                               proposed));
        return seen;
    };
    const QString folder = QFileInfo(QString::fromStdString(dir.path.string())).canonicalFilePath();
    const Seen later = open(dir.Path("001.ht"));
    EXPECT_EQ(later.folder, folder);
    EXPECT_EQ(later.selected, "001.ht");
    const Seen first = open("000.ht");
    EXPECT_EQ(first.folder, QFileInfo(QDir::currentPath()).canonicalFilePath());
    EXPECT_EQ(first.selected, "000.ht");
}

} // namespace
