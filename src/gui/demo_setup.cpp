#include "gui/demo_setup.h"

#include "app/demo_folder.h"
#include "sim/demo_bus.h"

namespace clinora {

DemoContent MakeDemoContent(const std::string& promptFolder) {
    return {sim::DemoBoardAddresses(), {"104", "105", "106", "107"}, promptFolder};
}

}  // namespace clinora
