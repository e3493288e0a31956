#include "pages/file_browse_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/app_files.h"
#include "app/cal_file_listing.h"
#include "app/page_copies.h"
#include "gui/view_helpers.h"
#include "link/shared_state.h"

namespace clinora {
namespace {

constexpr int kFolderTextWidth = 260;  // longer folders are shortened in the middle

}  // namespace

CFileBrowseDlg::CFileBrowseDlg(PageContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
    setWindowTitle("Calibration File");
    if (context_.files) folder_ = context_.files->workingFolder;
    buildView();
}

void CFileBrowseDlg::buildView() {
    folderText_ = Named(new QLabel(this), "FolderText");
    list_ = Named(new QListWidget(this), "FileList");
    list_->setAccessibleName("Calibration files");
    board_ = Named(new QComboBox(this), "BoardAddress");
    board_->setAccessibleName("Board Address");
    if (context_.resourceInUse) board_->setFont(ArialFont(12));
    filterFiles_ = Named(new QCheckBox("Filter Files", this), "FilterFiles");
    biaxial_ = Named(new QCheckBox("Biaxial File", this), "BiaxialFile");
    readFileIn_ = Named(new QPushButton("Read File In", this), "ReadFileIn");
    cancel_ = Named(new QPushButton("Cancel", this), "Cancel");
    readFileIn_->setDefault(true);

    auto* choices = new QGridLayout;
    choices->addWidget(Caption("Board Address", board_), 0, 0);
    choices->addWidget(board_, 0, 1);
    choices->addWidget(filterFiles_, 1, 0, 1, 2);
    choices->addWidget(biaxial_, 2, 0, 1, 2);
    choices->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(readFileIn_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(folderText_);
    layout->addWidget(list_, 1);
    layout->addLayout(choices);
    layout->addLayout(buttons);

    connect(filterFiles_, &QCheckBox::clicked, this, &CFileBrowseDlg::onFilterClicked);
    connect(biaxial_, &QCheckBox::clicked, this, &CFileBrowseDlg::onBiaxialClicked);
    connect(board_, &QComboBox::currentIndexChanged, this, [this] {
        if (filterFiles_->isChecked()) relist();
    });
    connect(readFileIn_, &QPushButton::clicked, this, &CFileBrowseDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CFileBrowseDlg::reject);
}

void CFileBrowseDlg::setVisible(bool visible) {
    if (visible && !isVisible()) load();
    QDialog::setVisible(visible);
}

void CFileBrowseDlg::load() {
    // The folder actually listed, shortened in the middle when it is long.
    const QString folder = QString::fromStdString(folder_);
    folderText_->setText(
        "Select file from list\n(  " +
        folderText_->fontMetrics().elidedText(folder, Qt::ElideMiddle, kFolderTextWidth) + "  )");
    folderText_->setToolTip(folder);
    {
        const QSignalBlocker quiet(board_);  // one listing below, not one per address
        board_->clear();
        if (context_.state) {
            const auto addresses =
                context_.state->locked([](const SharedData& d) { return d.currentAddresses; });
            for (const std::string& address : addresses)
                board_->addItem(QString::fromStdString(address));
        }
        board_->setCurrentIndex(board_->count() > 0 ? 0 : -1);
    }
    if (context_.copies) {
        filterFiles_->setChecked(context_.copies->filterFiles);
        biaxial_->setChecked(context_.copies->biaxialFile);
    }
    relist();
}

void CFileBrowseDlg::relist() {
    const bool filtered = filterFiles_->isChecked();
    biaxial_->setEnabled(filtered);
    CalFileFilter filter;
    if (filtered) {
        filter.address = board_->currentText().toStdString();
        filter.biaxial = biaxial_->isChecked();
        filter.axisA = !context_.state || context_.state->locked([](const SharedData& d) {
            return d.settings.axisSelector == 1;
        });
    }
    const std::vector<std::string> entries = FolderFileNames(folder_);
    if (entries.empty()) return;  // an empty or unreadable folder leaves the list as it was
    list_->clear();
    for (const std::string& name : CalFileNames(entries, filter))
        list_->addItem(QString::fromStdString(name));
    if (list_->count() > 0) list_->setCurrentRow(0);
}

void CFileBrowseDlg::onFilterClicked(bool checked) {
    if (context_.copies) context_.copies->filterFiles = checked;
    relist();
}

void CFileBrowseDlg::onBiaxialClicked(bool checked) {
    if (context_.copies) context_.copies->biaxialFile = checked;
    relist();
}

void CFileBrowseDlg::accept() {
    chosenListIndex_ = list_->currentRow();  // -1: an empty list or nothing selected
    chosenName_ =
        chosenListIndex_ >= 0 ? list_->item(chosenListIndex_)->text().toStdString() : std::string();
    chosenBoardIndex_ = board_->currentIndex();
    if (context_.copies) {
        context_.copies->filterFiles = filterFiles_->isChecked();
        context_.copies->biaxialFile = biaxial_->isChecked();
    }
    QDialog::accept();
}

}  // namespace clinora
