#include "gui/data_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace clinora {

QString DataFolder() {
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        qEnvironmentVariable("CLINORA_DATA_DIR"),
        appDir + "/../share/clinora",
        appDir + "/data",
        QStringLiteral(CLINORA_SOURCE_DATA_DIR),
    };
    for (const QString& candidate : candidates) {
        if (!candidate.isEmpty() && QFileInfo(candidate + "/sounds").isDir())
            return QDir(candidate).absolutePath();
    }
    return QStringLiteral(CLINORA_SOURCE_DATA_DIR);
}

}  // namespace clinora
