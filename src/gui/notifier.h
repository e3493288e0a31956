#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

namespace clinora {

class CTimedMessageBoxDlg;

// Every message box and question the program shows goes through here, so
// that tests can script the answers and read the exact texts.
class Notifier {
public:
    virtual ~Notifier() = default;
    // Plain message box with OK.
    virtual void message(const QString& text) = 0;
    // Error icon, OK.
    virtual void error(const QString& text) = 0;
    // Yes/No with the question icon; true for Yes.
    virtual bool question(const QString& text) = 0;
    // The self-closing box: `seconds` negative for the default 3 s, 0 for none.
    virtual void timedMessage(int seconds, const QString& text) = 0;
};

// Shows real dialogs over a parent window.
class QtNotifier final : public Notifier {
public:
    explicit QtNotifier(QWidget* parent = nullptr);
    ~QtNotifier() override;
    void setParent(QWidget* parent) { parent_ = parent; }

    void message(const QString& text) override;
    void error(const QString& text) override;
    bool question(const QString& text) override;
    void timedMessage(int seconds, const QString& text) override;

private:
    QPointer<QWidget> parent_;
    std::unique_ptr<CTimedMessageBoxDlg> timedBox_;  // one box, reused
};

}  // namespace clinora
