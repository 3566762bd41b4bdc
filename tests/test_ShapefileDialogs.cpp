// The shapefile import dialogs driven through their controls, as the user would.
#include "app/ImportCoordinates.h"
#include "app/JoinDBF.h"
#include "formats/ShapefileImport.h"
#include "formats/shapefile.h"
#include "support/Dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using formats::TDBFDatabaseFields;
using formats::TPolyLine;
using formats::TPunktXY;
using formats::TShapefile;
using support::BoxKind;
using support::ScriptedDialogs;

namespace {

template <class T> T *Child(const QObject &parent, const char *name) {
    if (auto *w = parent.findChild<T *>(name))
        return w;
    throw std::runtime_error(std::string("no control ") + name);
}

QRadioButton *Radio(const QObject &parent, const char *group, const char *text) {
    for (auto *b : Child<QGroupBox>(parent, group)->findChildren<QRadioButton *>())
        if (b->text() == text)
            return b;
    throw std::runtime_error(std::string("no item ") + text + " in " + group);
}

void SetText(const QObject &parent, const char *name, const char *text) {
    auto *edit = Child<QLineEdit>(parent, name);
    edit->clear();
    QTest::keyClicks(edit, text); // typed, so the validator has its say
}

QStringList Lines(const QPlainTextEdit *memo) {
    return memo->toPlainText().isEmpty() ? QStringList() : memo->toPlainText().split('\n');
}

// Owns the shapefile the dialogs edit.
struct Shapefile {
    TShapefile shp;

    void AddPolyline(std::vector<TPunktXY> points) {
        TPolyLine line;
        line.ShapeType = 3;
        line.NumParts = 1;
        line.NumPoints = static_cast<std::int32_t>(points.size());
        line.Parts = {0};
        line.Points = std::move(points);
        shp.PolyLinien.push_back(std::move(line));
    }
    void AddPolylines(std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            AddPolyline({{double(i), double(i)}});
    }
    void AddField(const std::string &name, std::vector<std::string> values) {
        TDBFDatabaseFields f;
        f.Name = name;
        f.FieldType = 'N';
        f.FieldLength = 10;
        f.Data = std::move(values);
        shp.DatabaseFields.push_back(std::move(f));
    }
    std::vector<std::int32_t> Depths() const {
        std::vector<std::int32_t> out;
        for (const TPolyLine &l : shp.PolyLinien)
            out.push_back(l.Depth);
        return out;
    }
};

bool SamePoints(const std::vector<TPolyLine> &a, const std::vector<TPolyLine> &b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].Points.size() != b[i].Points.size())
            return false;
        for (std::size_t j = 0; j < a[i].Points.size(); ++j)
            if (a[i].Points[j].X != b[i].Points[j].X || a[i].Points[j].Y != b[i].Points[j].Y)
                return false;
    }
    return true;
}

// ---- Import Coordinates ----

class ImportCoordinatesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        file.AddPolyline({{500000, 5000000}, {510000, 5010000}});
        file.AddPolyline({{490000, 4990000}});
        dlg.show();
    }
    void Ok() { Child<QPushButton>(dlg, "btnOK")->click(); }

    Shapefile file;
    ScriptedDialogs dialogs;
    app::TImportCoordinatesForm dlg{file.shp, dialogs};
};

TEST_F(ImportCoordinatesTest, OpensWithItsCaptionsAndDefaults) {
    EXPECT_EQ(dlg.windowTitle(), "Import Coordinates");
    EXPECT_EQ(Child<QGroupBox>(dlg, "CoordinatesFormat")->title(), "Coordinates Format");
    EXPECT_TRUE(Radio(dlg, "CoordinatesFormat", "Degrees WGS84")->isChecked());
    EXPECT_FALSE(Radio(dlg, "CoordinatesFormat", "UTM")->isChecked());
    EXPECT_EQ(Child<QGroupBox>(dlg, "UTMOptions")->title(), "UTM Import Options");
    EXPECT_EQ(Child<QLineEdit>(dlg, "UTMOptionsXOffset")->text(), "-500000");
    EXPECT_EQ(Child<QLineEdit>(dlg, "UTMOptionsYOffset")->text(), "0");
    EXPECT_EQ(Child<QLineEdit>(dlg, "UTMOptionsZone")->text(), "33");
    EXPECT_EQ(Child<QGroupBox>(dlg, "UTMOptionsHemisphere")->title(), "Hemisphere");
    EXPECT_TRUE(Radio(dlg, "UTMOptionsHemisphere", "North")->isChecked());
    EXPECT_FALSE(Radio(dlg, "UTMOptionsHemisphere", "South")->isChecked());
    EXPECT_EQ(Child<QPushButton>(dlg, "btnOK")->text(), "OK");
    EXPECT_EQ(Child<QPushButton>(dlg, "btnCancel")->text(), "Cancel");
    // The options stay editable while "Degrees WGS84" is chosen.
    EXPECT_TRUE(Child<QGroupBox>(dlg, "UTMOptions")->isEnabled());
}

TEST_F(ImportCoordinatesTest, BoxesTakeDigitsOnlyAndOffsetsASign) {
    SetText(dlg, "UTMOptionsZone", "-3a2.");
    EXPECT_EQ(Child<QLineEdit>(dlg, "UTMOptionsZone")->text(), "32");
    SetText(dlg, "UTMOptionsXOffset", "-4x0-0");
    EXPECT_EQ(Child<QLineEdit>(dlg, "UTMOptionsXOffset")->text(), "-400");
    SetText(dlg, "UTMOptionsYOffset", "1,5-");
    EXPECT_EQ(Child<QLineEdit>(dlg, "UTMOptionsYOffset")->text(), "15");
}

TEST_F(ImportCoordinatesTest, UtmCentralMeridianPointNorthAndSouth) {
    struct Case {
        const char *hemisphere;
        double latitude;
    };
    for (const Case &c : {Case{"North", 45.1535}, Case{"South", -45.1535}}) {
        SCOPED_TRACE(c.hemisphere);
        Shapefile f;
        f.AddPolyline({{500000, 5000000}});
        ScriptedDialogs d;
        app::TImportCoordinatesForm form(f.shp, d);
        form.show();
        Radio(form, "CoordinatesFormat", "UTM")->click();
        Radio(form, "UTMOptionsHemisphere", c.hemisphere)->click();
        Child<QPushButton>(form, "btnOK")->click();

        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_FALSE(form.isVisible());
        EXPECT_TRUE(d.shown.empty());
        const TPunktXY &p = f.shp.PolyLinien[0].Points[0];
        EXPECT_NEAR(p.X, 15.0, 1e-9);
        EXPECT_NEAR(p.Y, c.latitude, 0.00005);
    }
}

// Each box must reach its own parameter: compared with the conversion called directly.
TEST_F(ImportCoordinatesTest, UtmUsesEveryBoxAndConvertsEveryPoint) {
    TShapefile expected = file.shp;
    formats::ConvertUTMToWGS84(expected, -400000, -1000000, 32, 1);

    Radio(dlg, "CoordinatesFormat", "UTM")->click();
    SetText(dlg, "UTMOptionsXOffset", "-400000");
    SetText(dlg, "UTMOptionsYOffset", "-1000000");
    SetText(dlg, "UTMOptionsZone", "32");
    Radio(dlg, "UTMOptionsHemisphere", "South")->click();
    Ok();

    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(SamePoints(file.shp.PolyLinien, expected.PolyLinien));
}

TEST_F(ImportCoordinatesTest, DegreesOkAndCancelLeaveCoordinatesAlone) {
    const auto before = file.shp.PolyLinien;
    Ok(); // "Degrees WGS84" is the default
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(SamePoints(file.shp.PolyLinien, before));

    Shapefile f;
    f.AddPolyline({{500000, 5000000}});
    const auto fBefore = f.shp.PolyLinien;
    ScriptedDialogs d;
    app::TImportCoordinatesForm form(f.shp, d);
    form.show();
    Radio(form, "CoordinatesFormat", "UTM")->click();
    Child<QPushButton>(form, "btnCancel")->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(SamePoints(f.shp.PolyLinien, fBefore));
    EXPECT_TRUE(d.shown.empty());
}

TEST_F(ImportCoordinatesTest, TextThatIsNotAnIntegerShowsAnErrorAndStaysOpen) {
    struct Case {
        const char *box;
        const char *text;
    };
    const auto before = file.shp.PolyLinien;
    Radio(dlg, "CoordinatesFormat", "UTM")->click();
    for (const Case &c : {Case{"UTMOptionsZone", ""}, Case{"UTMOptionsYOffset", "-"},
                          Case{"UTMOptionsXOffset", "-3000000000"}}) {
        SCOPED_TRACE(c.box);
        const QString good = Child<QLineEdit>(dlg, c.box)->text();
        SetText(dlg, c.box, c.text);
        dialogs.shown.clear();
        Ok();
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].kind, BoxKind::Error);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_TRUE(SamePoints(file.shp.PolyLinien, before));
        Child<QLineEdit>(dlg, c.box)->setText(good);
    }
    // Once the texts are fixed the same dialog converts and closes.
    Ok();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_NEAR(file.shp.PolyLinien[0].Points[0].X, 15.0, 1e-9);
}

// ---- Import Database ----

class JoinDBFTest : public ::testing::Test {
  protected:
    // Shows the dialog for the table as it is now.
    app::TJoinDBFForm &Open() {
        dlg = std::make_unique<app::TJoinDBFForm>(file.shp, dialogs);
        dlg->show();
        return *dlg;
    }
    // A real click on the list item, as the user picks a field.
    void Pick(int row) {
        auto *list = Child<QListWidget>(*dlg, "ListBox");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    QLineEdit *Scale() { return Child<QLineEdit>(*dlg, "edtScale"); }
    QPlainTextEdit *Preview() { return Child<QPlainTextEdit>(*dlg, "memPreview"); }
    void Ok() { Child<QPushButton>(*dlg, "btnOK")->click(); }

    Shapefile file;
    ScriptedDialogs dialogs;
    std::unique_ptr<app::TJoinDBFForm> dlg;
};

TEST_F(JoinDBFTest, OpensWithTheFieldNamesAndNothingChosen) {
    file.AddPolylines(2);
    file.AddField("ID", {"1", "2"});
    file.AddField(std::string("DEPTH\0\0\0\0\0\0", 11), {"5", "6"});
    file.AddField("NAME", {"a", "b"});
    Open();

    EXPECT_EQ(dlg->windowTitle(), "Import Database");
    auto *list = Child<QListWidget>(*dlg, "ListBox");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), "ID");
    EXPECT_EQ(list->item(1)->text(), "DEPTH");
    EXPECT_EQ(list->item(2)->text(), "NAME");
    EXPECT_TRUE(list->selectedItems().isEmpty());
    auto *selected = Child<QLineEdit>(*dlg, "SelectedEntry");
    EXPECT_TRUE(selected->text().isEmpty());
    EXPECT_TRUE(selected->isReadOnly());
    EXPECT_EQ(Scale()->text(), "1");
    EXPECT_TRUE(Preview()->toPlainText().isEmpty());
    EXPECT_TRUE(Preview()->isReadOnly());
    EXPECT_EQ(Preview()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(Preview()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    // "OK" is the only button: there is no cancel.
    const auto buttons = dlg->findChildren<QPushButton *>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->objectName(), "btnOK");
    EXPECT_EQ(buttons[0]->text(), "OK");
}

TEST_F(JoinDBFTest, PickingAFieldPreviewsItsFirstTenValuesScaled) {
    std::vector<std::string> values;
    for (int i = 1; i <= 25; ++i)
        values.push_back("  -" + std::to_string(i) + ".5"); // padded as stored
    file.AddPolylines(25);
    file.AddField("ID", std::vector<std::string>(25, "x")); // not a number: must not be read
    file.AddField("DEPTH", values);
    Open();

    Pick(1);
    EXPECT_EQ(Child<QLineEdit>(*dlg, "SelectedEntry")->text(), "DEPTH");
    QStringList expected;
    for (int i = 1; i <= 10; ++i)
        expected << QString::number(i) + ".5";
    EXPECT_EQ(Lines(Preview()), expected);
    EXPECT_EQ(Preview()->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(dialogs.shown.empty());

    SetText(*dlg, "edtScale", "4");
    expected.clear();
    for (int i = 1; i <= 10; ++i)
        expected << QString::number(4 * i + 2);
    EXPECT_EQ(Lines(Preview()), expected);
}

TEST_F(JoinDBFTest, EmptiedMultiplierIsOneAtOnce) {
    file.AddPolylines(1);
    file.AddField("DEPTH", {"7"});
    Open();
    QTest::keyClicks(Scale(), "5a.");
    EXPECT_EQ(Scale()->text(), "15"); // digits only

    // Without a field chosen the reset still happens and nothing is previewed.
    QTest::keyClick(Scale(), Qt::Key_Backspace);
    QTest::keyClick(Scale(), Qt::Key_Backspace);
    EXPECT_EQ(Scale()->text(), "1");
    EXPECT_TRUE(Preview()->toPlainText().isEmpty());

    Pick(0);
    SetText(*dlg, "edtScale", "3");
    EXPECT_EQ(Lines(Preview()), QStringList{"21"});
    Scale()->clear();
    EXPECT_EQ(Scale()->text(), "1");
    EXPECT_EQ(Lines(Preview()), QStringList{"7"});
    // The "1" put back is replaced by the next digit typed.
    QTest::keyClicks(Scale(), "2");
    EXPECT_EQ(Scale()->text(), "2");
    EXPECT_EQ(Lines(Preview()), QStringList{"14"});
}

TEST(JoinDBFDepths, OkWritesAbsoluteDepthsRoundedHalfToEven) {
    struct Case {
        const char *multiplier;
        std::vector<std::string> values;
        std::vector<std::int32_t> depths;
    };
    const std::vector<Case> cases = {
        {"1", {"-350", "2.5", "3.5", "  0.5", "-1.5", "12.49"}, {350, 2, 4, 0, 2, 12}},
        {"10", {"-3.25", "4.75", "0", "0.125"}, {32, 48, 0, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.multiplier);
        Shapefile f;
        f.AddPolylines(c.values.size());
        f.AddField("NAME", std::vector<std::string>(c.values.size(), "999"));
        f.AddField("DEPTH", c.values);
        ScriptedDialogs d;
        app::TJoinDBFForm form(f.shp, d);
        form.show();
        auto *list = Child<QListWidget>(form, "ListBox");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(1)).center());
        SetText(form, "edtScale", c.multiplier);
        Child<QPushButton>(form, "btnOK")->click();
        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(f.Depths(), c.depths);
        EXPECT_TRUE(d.shown.empty());
    }
}

// Columns are told apart by position, not by name.
TEST_F(JoinDBFTest, SameNamedColumnsStayDistinct) {
    file.AddPolylines(2);
    file.AddField("DEPTH", {"1", "2"});
    file.AddField("DEPTH", {"30", "40"});
    Open();
    Pick(1);
    EXPECT_EQ(Lines(Preview()), (QStringList{"30", "40"}));
    Ok();
    EXPECT_EQ(file.Depths(), (std::vector<std::int32_t>{30, 40}));
}

TEST_F(JoinDBFTest, TableLongerThanShapefileShowsBothMessagesAndStaysOpen) {
    file.AddPolylines(11);
    file.AddField("DEPTH", std::vector<std::string>(12, "100"));
    Open();
    Pick(0);
    Ok();
    EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{"Mismatch in length of SHP and DBF",
                                                         "# Polylines: 11 # DB Entries: 12"}));
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(file.Depths(), std::vector<std::int32_t>(11, 0));
}

TEST_F(JoinDBFTest, ClosingWithoutAFieldLeavesDepthsZero) {
    file.AddPolylines(2);
    file.AddField("DEPTH", {"10", "20"});

    Open();
    Ok(); // nothing chosen
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(file.Depths(), (std::vector<std::int32_t>{0, 0}));

    Open();
    Pick(0);
    dlg->close(); // the title bar's close button
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_EQ(file.Depths(), (std::vector<std::int32_t>{0, 0}));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(JoinDBFTest, ValueThatIsNotANumberShowsAnErrorAndKeepsWhatCameBefore) {
    file.AddPolylines(3);
    file.AddField("DEPTH", {"12", "deep", "7"});
    Open();

    Pick(0);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, BoxKind::Error);
    EXPECT_EQ(Child<QLineEdit>(*dlg, "SelectedEntry")->text(), "DEPTH");
    EXPECT_EQ(Lines(Preview()), QStringList{"12"});

    dialogs.shown.clear();
    Ok();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, BoxKind::Error);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(file.Depths(), (std::vector<std::int32_t>{12, 0, 0}));
}

} // namespace

int main(int argc, char **argv) {
    // Discovery runs this program outside CTest's environment: never look for a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
