#include "gui/about_box.h"

#include <QLabel>
#include <QVBoxLayout>

#include "product_version.h"

namespace clinora {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Orvano");
    setObjectName("AboutBox");
    auto* text = new QLabel(QString("<b>%1</b><br>Version %2<br><br>"
                                    "Host for addressable two-axis tilt-sensor boards.<br>"
                                    "ZOV Instruments")
                                .arg(kProductName, kProductVersion),
                            this);
    text->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
}

}  // namespace clinora
