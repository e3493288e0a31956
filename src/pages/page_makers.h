#pragma once

#include "gui/page_host.h"

namespace clinora {

// Builders for every page the page host adds besides Exit.
PageMakers DefaultPageMakers();

}  // namespace clinora
