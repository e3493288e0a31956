#include "gui/colour_box.h"

#include <QPalette>

namespace clinora {

QColor ColourOf(Shade shade) {
    switch (shade) {
        case Shade::White:
            return colours::kWhite;
        case Shade::LightRed:
            return {255, 180, 180};
        case Shade::PaleYellow:
            return colours::kPaleYellow;
        case Shade::LightCyan:
            return {128, 255, 255};
        case Shade::Green:
            return colours::kGreen;
        case Shade::Red:
            return colours::kRed;
        case Shade::LightGrey:
            return colours::kLightGrey;
    }
    return colours::kWhite;
}

ColourBox::ColourBox(const QString& text, QWidget* parent)
    : ReadoutLabel(text, parent), background_(palette().color(QPalette::Button)) {
    setAutoFillBackground(true);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setAlignment(Qt::AlignCenter);
    applyColours();
}

void ColourBox::setBackground(const QColor& colour) {
    if (colour == background_) return;
    background_ = colour;
    applyColours();
}

void ColourBox::setState(const QColor& background, const QString& meaning) {
    setBackground(background);
    if (meaning != accessibleDescription()) setAccessibleDescription(meaning);
}

void ColourBox::setTextColour(const QColor& colour) {
    if (colour == textColour_) return;
    textColour_ = colour;
    applyColours();
}

// The colours live in the widget's own palette, so every repaint (and a
// change of the application style) keeps them.
void ColourBox::applyColours() {
    QPalette p = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::Window, background_);
        p.setColor(group, QPalette::WindowText, textColour_);
    }
    setPalette(p);
    update();
}

}  // namespace clinora
