// What users of any desktop program reach for first: the keyboard shortcuts, files dropped
// on the window, the mouse wheel on the maps, the user guide, and the status bar's word
// after a save.
#include "app/Unit1.h"

#include "depth/MovingSquares.h"
#include "support/FilePath.h"
#include "support/NumText.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>
#include <QWheelEvent>

#include <cmath>

namespace app {

namespace {

// The files of a drag: every URL a local file, else none (a web link or a remote file is
// not something "Add Files..." could open).
std::vector<std::string> DraggedFiles(const QMimeData *data) {
    std::vector<std::string> files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile() || url.toLocalFile().isEmpty())
            return {};
        files.push_back(QDir::toNativeSeparators(url.toLocalFile()).toStdString());
    }
    return files;
}

// One notch (120 eighths of a degree) zooms by the step of "Zoom In"; the map keeps 85 %
// of its width.
double WheelFactor(const QWheelEvent *e) {
    return std::pow(1 / 0.85, e->angleDelta().y() / 120.0);
}

QPoint WheelPixel(const QWheelEvent *e) {
    return {static_cast<int>(e->position().x()), static_cast<int>(e->position().y())};
}

std::string Counted(std::int64_t n, const char *one, const char *many) {
    return support::GroupThousands(n) + " " + (n == 1 ? one : many);
}

} // namespace

void TForm1::ConnectShortcuts() {
    // Application-wide so they also work from the project editing dialog; Qt keeps them
    // from a window behind a modal dialog, and a text field keeps its own Ctrl+Z.
    auto key = [this](const QKeySequence &keys, std::function<void()> action) {
        auto *shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::ApplicationShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, action] { Guarded(action); });
        return shortcut;
    };
    // A button's shortcut does what a click on it does, and only when it could be clicked:
    // during a run the pages are disabled and so are their shortcuts.
    auto buttonKey = [&](QPushButton *button, const QKeySequence &keys,
                         std::function<void()> action) {
        key(keys, [this, button, action] {
            if (button->isEnabled() && !Interpolating())
                action();
        });
        button->setToolTip(button->toolTip() + " (" + keys.toString(QKeySequence::NativeText) +
                           ")");
    };
    buttonKey(btnAddFiles, QKeySequence(Qt::CTRL | Qt::Key_O), [this] { btnAddFilesClick(); });
    buttonKey(btnTrkSaveGPX, QKeySequence(Qt::CTRL | Qt::Key_S), [this] { btnTrkSaveGPXClick(); });
    buttonKey(btnHelp, QKeySequence(Qt::Key_F1), [this] { ShowUserGuide(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { Undo(); });
    QShortcut *redo = key(QKeySequence(Qt::CTRL | Qt::Key_Y), [this] { Redo(); });
    redo->setKeys(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    key(QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); }); // close() asks about unsaved work

    setAcceptDrops(true);
    GPXImage->OnWheel = [this](QWheelEvent *e) { Guarded([&] { GPXImageWheel(e); }); };
    IsoImage->OnWheel = [this](QWheelEvent *e) { Guarded([&] { IsoImageWheel(e); }); };
    OpenUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    connect(btnHelp, &QPushButton::clicked, this, [this] { Guarded([&] { ShowUserGuide(); }); });
}

void TForm1::dragEnterEvent(QDragEnterEvent *e) {
    if (!Interpolating() && !DraggedFiles(e->mimeData()).empty())
        e->acceptProposedAction();
    else
        e->ignore();
}

void TForm1::dragMoveEvent(QDragMoveEvent *e) {
    if (!Interpolating() && !DraggedFiles(e->mimeData()).empty())
        e->acceptProposedAction();
    else
        e->ignore();
}

void TForm1::dropEvent(QDropEvent *e) {
    std::vector<std::string> files = DraggedFiles(e->mimeData());
    if (files.empty() || Interpolating()) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
    // Loading may ask questions; the drag source is not kept waiting for the answers.
    QMetaObject::invokeMethod(
        this, [this, files = std::move(files)] { Guarded([&] { AddFiles(files); }); },
        Qt::QueuedConnection);
}

void TForm1::GPXImageWheel(QWheelEvent *e) {
    e->accept();
    if (!FileLoaded || Interpolating())
        return;
    const QPoint p = WheelPixel(e);
    if (!GPXView.ZoomAt(p.x(), p.y(), WheelFactor(e)))
        return;
    GPXView.Redraw(false);
    UpdateStatistics();
}

void TForm1::IsoImageWheel(QWheelEvent *e) {
    e->accept();
    if (!IsoLoaded || Interpolating())
        return;
    const QPoint p = WheelPixel(e);
    if (IsoView.ZoomAt(p.x(), p.y(), WheelFactor(e)))
        IsoView.Redraw(false);
}

std::vector<std::string> TForm1::UserGuidePlaces() {
    const QString program = QCoreApplication::applicationDirPath();
    const QString places[] = {
        // installed beside the program's bin/, wherever the prefix is, then where it was built for
        program + "/../share/doc/depthwright/USER_GUIDE.md",
        QString(DEPTHWRIGHT_GUIDE_INSTALLED),
        program + "/USER_GUIDE.md",
        QString(DEPTHWRIGHT_GUIDE_SOURCE),
    };
    std::vector<std::string> out;
    for (const QString &place : places) {
        const std::string clean = QDir::toNativeSeparators(QDir::cleanPath(place)).toStdString();
        if (std::find(out.begin(), out.end(), clean) == out.end())
            out.push_back(clean);
    }
    return out;
}

void TForm1::ShowUserGuide() {
    const std::vector<std::string> places = UserGuidePlaces();
    for (const std::string &place : places) {
        if (!QFileInfo(QString::fromStdString(place)).isFile())
            continue;
        if (!OpenUrl(QUrl::fromLocalFile(QString::fromStdString(place))))
            Dialogs->Warning("No program to show the user guide was found. It is here: " + place);
        return;
    }
    std::string text = "The user guide was not found. It was looked for in:";
    for (const std::string &place : places)
        text += "\n" + place;
    Dialogs->Information(text);
}

std::string TForm1::SavedText(const std::string &path, const model::TGPX &doc) {
    return "Saved " + support::FileNameOf(path) + ": " +
           Counted(doc.trk.Count(), "track", "tracks") + ", " +
           Counted(depth::CountPoints(doc, 0), "point", "points");
}

std::string TForm1::SavedImageText(const std::string &path, int width, int height) {
    return "Saved " + support::FileNameOf(path) + ": " + std::to_string(width) + " x " +
           std::to_string(height) + " pixels";
}

std::string TForm1::SavedHTText(const std::vector<std::string> &paths, std::int64_t points) {
    if (paths.empty())
        return "";
    std::string names;
    if (paths.size() <= 3) {
        for (const std::string &p : paths)
            names += (names.empty() ? "" : ", ") + support::FileNameOf(p);
    } else {
        names = std::to_string(paths.size()) + " HT files (" + support::FileNameOf(paths.front()) +
                " to " + support::FileNameOf(paths.back()) + ")";
    }
    return "Saved " + names + ": " + Counted(points, "point", "points");
}

} // namespace app
