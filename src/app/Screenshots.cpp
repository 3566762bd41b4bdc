// Makes the pictures of the user guide from the real program: start-up, the sample lake
// loaded, the project editing dialog in use, the band preview, the depth chart, the
// contours, the save-order dialog and the colour model editor. usage: depthwright-screenshots
// LAKE_DIR OUT_DIR
#include "app/ChangeSaveOrder.h"
#include "app/ColorModelEditor.h"
#include "app/EditProject.h"
#include "app/SurveysDialog.h"
#include "app/Unit1.h"
#include "depth/Legend.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QSpinBox>
#include <QTabWidget>
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
    edit.btnDeleteSampleClick(); // leave the mode
    edit.hide();

    // The interpolator page with the band preview, then the finished chart and its read-out.
    form.btnActionInterpolateClick();
    Settle();
    form.grab().save(out + "/band-preview.png");
    form.btnInterpolateClick();
    while (form.Interpolating())
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    Settle();
    const model::TGPXwpt *deep = form.GPXdata.trk.Last()->Get(5)->Get(60);
    QMouseEvent over(QEvent::MouseMove,
                     QPointF(view.LoToX(deep->Longitude), view.LaToY(deep->Latitude)), QPointF(),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(form.InterpolatedImage, &over);
    Settle();
    form.grab().save(out + "/depth-chart.png");

    // The chart with its legend as "Save Image..." writes it, and the coverage view with the
    // export controls.
    depth::AddLegend(form.InterpolatedImage->Control.Bitmap, form.FGradient(),
                     form.Project.ChartMaxDepth, form.ChartFrame, depth::TDepthUnit::Metres,
                     "2026-12-11")
        .save(out + "/chart-legend.png");
    form.cbLegend->setChecked(true);
    form.udCoverage->setValue(15);
    form.cbCoverage->setChecked(true);
    Settle();
    form.grab().save(out + "/coverage.png");
    form.cbCoverage->setChecked(false);

    // Contours, the save-order dialog of "Seperate by Depth", the colour model editor.
    form.btnActionISOChartClick();
    form.btnIsoMapClick();
    Settle();
    form.grab().save(out + "/contours.png");
    depth::TChangeSaveOrder order;
    order.AddTrackNames(form.IsoData);
    app::TChangeSaveOrderForm saveOrder(order, &form);
    saveOrder.show();
    Settle();
    saveOrder.grab().save(out + "/save-order.png");
    saveOrder.hide();
    form.ColorModelEditorForm->show();
    Settle();
    form.ColorModelEditorForm->grab().save(out + "/color-editor.png");

    // Spikes under review: a few soundings flagged, the dialog on the first of them.
    {
        model::TEdit flags("flags for the picture");
        const auto &track = *form.GPXdata.trk.Last();
        for (int s = 1; s < track.Count() && flags.Steps() < 5; s += 2)
            if (track[s]->Count() > 30)
                flags.SetFlag(*track[s]->Get(track[s]->Count() / 2), true);
        form.ApplyEdit(std::move(flags));
        form.PageControl->setCurrentWidget(form.TabProject);
        edit.show();
        edit.StepSpike(+1);
        Settle();
        QPixmap spikes = form.grab();
        {
            QPainter painter(&spikes);
            painter.drawPixmap(spikes.width() - edit.width() - 20, 40, edit.grab());
        }
        spikes.save(out + "/spikes.png");
        edit.hide();
    }

    // Two survey days at their water levels: the surveys dialog after "Estimate Levels".
    dialogs.yesNoAnswers = {true, true}; // discard the picture's flags; take the estimates
    form.btnStartOverClick();
    form.AddFiles({QDir(lake).filePath("shoreline.gpx").toStdString(),
                   QDir(lake).filePath("by-day/soundings-day1.gpx").toStdString(),
                   QDir(lake).filePath("by-day/soundings-day2.gpx").toStdString()});
    form.ShowSurveys = [&](app::TSurveysForm &surveys) {
        surveys.show();
        surveys.btnEstimateClick();
        Settle();
        surveys.grab().save(out + "/surveys.png");
        return false;
    };
    form.btnSurveysClick();

    for (const auto &shown : dialogs.shown)
        std::cerr << "shown: " << shown.text << "\n";
    return 0;
}
