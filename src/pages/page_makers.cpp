#include "pages/page_makers.h"

#include "pages/page_cal.h"
#include "pages/page_cal_test.h"
#include "pages/page_monitor.h"
#include "pages/page_settings.h"
#include "pages/page_status.h"

namespace clinora {
namespace {

template <class Page>
PageMaker Maker() {
    return [](PageContext& context, QWidget* parent) { return new Page(context, parent); };
}

}  // namespace

PageMakers DefaultPageMakers() {
    PageMakers makers;
    makers.monitor = Maker<CPageMonitor>();
    makers.settings = Maker<CPageSettings>();
    makers.cal = Maker<CPageCal>();
    makers.test = Maker<CPageCalTest>();
    makers.status = Maker<CPageStatus>();
    return makers;
}

}  // namespace clinora
