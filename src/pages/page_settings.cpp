#include "pages/page_settings.h"

namespace clinora {

CPageSettings::CPageSettings(PageContext& context, QWidget* parent)
    : SheetPage("Settings", context, parent) {}

}  // namespace clinora
