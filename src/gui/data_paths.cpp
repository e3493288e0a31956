#include "gui/data_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace clinora {

QString DataFolder() {
    const QString appDir = QCoreApplication::applicationDirPath();
    QStringList candidates = {
        qEnvironmentVariable("CLINORA_DATA_DIR"),
        appDir + "/" CLINORA_DATA_FROM_BIN,
        appDir + "/data",
    };
    // Only a program still in its build tree falls back to the sources: an
    // installed one must not depend on them.
    const QString build = QDir(QStringLiteral(CLINORA_BUILD_DIR)).absolutePath();
    const bool inBuildTree = QDir(appDir).absolutePath().startsWith(build + "/");
    if (inBuildTree) candidates << QStringLiteral(CLINORA_SOURCE_DATA_DIR);
    for (const QString& candidate : candidates) {
        if (!candidate.isEmpty() && QFileInfo(candidate + "/sounds").isDir())
            return QDir(candidate).absolutePath();
    }
    return inBuildTree ? QStringLiteral(CLINORA_SOURCE_DATA_DIR)
                       : appDir + "/" CLINORA_DATA_FROM_BIN;
}

}  // namespace clinora

namespace clinora {

QString ManualFile() {
    const QString data = DataFolder();
    for (const QString& candidate : {data + "/../doc/clinora/README.html",
                                     data + "/../doc/clinora/README.md", data + "/../README.md"}) {
        if (QFileInfo(candidate).isFile()) return QFileInfo(candidate).absoluteFilePath();
    }
    return {};
}

}  // namespace clinora
