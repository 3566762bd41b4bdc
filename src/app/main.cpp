// Depthwright 2D: the desktop program.
#include "app/EditProject.h"
#include "app/Unit1.h"

#include <QApplication>

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Sonderline");
    app::TForm1 form;
    app::TEditProjectForm editProject(form);
    form.EditProjectForm = &editProject;
    form.show();
    return QApplication::exec();
}
