#pragma once

#include <QDialog>
#include <string>

#include "gui/page_context.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace clinora {

// "Calibration File": lists the files of the working folder, or only the
// calibration data files of the board chosen under "Board Address", and
// returns the chosen name (without extension) and that board's index in the
// current address list. "Filter Files" and "Biaxial File" are stored as soon
// as they are clicked.
class CFileBrowseDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFileBrowseDlg(PageContext& context, QWidget* parent = nullptr);

    // The folder listed: the working folder unless the page sets another
    // (before the dialog opens).
    void setFolder(const std::string& folder) { folder_ = folder; }
    const std::string& folder() const { return folder_; }

    // After "Read File In": the chosen entry without extension (empty for
    // none), its row in the list and the chosen board's index in the current
    // address list (-1 for none).
    const std::string& chosenName() const { return chosenName_; }
    int chosenListIndex() const { return chosenListIndex_; }
    int chosenBoardIndex() const { return chosenBoardIndex_; }

    // Showing the dialog (exec, open or show) runs the opening steps.
    void setVisible(bool visible) override;

public slots:
    // "Read File In".
    void accept() override;

private:
    void buildView();
    // The opening steps: every control from its setting.
    void load();
    // Lists the folder again, filtered by the chosen board when "Filter Files" is on.
    void relist();
    void onFilterClicked(bool checked);
    void onBiaxialClicked(bool checked);

    PageContext& context_;
    std::string folder_;
    std::string chosenName_;
    int chosenListIndex_ = -1;
    int chosenBoardIndex_ = -1;

    QLabel* folderText_ = nullptr;
    QListWidget* list_ = nullptr;
    QComboBox* board_ = nullptr;
    QCheckBox* filterFiles_ = nullptr;
    QCheckBox* biaxial_ = nullptr;
    QPushButton* readFileIn_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace clinora
