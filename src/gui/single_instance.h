#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace clinora {

// One running program per user: a lock file stands for the named mutex, and
// a local server named after the window title lets a second start bring the
// first window forward. Both live in the user's runtime folder.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& title, const QString& mutexName,
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    // When another instance listens, asks it to come forward and returns true.
    bool bringOtherForward();
    // Takes the lock; false when another instance holds it.
    bool lock();
    // Listens for later starts; `raise` runs for each one.
    bool listen(std::function<void()> raise);

    QString serverPath() const { return serverPath_; }
    QString lockPath() const { return lockPath_; }

private:
    QString serverPath_;
    QString lockPath_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
    std::function<void()> raise_;
};

}  // namespace clinora
