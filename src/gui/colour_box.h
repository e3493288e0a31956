#pragma once

#include <QColor>

#include "app/shade.h"
#include "gui/readout_label.h"

namespace clinora {

// Colours of the indicators, read-outs and message lines.
namespace colours {
inline const QColor kRed{255, 0, 0};
inline const QColor kPaleYellow{249, 248, 153};
inline const QColor kGreen{0, 255, 64};
inline const QColor kWhite{255, 255, 255};
inline const QColor kLightGrey{232, 232, 232};
}  // namespace colours

// The colour a page model's shade stands for.
QColor ColourOf(Shade shade);

// A static text whose background and text colours are set at run time and
// kept across repaints. The background starts as the button-face colour of
// the style, the text black. Its text is a value (a read-out, an indicator,
// a message line): give it an accessible name that says what it shows.
class ColourBox : public ReadoutLabel {
    Q_OBJECT
public:
    explicit ColourBox(const QString& text = QString(), QWidget* parent = nullptr);

    void setBackground(const QColor& colour);
    void setTextColour(const QColor& colour);
    // For a box whose colour speaks (an indicator, a read-out coloured by a
    // range check): sets the background together with its meaning in words
    // ("open", "out of range"), which screen readers read as the box's
    // accessible description.
    void setState(const QColor& background, const QString& meaning);
    QString state() const { return accessibleDescription(); }
    QColor background() const { return background_; }
    QColor textColour() const { return textColour_; }

private:
    void applyColours();

    QColor background_;
    QColor textColour_{Qt::black};
};

}  // namespace clinora
