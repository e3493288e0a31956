#include "gui/sound_player.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace clinora {

ProcessSoundPlayer::ProcessSoundPlayer() {
    for (const char* name : {"pw-play", "paplay", "aplay"}) {
        player_ = QStandardPaths::findExecutable(name);
        if (!player_.isEmpty()) break;
    }
}

void ProcessSoundPlayer::play(const QString& file) {
    if (player_.isEmpty() || !QFileInfo(file).isFile()) return;
    QStringList arguments;
    if (QFileInfo(player_).fileName() == "aplay") arguments << "-q";
    arguments << file;
    QProcess process;
    process.setProgram(player_);
    process.setArguments(arguments);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.startDetached();
}

}  // namespace clinora
