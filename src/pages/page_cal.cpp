#include "pages/page_cal.h"

namespace clinora {

CPageCal::CPageCal(PageContext& context, QWidget* parent) : SheetPage("Cal", context, parent) {}

}  // namespace clinora
