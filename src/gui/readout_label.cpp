#include "gui/readout_label.h"

#include "gui/accessibility.h"

namespace clinora {

// The text is set only once the object is a ReadoutLabel: a screen reader
// that asks about the label while QLabel is still being built would get
// QLabel's own description of it, which names the label by its text.
ReadoutLabel::ReadoutLabel(const QString& text, QWidget* parent) : QLabel(parent) {
    InstallAccessibleInterfaces();
    setText(text);
}

}  // namespace clinora
