#pragma once

#include <QDialog>

namespace clinora {

// The About box: program name, version and maker; closed by its window's
// close button.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace clinora
