#pragma once

#include <QGroupBox>

class QCheckBox;

namespace clinora {

// A group box whose caption is a check box that switches the controls inside
// the group on and off. The owner sees `clicked` when the user toggles it.
class CheckGroupBox : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int kCheckBoxId = 65534;

    explicit CheckGroupBox(const QString& caption, QWidget* parent = nullptr);

    bool getCheck() const;
    // Sets the box, then enables the contents when ticked, disables them otherwise.
    void setCheck(bool checked);
    // With this on, labels inside the group are never enabled or disabled.
    void setLeaveLabelsAlone(bool leave) { leaveLabels_ = leave; }

    QCheckBox* checkBox() const { return check_; }
    QString caption() const { return caption_; }

signals:
    // The user toggled the box (after the contents followed it).
    void clicked(bool checked);

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyContents();
    void placeCheckBox();

    QString caption_;
    QCheckBox* check_;
    bool leaveLabels_ = false;
};

}  // namespace clinora
