// Makes the pictures of the user guide from the real program: start-up, the sample lake
// loaded, the project editing dialog in use. usage: depthwright-screenshots LAKE_DIR OUT_DIR
#include "app/EditProject.h"
#include "app/Unit1.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>

#include <iostream>

namespace {
void Settle() {
    for (int i = 0; i < 10; ++i)
        QApplication::processEvents();
}
} // namespace

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Sonderline");
    if (argc < 3) {
        std::cerr << "usage: depthwright-screenshots LAKE_DIR OUT_DIR\n";
        return 2;
    }
    const QString lake = argv[1], out = argv[2];
    QDir().mkpath(out);
    app::TForm1 form;
    support::ScriptedDialogs dialogs; // nothing is asked of the user here
    form.SetDialogs(&dialogs);
    app::TEditProjectForm edit(form);
    form.EditProjectForm = &edit;
    form.show();
    Settle();
    form.grab().save(out + "/startup.png");

    std::vector<std::string> files;
    for (const QString &f : QDir(lake).entryList({"*.gpx"}, QDir::Files, QDir::Name))
        files.push_back(QDir(lake).filePath(f).toStdString());
    form.AddFiles(files);
    Settle();
    form.grab().save(out + "/project-map.png");

    edit.show();
    edit.move(form.geometry().topRight() - QPoint(320, -60));
    Settle();
    QTreeWidgetItem *tracks = edit.tvItems->topLevelItem(0)->child(0);
    edit.tvItems->setCurrentItem(tracks->child(tracks->childCount() - 1)->child(2));
    edit.btnDeleteSampleClick();
    const mapview::TGPXDraw &view = form.GPXView;
    const model::TGPXwpt *p = form.GPXdata.trk.Last()->Get(2)->Get(40);
    QMouseEvent move(QEvent::MouseMove, QPointF(view.LoToX(p->Longitude), view.LaToY(p->Latitude)),
                     QPointF(), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(form.GPXImage, &move);
    Settle();
    QPixmap both = form.grab();
    {
        QPainter painter(&both);
        painter.drawPixmap(both.width() - edit.width() - 20, 60, edit.grab());
    }
    both.save(out + "/edit-project.png");
    for (const auto &shown : dialogs.shown)
        std::cerr << "shown: " << shown.text << "\n";
    return 0;
}
