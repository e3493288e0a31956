#include "gui/about_box.h"

#include <QLabel>
#include <QVBoxLayout>

namespace clinora {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Orvano");
    setObjectName("AboutBox");
    auto* text = new QLabel(
        "<b>Clinora Host</b><br>Version 1.0<br><br>"
        "Host for addressable two-axis tilt-sensor boards.<br>"
        "ZOV Instruments",
        this);
    text->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
}

}  // namespace clinora
