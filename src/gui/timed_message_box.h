#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>

#include "link/clock.h"

class QLabel;

namespace clinora {

// "Message": a centred text of up to three lines and a "Cancel" button; it
// closes itself with the OK result once its time-out has passed.
class CTimedMessageBoxDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDefaultSeconds = 3;
    static constexpr int kTickMs = 200;

    // `clock` gives the tick count for the deadline; null uses real time.
    explicit CTimedMessageBoxDlg(QWidget* parent = nullptr, Clock* clock = nullptr);

    // Shows the text and returns when the box closes. A negative time-out
    // stands for 3 seconds; 0 keeps the box until "Cancel".
    int show(int seconds, const QString& text);
    using QDialog::show;
    // Opens without waiting (the same rules); for tests and non-blocking use.
    void open(int seconds, const QString& text);

    QString text() const;
    int timeoutSeconds() const { return seconds_; }
    int64_t deadlineMs() const { return deadlineMs_; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void prepare(int seconds, const QString& text);
    void tick();

    RealClock realClock_;
    Clock& clock_;
    QLabel* label_;
    QTimer timer_;
    int seconds_ = -1;
    int64_t deadlineMs_ = 0;
};

}  // namespace clinora
