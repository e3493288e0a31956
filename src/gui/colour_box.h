#pragma once

#include <QColor>
#include <QLabel>

namespace clinora {

// Colours of the indicators, read-outs and message lines.
namespace colours {
inline const QColor kRed{255, 0, 0};
inline const QColor kPaleYellow{249, 248, 153};
inline const QColor kGreen{0, 255, 64};
inline const QColor kWhite{255, 255, 255};
inline const QColor kLightGrey{232, 232, 232};
}  // namespace colours

// A static text whose background and text colours are set at run time and
// kept across repaints. The background starts as the button-face colour of
// the style, the text black.
class ColourBox : public QLabel {
    Q_OBJECT
public:
    explicit ColourBox(const QString& text = QString(), QWidget* parent = nullptr);

    void setBackground(const QColor& colour);
    void setTextColour(const QColor& colour);
    QColor background() const { return background_; }
    QColor textColour() const { return textColour_; }

private:
    void applyColours();

    QColor background_;
    QColor textColour_{Qt::black};
};

}  // namespace clinora
