#pragma once

#include <QString>

namespace clinora {

// Plays a sound file without waiting for it to end.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QString& file) = 0;
};

// Hands the file to the first command-line player found (pw-play, paplay,
// aplay) as a detached process. A missing player, file or sound device is
// silent.
class ProcessSoundPlayer final : public SoundPlayer {
public:
    ProcessSoundPlayer();
    void play(const QString& file) override;
    bool available() const { return !player_.isEmpty(); }

private:
    QString player_;
};

}  // namespace clinora
