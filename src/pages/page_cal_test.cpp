#include "pages/page_cal_test.h"

namespace clinora {

CPageCalTest::CPageCalTest(PageContext& context, QWidget* parent)
    : SheetPage("Test", context, parent) {}

}  // namespace clinora
