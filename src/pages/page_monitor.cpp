#include "pages/page_monitor.h"

namespace clinora {

CPageMonitor::CPageMonitor(PageContext& context, QWidget* parent)
    : SheetPage("Monitor", context, parent) {}

}  // namespace clinora
