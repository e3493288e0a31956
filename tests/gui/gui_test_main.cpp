// Runs the widget tests on an offscreen QApplication. Settings, runtime and
// document folders point into a temporary folder, so the user's own files
// are never touched.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "gui/accessibility.h"

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    qputenv("HOME", home.path().toUtf8());
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    clinora::InstallAccessibleInterfaces();  // as the program does at start
    return RUN_ALL_TESTS();
}
