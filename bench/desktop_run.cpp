// "Start Interpolator" to the finished chart in the desktop program, for the sample lake
// scaled to N soundings (default 500,000), next to the batch tool on the same files.
// usage: bench_desktop BATCH_TOOL [N]
#include "SampleLake.h"

#include "app/EditProject.h"
#include "app/Unit1.h"
#include "formats/GPXFile.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_desktop BATCH_TOOL [N]\n");
        return 2;
    }
    const int n = argc > 2 ? std::atoi(argv[2]) : 500000;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "dw-bench-desktop";
    std::filesystem::create_directories(dir);
    const std::string lake = (dir / "lake.gpx").string();
    {
        model::TGPX doc;
        bench::MakeSampleLake(doc, n);
        formats::TGPXFile writer;
        writer.GPXd = &doc;
        writer.ExportGPX(lake);
    }
    app::TForm1 form;
    support::ScriptedDialogs dialogs;
    form.SetDialogs(&dialogs);
    app::TEditProjectForm edit(form);
    form.EditProjectForm = &edit;
    form.show();
    QApplication::processEvents();
    form.AddFiles({lake});
    form.btnActionInterpolateClick();
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    form.btnInterpolateClick();
    while (form.Interpolating())
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    const double desktop = timer.elapsed() / 1000.0;

    const std::string command = std::string(argv[1]) + " chart " + lake + " --size " +
                                std::to_string(form.GPXImage->width()) + "x" +
                                std::to_string(form.GPXImage->height()) + " > " +
                                (dir / "batch.json").string();
    timer.restart();
    const int rc = std::system(command.c_str());
    const double batch = timer.elapsed() / 1000.0;
    std::printf("soundings %d, map %dx%d\n", n, form.GPXImage->width(), form.GPXImage->height());
    std::printf("desktop: Start Interpolator to finished chart  %.2f s\n", desktop);
    std::printf(
        "batch:   chart (load, interpolate, smooth, contours)  %.2f s (exit %d); phases in %s\n",
        batch, rc, (dir / "batch.json").c_str());
    return 0;
}
