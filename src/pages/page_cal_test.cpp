#include "pages/page_cal_test.h"

#include <QPointer>
#include <QPushButton>

#include "app/cal_test_page_model.h"
#include "gui/issue_certificates.h"
#include "gui/records_front.h"
#include "pages/qt_page_services.h"
#include "pages/walk_page_view.h"

namespace clinora {

CPageCalTest::CPageCalTest(PageContext& context, QWidget* parent)
    : WalkPage("Test", context, parent, false) {
    if (!context.state || !context.copies || !context.files || !context.session) return;
    setModel(std::make_unique<CalTestPageModel>(WalkEnvironment{
        *context.state, *context.copies, *context.files, *context.session, *services_, {},
        context.records}));
    connect(view_->write, &QPushButton::clicked, this, [this] {
        static_cast<CalTestPageModel&>(*model_).writeFiles();
        render();
    });
    view_->certificates->setVisible(context.certificates != nullptr);
    connect(view_->certificates, &QPushButton::clicked, this, &CPageCalTest::issueCertificates);
}

// The certificates of the boards whose test records were written last, made
// from those records by the issuer; the page only says what came of it.
void CPageCalTest::issueCertificates() {
    auto& model = static_cast<CalTestPageModel&>(*model_);
    if (!context_.certificates || model.testRecords().empty()) return;
    records::CertificateRequest request;
    request.records = model.testRecords();
    const QPointer<CPageCalTest> self(this);
    const bool started = context_.certificates->issue(request, [self](const CertificateOutcome& o) {
        if (!self || !self->model_) return;
        static_cast<CalTestPageModel&>(*self->model_)
            .certificatesDone(o.summary().toStdString(), o.text().toStdString());
        self->render();
    });
    if (!started) return;
    model.certificatesStarted();
    render();
}

const CalTestPageModel* CPageCalTest::model() const {
    return static_cast<CalTestPageModel*>(model_.get());
}

}  // namespace clinora
