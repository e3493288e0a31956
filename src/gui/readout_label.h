#pragma once

#include <QLabel>

namespace clinora {

// A label that shows a value (a tilt, a temperature, a serial number, a
// message) rather than a caption. Screen readers and UI automation know it by
// its accessible name, which says what the value is ("Tilt"; set it with
// setAccessibleName), and read the text it shows as its value. Where it has
// one, its accessible description says what its colour means.
class ReadoutLabel : public QLabel {
    Q_OBJECT
public:
    explicit ReadoutLabel(const QString& text = QString(), QWidget* parent = nullptr);
};

}  // namespace clinora
