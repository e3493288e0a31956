#include "pages/page_cal.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>

#include "app/cal_page_model.h"
#include "pages/file_browse_dialog.h"
#include "gui/records_front.h"
#include "pages/qt_page_services.h"
#include "pages/residual_window.h"
#include "pages/walk_page_view.h"

namespace clinora {

CPageCal::CPageCal(PageContext& context, QWidget* parent) : WalkPage("Cal", context, parent, true) {
    if (!context.state || !context.copies || !context.files || !context.session) return;
    setModel(std::make_unique<CalPageModel>(WalkEnvironment{
        *context.state, *context.copies, *context.files, *context.session, *services_, {},
        context.records}));
    const auto act = [this](void (CalPageModel::*action)()) {
        return [this, action] {
            (cal().*action)();
            render();
        };
    };
    WalkPageView& v = *view_;
    connect(v.write, &QPushButton::clicked, this, act(&CalPageModel::writeFiles));
    connect(v.send, &QPushButton::clicked, this, act(&CalPageModel::send));
    connect(v.upload, &QPushButton::clicked, this, act(&CalPageModel::upload));
    connect(v.verify, &QPushButton::clicked, this, act(&CalPageModel::verify));
    connect(v.negA, &QCheckBox::clicked, this, [this](bool on) { cal().setNegate(true, on); });
    connect(v.negB, &QCheckBox::clicked, this, [this](bool on) { cal().setNegate(false, on); });
    connect(v.read, &QPushButton::clicked, this, &CPageCal::onRead);

    residuals_ = new ResidualWindow(this);
    services_->setResidualsHandler([this](const std::vector<BoardResiduals>& boards) {
        // Filled and shown on the next two turns, before the question that
        // follows the write.
        QTimer::singleShot(0, residuals_, [this, boards] { residuals_->setBoards(boards); });
        QTimer::singleShot(0, residuals_, [this] { residuals_->present(); });
    });
    connect(v.residuals, &QPushButton::clicked, this, [this] { cal().showResiduals(); });
}

const CalPageModel* CPageCal::model() const { return static_cast<CalPageModel*>(model_.get()); }

CalPageModel& CPageCal::cal() { return static_cast<CalPageModel&>(*model_); }

// Read: the worker stops, the operator picks a file and a board, the page
// takes the file's constants.
void CPageCal::onRead() {
    if (!model_) return;
    cal().readStarted();
    render();
    CFileBrowseDlg browse(context_, this);
    const bool accepted = browse.exec() == QDialog::Accepted;
    cal().readChosen(accepted, browse.chosenName(), browse.chosenBoardIndex());
    render();
}

}  // namespace clinora
