#pragma once

// Small helpers the pages and dialogs build their views with.

#include <QFont>
#include <QLabel>
#include <QWidget>

namespace clinora {

// The program's typeface at a size in points; a sans-serif stands in where
// Arial is not installed.
inline QFont ArialFont(int points, bool bold = false) {
    QFont font("Arial", points);
    font.setStyleHint(QFont::SansSerif);
    font.setBold(bold);
    return font;
}

// `widget` with the object name tests and style sheets find it by.
template <class W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

// A caption beside `control`, tied to it for screen readers (a widget
// beside its caption in the same parent also takes the caption as its name).
inline QLabel* Caption(const QString& text, QWidget* control) {
    auto* caption = new QLabel(text, control->parentWidget());
    caption->setBuddy(control);
    return caption;
}

}  // namespace clinora
