#include "pages/page_cal_test.h"

#include <QPushButton>

#include "app/cal_test_page_model.h"
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
}

const CalTestPageModel* CPageCalTest::model() const {
    return static_cast<CalTestPageModel*>(model_.get());
}

}  // namespace clinora
