// main for tests that need a QApplication; they never look for a display.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("Sonderline");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
