#pragma once

#include <QObject>

namespace clinora {

// Shows the on-screen input panel while a text entry has the focus and hides
// it when the focus leaves, through the platform's input method.
class InputPanel final : public QObject {
    Q_OBJECT
public:
    explicit InputPanel(QObject* parent = nullptr);
    // Watches the whole application.
    void install();

    static void show();
    static void hide();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace clinora
