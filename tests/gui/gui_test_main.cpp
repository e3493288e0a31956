// Runs the widget tests on an offscreen QApplication. Settings, runtime and
// document folders point into a temporary folder, so the user's own files
// are never touched.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "gui/accessibility.h"

int main(int argc, char** argv) {
    QTemporaryDir home;
    // Offscreen, a desktop-sized screen: windows beside the main window fit.
    QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen") {
        QFile config(home.path() + "/screen.json");
        if (config.open(QIODevice::WriteOnly)) {
            config.write(R"({"screens": [{"name": "test", "x": 0, "y": 0, "width": 1920,
                           "height": 1080, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1.0}]})");
            config.close();
            platform = "offscreen:configfile=" + config.fileName().toUtf8();
        }
    }
    qputenv("QT_QPA_PLATFORM", platform);
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    qputenv("HOME", home.path().toUtf8());
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    clinora::InstallAccessibleInterfaces();  // as the program does at start
    return RUN_ALL_TESTS();
}
