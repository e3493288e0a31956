#include "pages/page_status.h"

namespace clinora {

CPageStatus::CPageStatus(PageContext& context, QWidget* parent)
    : SheetPage("Status", context, parent) {}

}  // namespace clinora
