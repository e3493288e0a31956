#include "gui/single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QStandardPaths>

namespace clinora {
namespace {

Q_LOGGING_CATEGORY(lcInstance, "clinora.instance", QtWarningMsg)

constexpr int kConnectMs = 500;
constexpr int kAnswerMs = 2000;
const QByteArray kRaise = "raise\n";
const QByteArray kRaised = "raised\n";

QString RuntimeFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    QDir().mkpath(folder);
    return folder;
}

}  // namespace

SingleInstance::SingleInstance(const QString& title, const QString& mutexName, QObject* parent)
    : QObject(parent) {
    const QString folder = RuntimeFolder();
    serverPath_ = folder + "/" + title + ".instance";
    lockPath_ = folder + "/" + mutexName + ".lock";
}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

bool SingleInstance::bringOtherForward() {
    QLocalSocket socket;
    socket.connectToServer(serverPath_);
    if (!socket.waitForConnected(kConnectMs)) return false;
    socket.write(kRaise);
    socket.waitForBytesWritten(kConnectMs);
    // Wait for the answer so the first window is up front before this start ends.
    if (socket.waitForReadyRead(kAnswerMs)) socket.readAll();
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::lock() {
    lock_ = std::make_unique<QLockFile>(lockPath_);
    lock_->setStaleLockTime(0);  // stale only when its process is gone
    return lock_->tryLock(0);
}

bool SingleInstance::listen(std::function<void()> raise) {
    raise_ = std::move(raise);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(serverPath_);  // left over by a crash; we hold the lock
    if (!server_->listen(serverPath_)) return false;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine()) return;
                if (socket->readLine() != kRaise) return;
                if (raise_) raise_();
                qCInfo(lcInstance) << "brought forward by a second start";
                socket->write(kRaised);
                socket->flush();
            });
        }
    });
    return true;
}

}  // namespace clinora
