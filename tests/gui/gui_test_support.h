#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <ctime>
#include <functional>

namespace clinora::testing {

// Processes events until `done` holds or `timeoutMs` has passed.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QTest::qWait(10);
    }
    return true;
}

// A picture of the windows on screen, each where it stands, saved among the
// test artifacts.
inline void SaveArtifact(const QList<QWidget*>& windows, const QString& name) {
    QRect all;
    for (QWidget* w : windows) all = all.united(w->frameGeometry());
    QPixmap picture(all.size());
    picture.fill(Qt::darkGray);
    QPainter painter(&picture);
    for (QWidget* w : windows)
        painter.drawPixmap(w->geometry().topLeft() - all.topLeft(), w->grab());
    QDir().mkpath(CLINORA_ARTIFACT_DIR);
    picture.save(QString(CLINORA_ARTIFACT_DIR) + "/" + name);
}

// A 10 ms timer on the user-interface thread that records the longest gap
// between its beats: in wall time, and in processor time the thread itself
// spent in the gap. On a loaded machine the wall gap also holds time the
// thread waited for a core; the processor time is the thread's own work.
class UiHeartbeat {
public:
    UiHeartbeat() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { beat(); });
        restart();
        timer_.start();
    }
    // Starts the next gap afresh (after work that is the test's, not the page's).
    void restart() {
        wall_.restart();
        cpuAtBeat_ = ThreadCpuMs();
    }
    void stop() { timer_.stop(); }
    qint64 longestWallMs() const { return longestWall_; }
    qint64 longestCpuMs() const { return longestCpu_; }

private:
    static qint64 ThreadCpuMs() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<qint64>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
    }
    void beat() {
        longestWall_ = std::max(longestWall_, wall_.restart());
        const qint64 cpu = ThreadCpuMs();
        longestCpu_ = std::max(longestCpu_, cpu - cpuAtBeat_);
        cpuAtBeat_ = cpu;
    }
    QTimer timer_;
    QElapsedTimer wall_;
    qint64 cpuAtBeat_ = 0;
    qint64 longestWall_ = 0;
    qint64 longestCpu_ = 0;
};

}  // namespace clinora::testing
